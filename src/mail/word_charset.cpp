#include "mail/word_charset.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "charsets/decode_to_utf8.h"
#include "jtext/convert_charset.h"

namespace quillet {

Encoding MailReadingOf(CharsetCode code, const char* name, std::size_t size) {
  if (code == kCharsetUtf8) return Encoding::kUtf8;
  if (code != kCharsetJis) return Encoding::kNone;
  const Encoding encoding = EncodingOfLabel(name, size);
  // A label of the Japanese families or UTF-8 that CharsetCodeOf does not take keeps the
  // ISO-2022-JP reading.
  return JapaneseCharsetCode(encoding) == kNoCharsetCode ? encoding : Encoding::kNone;
}

namespace {

// A U+0000 that a word carries would cut the header value it stands in: it goes. In UTF-8 the
// zero byte stands for nothing else.
void RemoveZeroBytes(std::string& text, std::size_t from) {
  if (std::memchr(text.data() + from, 0, text.size() - from) == nullptr) return;
  text.erase(std::remove(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), '\0'),
             text.end());
}

}  // namespace

void ConvertMailText(Encoding encoding, const std::string& bytes, int target, std::string& out,
                     std::string& scratch) {
  if (bytes.empty()) return;
  if (target == kCharsetUtf8) {
    const std::size_t start = out.size();
    DecodeToUtf8(encoding, bytes, out);
    RemoveZeroBytes(out, start);
    return;
  }
  scratch.clear();
  DecodeToUtf8(encoding, bytes, scratch);
  RemoveZeroBytes(scratch, 0);
  ConvertCharset(kCharsetUtf8, scratch, target, out);
}

namespace {

// The first byte in [p, end) at or above 0x80, or end; eight bytes at a time.
const char* FirstNonAscii(const char* p, const char* end) {
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  for (; end - p >= 8; p += 8) {
    std::uint64_t block;
    std::memcpy(&block, p, sizeof block);
    if ((block & kHighs) != 0) break;
  }
  while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
  return p;
}

}  // namespace

void AppendCleanUtf8(const char* data, std::size_t size, std::string& out) {
  // Header text around encoded words is nearly always ASCII, which needs no cleaning: only
  // what follows the first other byte goes through the converter.
  const char* const end = data + size;
  const char* const rest = FirstNonAscii(data, end);
  out.append(data, static_cast<std::size_t>(rest - data));
  if (rest != end) {
    ConvertCharset(kCharsetUtf8, rest, static_cast<std::size_t>(end - rest), kCharsetUtf8, out);
  }
}

}  // namespace quillet
