#include "common/charset_code_of.h"

#include "common/compare_no_case.h"

namespace quillet {
namespace {

struct CharsetName {
  const char* name;
  int code;
};

static constexpr CharsetName charsetNames[] = {
    {"Shift_JIS", kCharsetSjis},
    {"SJIS", kCharsetSjis},
    {"EUC", kCharsetEuc},
    {"EUC-JP", kCharsetEuc},
};

}  // namespace

int CharsetCodeOf(const std::string& name) {
  return CharsetCodeOf(name.data(), name.size());
}

int CharsetCodeOf(const char* name, std::size_t size) {
  // Every candidate begins with "s" or "e": any other first byte matches none, and the one
  // name most words carry ("ISO-2022-JP") is answered without a comparison.
  if (size != 0) {
    const char first = name[0];
    if (first != 'S' && first != 's' && first != 'E' && first != 'e') return kCharsetJis;
  }
  // CompareNoCaseN reads no more than size bytes of name, and stops at a zero byte.
  for (const CharsetName& candidate : charsetNames) {
    if (CompareNoCaseN(name, candidate.name, size) == 0) return candidate.code;
  }
  return kCharsetJis;
}

}  // namespace quillet
