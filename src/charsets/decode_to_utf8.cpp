#include "charsets/decode_to_utf8.h"

#include "charsets/big5.h"
#include "charsets/euc_kr.h"
#include "charsets/gb18030.h"
#include "charsets/hz_gb2312.h"
#include "charsets/iso_2022_jp2.h"
#include "charsets/single_byte.h"
#include "charsets/utf16.h"
#include "charsets/utf32.h"
#include "charsets/utf7.h"
#include "jtext/convert_charset.h"

namespace quillet {

int JapaneseCharsetCode(Encoding encoding) {
  switch (encoding) {
    case Encoding::kIso2022Jp:
      return kCharsetJis;
    case Encoding::kShiftJis:
      return kCharsetSjis;
    case Encoding::kEucJp:
      return kCharsetEuc;
    case Encoding::kUtf8:
      return kCharsetUtf8;
    default:
      return kNoCharsetCode;
  }
}

void DecodeToUtf8(Encoding encoding, const char* data, std::size_t size, std::string& output) {
  switch (encoding) {
    case Encoding::kIso2022Jp:
      // Plain ISO-2022-JP never holds the sets ISO-2022-JP-2 adds: one reader serves every
      // label.
      DecodeIso2022Jp2(data, size, output);
      break;
    case Encoding::kShiftJis:
      ConvertToUtf8(kCharsetSjis, data, size, output);
      break;
    case Encoding::kEucJp:
      ConvertToUtf8(kCharsetEuc, data, size, output);
      break;
    case Encoding::kUtf8:
      // A byte order mark says nothing more than the label already does.
      if (size >= 3 && data[0] == '\xEF' && data[1] == '\xBB' && data[2] == '\xBF') {
        data += 3;
        size -= 3;
      }
      ConvertFromUtf8(data, size, kCharsetUtf8, output);
      break;
    case Encoding::kGbk:
    case Encoding::kGb18030:
      DecodeGb18030(data, size, output);
      break;
    case Encoding::kBig5:
      DecodeBig5(data, size, output);
      break;
    case Encoding::kEucKr:
      DecodeEucKr(data, size, output);
      break;
    case Encoding::kUtf16:  // a byte order mark decides, big-endian without one
    case Encoding::kUtf16Be:
      DecodeUtf16Be(data, size, output);
      break;
    case Encoding::kUtf16Le:
      DecodeUtf16Le(data, size, output);
      break;
    case Encoding::kUtf32:
    case Encoding::kUtf32Be:
      DecodeUtf32Be(data, size, output);
      break;
    case Encoding::kUtf32Le:
      DecodeUtf32Le(data, size, output);
      break;
    case Encoding::kUtf7:
      DecodeUtf7(data, size, output);
      break;
    case Encoding::kHzGb2312:
      DecodeHzGb2312(data, size, output);
      break;
    case Encoding::kXUserDefined:
      DecodeXUserDefined(data, size, output);
      break;
    default:
      DecodeSingleByte(encoding, data, size, output);  // nothing for kNone
      break;
  }
}

}  // namespace quillet
