// Fuzz target: DecodeToUtf8 and EncodingOfLabel. The first byte picks an encoding (every one
// but kNone), the rest is the text. Properties:
// - the text appended is well-formed UTF-8, after what the output held, and at most 4 bytes
//   per input byte (plus a constant), in every encoding;
// - a single-byte encoding (and x-user-defined) reads the text as it reads its bytes one by
//   one: no state, no word or chunk edge, changes a byte's character;
// - UTF-16BE reads the text as UTF-16LE reads it with each whole pair of bytes swapped, and
//   UTF-32BE as UTF-32LE with each whole group of four reversed; UTF-16 and UTF-32 read as
//   their big-endian forms;
// - the text taken as a label finds the same encoding as its ASCII upper-case form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "charsets/decode_to_utf8.h"
#include "charsets/encoding.h"
#include "fuzz_check.h"
#include "valid_utf8.h"

namespace quillet {
namespace {

constexpr unsigned kEncodings = static_cast<unsigned>(Encoding::kHzGb2312);  // kNone left out

const std::string kPrefix = "ab\xE3\x81\x82";  // "ab" and hiragana a

std::string Decode(Encoding encoding, const std::string& text) {
  std::string out;
  DecodeToUtf8(encoding, text, out);
  return out;
}

bool ReadsByteByByte(Encoding encoding) {
  return (encoding >= Encoding::kIbm866 && encoding <= Encoding::kXMacCyrillic) ||
         encoding == Encoding::kXUserDefined;
}

}  // namespace
}  // namespace quillet

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  if (size == 0) return 0;
  const auto encoding = static_cast<Encoding>(1 + data[0] % kEncodings);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::string output = kPrefix;
  DecodeToUtf8(encoding, text, output);
  Require(output.compare(0, kPrefix.size(), kPrefix) == 0, "the earlier output is kept");
  const std::string added = output.substr(kPrefix.size());
  Require(IsWellFormedUtf8(added), "the output is well-formed UTF-8");
  Require(added.size() <= 4 * text.size() + 8, "at most 4 bytes out per byte in");

  if (ReadsByteByByte(encoding)) {
    std::string oneByOne;
    for (char c : text) DecodeToUtf8(encoding, &c, 1, oneByOne);
    Require(added == oneByOne, "a single-byte encoding reads each byte on its own");
  }

  if (encoding == Encoding::kUtf16Be || encoding == Encoding::kUtf16Le) {
    std::string swapped = text;
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    const Encoding other = encoding == Encoding::kUtf16Be ? Encoding::kUtf16Le : Encoding::kUtf16Be;
    Require(Decode(other, swapped) == added, "UTF-16 reads alike in both byte orders");
  }

  if (encoding == Encoding::kUtf32Be || encoding == Encoding::kUtf32Le) {
    std::string reversed = text;
    for (std::size_t i = 0; i + 3 < reversed.size(); i += 4) {
      std::swap(reversed[i], reversed[i + 3]);
      std::swap(reversed[i + 1], reversed[i + 2]);
    }
    const Encoding other = encoding == Encoding::kUtf32Be ? Encoding::kUtf32Le : Encoding::kUtf32Be;
    Require(Decode(other, reversed) == added, "UTF-32 reads alike in both byte orders");
  }
  if (encoding == Encoding::kUtf16 || encoding == Encoding::kUtf32) {
    const Encoding big = encoding == Encoding::kUtf16 ? Encoding::kUtf16Be : Encoding::kUtf32Be;
    Require(Decode(big, text) == added, "UTF-16 and UTF-32 read as their big-endian forms");
  }

  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  Require(EncodingOfLabel(text.data(), text.size()) == EncodingOfLabel(upper.data(), upper.size()),
          "a label finds the same encoding in upper case");
  return 0;
}
