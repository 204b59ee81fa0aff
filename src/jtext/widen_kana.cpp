#include "jtext/widen_kana.h"

#include "common/byte_at.h"
#include "jtext/kana_tables.h"

namespace quillet {

int WidenKana(const unsigned char* text, const unsigned char* end, std::uint16_t& code) {
  const unsigned c = ByteAt(text, end);
  if (!kana::IsHalfKana(c)) return 0;
  return kana::Widen(c, ByteAt(text + 1, end), code);
}

}  // namespace quillet
