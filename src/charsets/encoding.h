// Encoding: the charsets a mail word may be written in, as the Encoding Standard names them,
// and the lookup of a charset label.
#pragma once

#include <cstddef>

namespace quillet {

// One value per encoding of the standard's label table, in the table's order, then the ones
// that mail adds; kNone stands for every label that names nothing the plug-in decodes (an empty
// or unknown label, the "replacement" encoding's labels), so a word in it stays as text.
enum class Encoding : unsigned char {
  kNone,
  kUtf8,
  // The single-byte encodings.
  kIbm866,
  kIso8859_2,
  kIso8859_3,
  kIso8859_4,
  kIso8859_5,
  kIso8859_6,
  kIso8859_7,
  kIso8859_8,
  kIso8859_8I,
  kIso8859_10,
  kIso8859_13,
  kIso8859_14,
  kIso8859_15,
  kIso8859_16,
  kKoi8R,
  kKoi8U,
  kMacintosh,
  kWindows874,
  kWindows1250,
  kWindows1251,
  kWindows1252,
  kWindows1253,
  kWindows1254,
  kWindows1255,
  kWindows1256,
  kWindows1257,
  kWindows1258,
  kXMacCyrillic,
  // The multi-byte encodings.
  kGbk,
  kGb18030,
  kBig5,
  kEucJp,
  kIso2022Jp,
  kShiftJis,
  kEucKr,
  kUtf16Be,
  kUtf16Le,
  kXUserDefined,
  // What mail programs also read.
  kUtf16,  // a byte order mark decides, big-endian without one
  kUtf32,  // the same
  kUtf32Be,
  kUtf32Le,
  kUtf7,
  kHzGb2312,
};

// The encoding whose label is [label, label + size), compared whole and ignoring ASCII case
// and the bytes "-", "_", "." and space ("utf_8", "Windows1252", "latin-1"): the standard's
// labels and the names mail programs also write ("CP932", "eucJP", "ISO-2022-JP-2", "UTF-7",
// ...). Anything else, the empty label and the labels of "replacement" included, gives kNone.
Encoding EncodingOfLabel(const char* label, std::size_t size);

}  // namespace quillet
