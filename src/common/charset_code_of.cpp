#include "common/charset_code_of.h"

#include <cstring>

#include "common/compare_no_case.h"

namespace quillet {
namespace {

struct CharsetName {
  const char* name;
  CharsetCode code;
};

// Matched as the name or a leading part of it, first match wins.
static constexpr CharsetName charsetNames[] = {
    {"Shift_JIS", kCharsetSjis}, {"SJIS", kCharsetSjis},  {"EUC", kCharsetEuc},
    {"EUC-JP", kCharsetEuc},     {"UTF-8", kCharsetUtf8},
};

// Matched whole only: a leading part of these means nothing.
static constexpr CharsetName charsetAliases[] = {
    {"Shift-JIS", kCharsetSjis}, {"CP932", kCharsetSjis},    {"Windows-31J", kCharsetSjis},
    {"MS932", kCharsetSjis},     {"MS_Kanji", kCharsetSjis}, {"EUC_JP", kCharsetEuc},
    {"eucJP", kCharsetEuc},      {"x-euc-jp", kCharsetEuc},  {"UTF8", kCharsetUtf8},
};

// Whether the first byte can begin any name above once ASCII case is folded: the one name
// most words carry ("ISO-2022-JP") is answered without a comparison.
bool MayBeKnown(unsigned char first) {
  const unsigned char c = FoldAsciiCase(first);
  return c == 's' || c == 'e' || c == 'u' || c == 'c' || c == 'w' || c == 'm' || c == 'x';
}

}  // namespace

CharsetCode CharsetCodeOf(const std::string& name) {
  return CharsetCodeOf(name.data(), name.size());
}

CharsetCode CharsetCodeOf(const char* name, std::size_t size) {
  if (size != 0 && !MayBeKnown(static_cast<unsigned char>(name[0]))) return kCharsetJis;
  // CompareNoCaseN reads no more than size bytes of name, and stops at a zero byte.
  for (const CharsetName& candidate : charsetNames) {
    if (CompareNoCaseN(name, candidate.name, size) == 0) return candidate.code;
  }
  const void* zero = std::memchr(name, 0, size);
  const std::size_t length =
      zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - name) : size;
  for (const CharsetName& alias : charsetAliases) {
    if (length == std::strlen(alias.name) && EqualNoCase(name, alias.name, length)) {
      return alias.code;
    }
  }
  return kCharsetJis;
}

const char* CanonicalCharsetName(CharsetCode code) {
  switch (code) {
    case kCharsetSjis:
      return "Shift_JIS";
    case kCharsetEuc:
      return "EUC-JP";
    case kCharsetUtf8:
      return "UTF-8";
    default:
      return "ISO-2022-JP";
  }
}

}  // namespace quillet
