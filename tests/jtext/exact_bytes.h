// Test inputs in heap blocks of exactly their own size, so that AddressSanitizer reports any
// read past the end (a std::string would hide it behind its terminating NUL and spare room).
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace quillet {
namespace testing_bytes {

class ExactBytes {
 public:
  explicit ExactBytes(const std::string& bytes)
      : data_(new char[bytes.size()]), size_(bytes.size()) {
    if (size_ != 0) std::memcpy(data_.get(), bytes.data(), size_);
  }
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_;
};

// "41 1B 24 42" for failure messages.
inline std::string Hex(const std::string& bytes) {
  std::string text;
  char cell[4];
  for (unsigned char b : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", b);
    text += cell;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace testing_bytes
}  // namespace quillet
