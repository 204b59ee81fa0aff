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

// The plain rule, byte by byte: a separator, or "?" with "=" right after it inside the text.
const char* SlowWordEnd(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (*p == '\x01' || *p == '\x02') return p;
    if (*p == '?' && p + 1 < end && p[1] == '=') return p;
  }
  return end;
}

// Every byte value at every position, alone and in front of a "=", around the blocks of eight
// and their one byte of reach beyond.
TEST(FindWordEnd, EveryByteAtEveryPosition) {
  for (std::size_t size = 0; size <= 20; ++size) {
    for (std::size_t at = 0; at < size; ++at) {
      for (int value = 0; value < 256; ++value) {
        for (const char after : {'a', '='}) {
          std::string text(size, '?');  // a "?" before anything but "=" ends nothing
          text[at] = static_cast<char>(value);
          if (at + 1 < size) text[at + 1] = after;
          const FlushBytes bytes(text);
          ASSERT_EQ(FindWordEnd(bytes.begin(), bytes.end()),
                    SlowWordEnd(bytes.begin(), bytes.end()))
              << "size " << size << " at " << at << " value " << value << " before " << after;
        }
      }
    }
  }
}

// Every byte value at every place of the eight, with and without "=" after it.
TEST(FieldlessClose, EveryByteAtEveryPosition) {
  for (std::size_t at = 0; at < 9; ++at) {
    for (int value = 0; value < 256; ++value) {
      for (const char after : {'a', '='}) {
        std::string text = "abcdefgh?=";  // a close past the eight bytes is not seen
        text[at] = static_cast<char>(value);
        text[at + 1] = after;
        const FlushBytes bytes(text);
        const char* mark = bytes.begin();
        while (mark < bytes.begin() + 8 && *mark != '?' && static_cast<unsigned char>(*mark) > 3)
          ++mark;
        const bool closes = mark < bytes.begin() + 8 && *mark == '?' && mark[1] == '=';
        ASSERT_EQ(FieldlessClose(bytes.begin()), closes ? mark : nullptr)
            << "at " << at << " value " << value << " before " << after;
      }
    }
  }
}

TEST(FindWordEnd, FirstOfSeveral) {
  const FlushBytes bytes("=?ISO-2022-JP?B?GyRCJCIbKEI=?= x\x01y?=");
  EXPECT_EQ(FindWordEnd(bytes.begin(), bytes.end()) - bytes.begin(), 28);
  EXPECT_EQ(FindWordEnd(bytes.begin() + 29, bytes.end()) - bytes.begin(), 32);
  EXPECT_EQ(FindWordEnd(bytes.begin() + 33, bytes.end()) - bytes.begin(), 34);
  const FlushBytes cut("abcdefghijklmnop?");  // the "=" would lie past the end
  EXPECT_EQ(FindWordEnd(cut.begin(), cut.end()), cut.end());
}

}  // namespace
}  // namespace quillet
