// Fuzz target: DecodeMailBase64. The first byte chooses a prefix already in the output and a
// split point; the rest is the payload. Properties:
// - the output keeps its prefix and only appends;
// - at most three bytes come out of every group of four characters, a short group included;
// - for a payload of alphabet characters and "=" only (what other bytes do is the decoder's
//   choice): groups are independent, so the payload split at a multiple of four decodes to the
//   two halves' outputs one after the other; and the payload decodes to what the plain reading
//   below gives, a short last group and "=" included;
// - the string form decodes alike.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "jtext/base64.h"

namespace quillet {
namespace {

const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsBase64Text(const std::string& text) {
  for (char c : text) {
    if (c != '=' && kAlphabet.find(c) == std::string::npos) return false;
  }
  return true;
}

// Group by group; every character is in the alphabet or "=" (value 0). A group yields the
// whole bytes of its characters before its first "=".
std::string PlainDecode(const std::string& text) {
  std::string out;
  for (std::size_t g = 0; g < text.size(); g += 4) {
    const std::size_t length = std::min<std::size_t>(4, text.size() - g);
    unsigned x[4] = {0, 0, 0, 0};
    std::size_t n = length;
    for (std::size_t k = 0; k < length; ++k) {
      const char c = text[g + k];
      if (c == '=' && n == length) n = k;
      x[k] = c == '=' ? 0 : static_cast<unsigned>(kAlphabet.find(c));
    }
    const unsigned char b[3] = {static_cast<unsigned char>((x[0] << 2) | (x[1] >> 4)),
                                static_cast<unsigned char>((x[1] << 4) | (x[2] >> 2)),
                                static_cast<unsigned char>((x[2] << 6) | x[3])};
    for (std::size_t i = 0; i < n * 6 / 8; ++i) out += static_cast<char>(b[i]);
  }
  return out;
}

using Decoder = int (*)(const char*, std::size_t, std::string&);

std::string CheckDecoder(Decoder decode, const std::string& prefix, const std::string& payload,
                         std::size_t splitGroups) {
  std::string output = prefix;
  Require(decode(payload.data(), payload.size(), output) == 0, "the result is 0");
  Require(output.compare(0, prefix.size(), prefix) == 0, "the earlier output is kept");
  const std::string decoded = output.substr(prefix.size());
  Require(decoded.size() <= 3 * ((payload.size() + 3) / 4), "at most three bytes per group");

  if (IsBase64Text(payload)) {
    const std::size_t split = std::min(payload.size() / 4, splitGroups) * 4;
    std::string halves;
    decode(payload.data(), split, halves);
    decode(payload.data() + split, payload.size() - split, halves);
    Require(halves == decoded, "groups decode independently");
    Require(decoded == PlainDecode(payload), "groups decode as the alphabet says");
  }
  return decoded;
}

}  // namespace
}  // namespace quillet

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  if (size == 0) return 0;
  const std::string prefix = std::string("prefix\0\x82\xA0", 9).substr(0, data[0] % 10);
  const std::string payload(reinterpret_cast<const char*>(data) + 1, size - 1);

  const std::string decoded = CheckDecoder(DecodeMailBase64, prefix, payload, data[0] / 10);

  std::string direct;
  DecodeMailBase64(payload, direct);
  Require(direct == decoded, "both forms decode alike");
  return 0;
}
