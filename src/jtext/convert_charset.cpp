#include "jtext/convert_charset.h"

#include "jtext/code_pairs.h"

namespace quillet {

std::uint32_t JisToSjis(std::uint32_t j1, std::uint32_t j2) {
  return pairs::JisToSjis(j1, j2);
}
std::uint32_t JisToEuc(std::uint32_t j1, std::uint32_t j2) {
  return pairs::JisToEuc(j1, j2);
}
std::uint32_t SjisToJis(std::uint32_t s1, std::uint32_t s2) {
  return pairs::SjisToJis(s1, s2);
}
std::uint32_t SjisToEuc(std::uint32_t s1, std::uint32_t s2) {
  return pairs::SjisToEuc(s1, s2);
}
std::uint32_t EucToJis(std::uint32_t e1, std::uint32_t e2) {
  return pairs::EucToJis(e1, e2);
}
std::uint32_t EucToSjis(std::uint32_t e1, std::uint32_t e2) {
  return pairs::EucToSjis(e1, e2);
}

int ConvertCharset(int source, const char* data, std::size_t size, int target,
                   std::string& output) {
  if (source < 0 || source > 3) return 1;
  if (target < 0 || target > 3) return 2;
  if (source == 3) return ConvertFromUtf8(data, size, target, output);
  if (source == target) {
    if (size != 0) output.append(data, size);
    return 3;
  }
  switch (target == 3 ? 3 : source) {
    case 0:
      return ConvertFromJis(data, size, target, output);
    case 1:
      return ConvertFromSjis(data, size, target, output);
    case 2:
      return ConvertFromEuc(data, size, target, output);
    default:
      return ConvertToUtf8(source, data, size, output);
  }
}

}  // namespace quillet
