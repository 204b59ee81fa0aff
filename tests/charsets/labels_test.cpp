// Charset labels: whole labels of the standard's table ignoring ASCII case and "-", "_", "."
// and space, the mail aliases, and everything that must find nothing.
#include <gtest/gtest.h>

#include <string>

#include "charsets/encoding.h"
#include "jtext/exact_bytes.h"

namespace quillet {
namespace {

using testing_bytes::ExactBytes;
using namespace std::string_literals;

struct LabelCase {
  std::string label;
  Encoding expected;
};

TEST(EncodingOfLabel, FindsWholeLabelsIgnoringAsciiCase) {
  const LabelCase cases[] = {
      {"utf-8", Encoding::kUtf8},
      {"UTF-8", Encoding::kUtf8},
      {"Unicode-1-1-UTF-8", Encoding::kUtf8},
      {"866", Encoding::kIbm866},                 // the first label in byte order
      {"x-x-big5", Encoding::kBig5},              // the last
      {"CSEUCPKDFMTJAPANESE", Encoding::kEucJp},  // the longest
      {"Shift_JIS", Encoding::kShiftJis},
      {"windows-31j", Encoding::kShiftJis},
      {"ISO-2022-JP", Encoding::kIso2022Jp},
      {"ks_c_5601-1987", Encoding::kEucKr},
      {"GB2312", Encoding::kGbk},
      {"gb18030", Encoding::kGb18030},
      {"Big5-HKSCS", Encoding::kBig5},
      {"ISO-8859-8-I", Encoding::kIso8859_8I},
      {"ISO-8859-8", Encoding::kIso8859_8},
      {"KOI8-U", Encoding::kKoi8U},
      {"x-mac-cyrillic", Encoding::kXMacCyrillic},
      {"utf-16", Encoding::kUtf16},  // big-endian without a mark, in mail
      {"UTF-16BE", Encoding::kUtf16Be},
      {"UTF-16LE", Encoding::kUtf16Le},
      {"x-user-defined", Encoding::kXUserDefined},
      // The standard reads these as windows-1252.
      {"ISO-8859-1", Encoding::kWindows1252},
      {"US-ASCII", Encoding::kWindows1252},
      {"latin1", Encoding::kWindows1252},
      {"ascii", Encoding::kWindows1252},
      // Names mail programs write that the standard's table lacks.
      {"CP932", Encoding::kShiftJis},
      {"MS932", Encoding::kShiftJis},
      {"Shift_JIS-2004", Encoding::kShiftJis},
      {"eucJP", Encoding::kEucJp},
      {"EUC_JP", Encoding::kEucJp},
      {"eucJP-ms", Encoding::kEucJp},
      {"EUC-JP-MS", Encoding::kEucJp},
      {"ISO-2022-JP-1", Encoding::kIso2022Jp},
      {"ISO-2022-JP-2", Encoding::kIso2022Jp},
      {"ISO-2022-JP-3", Encoding::kIso2022Jp},
      {"CP50220", Encoding::kIso2022Jp},
      {"CP50221", Encoding::kIso2022Jp},
      {"CP50222", Encoding::kIso2022Jp},
      {"UTF8", Encoding::kUtf8},
      {"cp936", Encoding::kGbk},
      {"UHC", Encoding::kEucKr},
      {"Big5-HKSCS", Encoding::kBig5},
      {"EUC-JISX0213", Encoding::kEucJp},
      {"euc-cn", Encoding::kGbk},
      {"ISO646-US", Encoding::kWindows1252},
      {"UTF-7", Encoding::kUtf7},
      {"UTF-32", Encoding::kUtf32},
      {"UTF-32LE", Encoding::kUtf32Le},
      {"HZ-GB-2312", Encoding::kHzGb2312},
      // Case, "-", "_", "." and spaces ignored.
      {"Windows1252", Encoding::kWindows1252},
      {"iso2022jp", Encoding::kIso2022Jp},
      {"utf_8", Encoding::kUtf8},
      {"latin-1", Encoding::kWindows1252},
      {"ISO_8859-1", Encoding::kWindows1252},
      {"utf-8 ", Encoding::kUtf8},
      {" -_.Shift.JIS", Encoding::kShiftJis},
      {"cs-euc-pkdfmt-japanese", Encoding::kEucJp},  // longer than the longest label, whole
  };
  for (const LabelCase& c : cases) {
    const ExactBytes label(c.label);
    EXPECT_EQ(EncodingOfLabel(label.data(), label.size()), c.expected) << c.label;
  }
}

TEST(EncodingOfLabel, FindsNothingForWhatIsNoWholeLabel) {
  const std::string cases[] = {
      "",
      "unknown",
      "replacement",  // the "replacement" encoding's name and labels
      "ISO-2022-KR",
      "ISO-2022-CN",
      "utf-8\t",  // only the space is ignored
      "-_. ",
      "utf-8\0"s,  // a zero byte is part of the label
      "\0"s,
      "Shift",  // a leading part
      "utf-8x",
      "utf-",
      "cseucpkdfmtjapanesex",  // one byte longer than the longest label
      "\xC5\xBFhift_jis",      // long s (U+017F): only ASCII letters fold
  };
  for (const std::string& text : cases) {
    const ExactBytes label(text);
    EXPECT_EQ(EncodingOfLabel(label.data(), label.size()), Encoding::kNone)
        << testing_bytes::Hex(text);
  }
}

}  // namespace
}  // namespace quillet
