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
