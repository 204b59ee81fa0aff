// Runs every vectorised path at every tier the processor has and compares what each decides with
// the scalar code, byte for byte. Shared by the unit tests and the differential fuzz target.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "charsets/gb18030.h"
#include "charsets/single_byte.h"
#include "jtext/base64.h"
#include "jtext/convert_charset.h"
#include "mail/find_mark.h"
#include "protocol/header_lines.h"
#include "simd/kernels.h"

namespace quillet {

// The conversions into UTF-8 of the text read as Shift_JIS, EUC-JP and ISO-2022-JP, from each
// of its first two bytes on (so pairs start at both parities of a block).
inline std::string ConversionOutputs(const std::vector<char>& text) {
  std::string out;
  for (std::size_t from = 0; from < 2 && from <= text.size(); ++from) {
    for (CharsetCode code : {kCharsetSjis, kCharsetEuc, kCharsetJis}) {
      ConvertToUtf8(code, text.data() + from, text.size() - from, out);
      out += '|';
    }
  }
  return out;
}

// The conversions out of UTF-8 into Shift_JIS and EUC-JP, from each of the text's first three
// bytes on (so characters start at every offset of a block).
inline std::string FromUtf8Outputs(const std::vector<char>& text) {
  std::string out;
  for (std::size_t from = 0; from < 3 && from <= text.size(); ++from) {
    for (CharsetCode code : {kCharsetSjis, kCharsetEuc}) {
      ConvertFromUtf8(text.data() + from, text.size() - from, code, out);
      out += '|';
    }
  }
  return out;
}

// The conversions among the Japanese encodings from the first two bytes on (so characters
// start at either parity).
inline std::string JapaneseOutputs(const std::vector<char>& text) {
  const std::pair<int, int> directions[] = {
      {kCharsetSjis, kCharsetEuc}, {kCharsetEuc, kCharsetSjis}, {kCharsetJis, kCharsetSjis},
      {kCharsetJis, kCharsetEuc},  {kCharsetSjis, kCharsetJis}, {kCharsetEuc, kCharsetJis}};
  std::string out;
  for (std::size_t from = 0; from < 2 && from <= text.size(); ++from) {
    for (const auto& [source, target] : directions) {
      ConvertCharset(source, text.data() + from, text.size() - from, target, out);
      out += '|';
    }
  }
  return out;
}

// Every hit of each scan walked from the start, as offsets, the mail reading of base64 of the
// text from each of its first four bytes on (so groups start at every offset), and the text
// read as windows-1252 and as gb18030.
inline std::string TierOutputs(const std::vector<char>& text) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  std::string out;
  const auto walk = [&](auto find) {
    for (const char* p = begin; p < end; ++p) {
      p = find(p);
      out += std::to_string(p - begin) + ' ';
    }
    out += '|';
  };
  walk([&](const char* p) { return FindMark(p, end, '='); });
  walk([&](const char* p) { return FindMark(p, end, 0xA0); });
  walk([&](const char* p) { return FindWordEnd(p, end); });
  walk([&](const char* p) {
    bool zero = false;
    const char* const lineEnd = FindLineEnd(p, end, zero);
    out += zero ? "z" : "";
    return lineEnd;
  });
  for (std::size_t from = 0; from < 4 && from <= text.size(); ++from) {
    DecodeMailBase64(begin + from, text.size() - from, out);
    out += '|';
  }
  // The decoders into UTF-8, whose runs of ASCII the vector copy takes.
  DecodeSingleByte(Encoding::kWindows1252, begin, text.size(), out);
  DecodeGb18030(begin, text.size(), out);
  return out + ConversionOutputs(text) + JapaneseOutputs(text) + FromUtf8Outputs(text);
}

// The name of the first tier whose outputs differ from the scalar code's, or "". The text is
// copied flush against the end of an allocation of its own, so a read past it is caught.
template <typename Outputs>
std::string TierMismatch(const std::string& input, Outputs outputs) {
  const std::vector<char> text(input.begin(), input.end());
  const simd::Tier before = simd::ActiveKernels().tier;
  simd::SetTierCap(simd::Tier::kScalar);
  const std::string expected = outputs(text);
  std::string mismatch;
  for (int tier = 1; tier <= static_cast<int>(simd::DetectedTier()) && mismatch.empty(); ++tier) {
    simd::SetTierCap(static_cast<simd::Tier>(tier));
    if (outputs(text) != expected) mismatch = simd::TierName(static_cast<simd::Tier>(tier));
  }
  simd::SetTierCap(before);
  return mismatch;
}

inline std::string TierMismatch(const std::string& input) {
  return TierMismatch(input, TierOutputs);
}

}  // namespace quillet
