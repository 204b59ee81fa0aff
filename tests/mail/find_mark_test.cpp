#include <gtest/gtest.h>

#include <string>

#include "mail/find_mark.h"
#include "mail_test_support.h"

namespace quillet {
namespace {

using testing_support::FlushBytes;

// Every byte value at every position of texts around the eight-byte blocks, against a plain
// byte loop.
TEST(FindMark, EveryByteAtEveryPosition) {
  for (std::size_t size = 0; size <= 20; ++size) {
    for (std::size_t at = 0; at < size; ++at) {
      for (int value = 0; value < 256; ++value) {
        std::string text(size, 'a');
        text[at] = static_cast<char>(value);
        const FlushBytes bytes(text);
        const bool hit = value <= 0x03 || value == '=';
        const char* expected = hit ? bytes.begin() + at : bytes.end();
        ASSERT_EQ(FindMark(bytes.begin(), bytes.end(), '='), expected)
            << "size " << size << " at " << at << " value " << value;
      }
    }
  }
}

TEST(FindMark, FirstOfSeveral) {
  const FlushBytes bytes("abcdefghij?kl\x01mnopq?");
  EXPECT_EQ(FindMark(bytes.begin(), bytes.end(), '?') - bytes.begin(), 10);
  EXPECT_EQ(FindMark(bytes.begin() + 11, bytes.end(), '?') - bytes.begin(), 13);
  EXPECT_EQ(FindMark(bytes.begin(), bytes.end(), '~'), bytes.begin() + 13);
}

}  // namespace
}  // namespace quillet
