#include "jtext/convert_charset.h"

namespace quillet {

ConvertResult ConvertCharset(int source, const char* data, std::size_t size, int target,
                             std::string& output) {
  if (source < kCharsetJis || source > kCharsetUtf8) return kUnknownSource;
  if (target < kCharsetJis || target > kCharsetUtf8) return kUnknownTarget;
  const auto from = static_cast<CharsetCode>(source);
  const auto to = static_cast<CharsetCode>(target);
  if (from == kCharsetUtf8) {
    ConvertFromUtf8(data, size, to, output);
    return kConverted;
  }
  if (from == to) {
    if (size != 0) output.append(data, size);
    return kSameCode;
  }
  if (to == kCharsetUtf8) {
    ConvertToUtf8(from, data, size, output);
  } else if (from == kCharsetJis) {
    ConvertFromJis(data, size, to, output);
  } else if (from == kCharsetSjis) {
    ConvertFromSjis(data, size, to, output);
  } else {
    ConvertFromEuc(data, size, to, output);
  }
  return kConverted;
}

}  // namespace quillet
