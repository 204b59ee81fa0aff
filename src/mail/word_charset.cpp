#include "mail/word_charset.h"

#include <cstring>

#include "common/charset_code_of.h"
#include "common/compare_no_case.h"
#include "jtext/convert_charset.h"
#include "jtext/convert_from_latin.h"

namespace quillet {
namespace {

struct WordCharsetName {
  const char* name;
  WordCharset charset;
};

// Whole names only: the family of code 0 and the charsets that CharsetCodeOf does not know.
static constexpr WordCharsetName wordCharsetNames[] = {
    {"ISO-2022-JP", kWordJis},
    {"US-ASCII", kWordJis},
    {"ISO-8859-1", kWordLatin1},
    {"Windows-1252", kWordWindows1252},
};

}  // namespace

WordCharset WordCharsetOf(const char* name, std::size_t size) {
  // CharsetCodeOf gives 0 both for ISO-2022-JP and for a name it does not know.
  const CharsetCode code = CharsetCodeOf(name, size);
  if (code != kCharsetJis) return static_cast<WordCharset>(code);
  for (const WordCharsetName& known : wordCharsetNames) {
    if (size == std::strlen(known.name) && EqualNoCase(name, known.name, size)) {
      return known.charset;
    }
  }
  return kWordUnknown;
}

void ConvertWordText(WordCharset charset, const std::string& bytes, std::string& out) {
  if (bytes.empty()) return;
  switch (charset) {
    case kWordLatin1:
      ConvertFromLatin1(bytes.data(), bytes.size(), out);
      return;
    case kWordWindows1252:
      ConvertFromWindows1252(bytes.data(), bytes.size(), out);
      return;
    case kWordUnknown:
      return;
    default:
      ConvertCharset(charset, bytes, kCharsetUtf8, out);
      return;
  }
}

void AppendCleanUtf8(const char* data, std::size_t size, std::string& out) {
  if (size != 0) ConvertCharset(kCharsetUtf8, data, size, kCharsetUtf8, out);
}

}  // namespace quillet
