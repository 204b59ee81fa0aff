#include "mail/word_charset.h"

#include <cstdint>
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
  // The name most mail carries today, answered before the general rules (which agree).
  if (size == 5 && EqualNoCase(name, "UTF-8", 5)) return kWordUtf8;
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

namespace {

// Whether [p, end) is all ASCII, read eight bytes at a time.
bool AllAscii(const char* p, const char* end) {
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  std::uint64_t high = 0;
  for (; end - p >= 8; p += 8) {
    std::uint64_t block;
    std::memcpy(&block, p, sizeof block);
    high |= block;
  }
  for (; p < end; ++p) high |= static_cast<unsigned char>(*p);
  return (high & kHighs) == 0;
}

}  // namespace

void AppendCleanUtf8(const char* data, std::size_t size, std::string& out) {
  if (size == 0) return;
  // Header text around encoded words is nearly always ASCII, which needs no cleaning.
  if (AllAscii(data, data + size)) {
    out.append(data, size);
  } else {
    ConvertCharset(kCharsetUtf8, data, size, kCharsetUtf8, out);
  }
}

}  // namespace quillet
