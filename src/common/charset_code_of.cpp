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
  for (const CharsetName& candidate : charsetNames) {
    if (CompareNoCaseN(name.c_str(), candidate.name, name.size()) == 0) return candidate.code;
  }
  return kCharsetJis;
}

}  // namespace quillet
