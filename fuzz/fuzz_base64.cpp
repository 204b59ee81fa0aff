// Fuzz target: DecodeBase64. The first byte chooses a prefix already in the output and a split
// point; the rest is the payload. Properties:
// - the output keeps its prefix and only appends;
// - nothing decoded is 0x00;
// - at most three bytes come out of every group of four characters, a short group included;
// - for a payload of alphabet characters and "=" only (what other bytes do is the decoder's
//   choice): groups are independent, so the payload split at a multiple of four decodes to the
//   two halves' outputs one after the other; and the full groups decode to what the plain
//   reading below gives (a short last group is left to the decoder).
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

// Full groups only; every character is in the alphabet or "=" (value 0).
std::string PlainDecode(const std::string& text) {
  std::string out;
  for (std::size_t g = 0; g + 4 <= text.size(); g += 4) {
    unsigned x[4];
    for (int k = 0; k < 4; ++k) {
      const char c = text[g + k];
      x[k] = c == '=' ? 0 : static_cast<unsigned>(kAlphabet.find(c));
    }
    const unsigned char b[3] = {static_cast<unsigned char>((x[0] << 2) | (x[1] >> 4)),
                                static_cast<unsigned char>((x[1] << 4) | (x[2] >> 2)),
                                static_cast<unsigned char>((x[2] << 6) | x[3])};
    for (unsigned char byte : b) {
      if (byte == 0) break;
      out += static_cast<char>(byte);
    }
  }
  return out;
}

}  // namespace
}  // namespace quillet

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  if (size == 0) return 0;
  const std::string prefix = std::string("prefix\0\x82\xA0", 9).substr(0, data[0] % 10);
  const std::string payload(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::string output = prefix;
  Require(DecodeBase64(payload, output) == 0, "the result is 0");
  Require(output.compare(0, prefix.size(), prefix) == 0, "the earlier output is kept");
  const std::string decoded = output.substr(prefix.size());
  Require(decoded.find('\0') == std::string::npos, "nothing decoded is 0x00");
  Require(decoded.size() <= 3 * ((payload.size() + 3) / 4), "at most three bytes per group");

  std::string direct;
  DecodeBase64(payload.data(), payload.size(), direct);
  Require(direct == decoded, "both forms decode alike");

  if (IsBase64Text(payload)) {
    const std::size_t split = std::min<std::size_t>(payload.size() / 4, data[0] / 10) * 4;
    std::string halves;
    DecodeBase64(payload.data(), split, halves);
    DecodeBase64(payload.data() + split, payload.size() - split, halves);
    Require(halves == decoded, "groups decode independently");
    const std::string full = PlainDecode(payload);
    Require(decoded.compare(0, full.size(), full) == 0, "full groups decode as the alphabet says");
    if (payload.size() % 4 == 0) Require(decoded == full, "full groups alone give nothing more");
  }
  return 0;
}
