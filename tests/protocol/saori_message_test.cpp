#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/saori_message.h"

namespace quillet {
namespace {

// The response text of a message after setStatus(code), with no header lines.
std::string StatusLineOf(std::uint32_t code, bool* found = nullptr) {
  SaoriMessage message("SAORI/1.0");
  const bool ok = message.setStatus(code);
  if (found != nullptr) *found = ok;
  std::string out;
  EXPECT_TRUE(message.serialize(out));
  return out;
}

TEST(SaoriMessageStatus, EveryRowOfTheTable) {
  struct Case {
    std::uint32_t code;
    const char* response;
  };
  static const Case cases[] = {
      {200, "SAORI/1.0 200 OK\r\n\r\n"},
      {204, "SAORI/1.0 204 No Content\r\n\r\n"},
      {210, "SAORI/1.0 210 Break\r\n\r\n"},
      {310, "SAORI/1.0 310 Communicate\r\n\r\n"},
      {311, "SAORI/1.0 311 Not Enough\r\n\r\n"},
      {312, "SAORI/1.0 312 Advice\r\n\r\n"},
      {400, "SAORI/1.0 400 Bad Request\r\n\r\n"},
      {408, "SAORI/1.0 408 Request Timeout\r\n\r\n"},
      {409, "SAORI/1.0 409 Conflict\r\n\r\n"},
      {420, "SAORI/1.0 420 Refuse\r\n\r\n"},
      {500, "SAORI/1.0 500 Internal Server Error\r\n\r\n"},
      {501, "SAORI/1.0 501 Not Implemented\r\n\r\n"},
      {510, "SAORI/1.0 510 Not Local IP\r\n\r\n"},
      {511, "SAORI/1.0 511 In Black List\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    bool found = false;
    EXPECT_EQ(StatusLineOf(c.code, &found), c.response);
    EXPECT_TRUE(found);
  }
  EXPECT_EQ(SaoriMessage(nullptr).statusTable.size(), 14u);
}

TEST(SaoriMessageStatus, CodesOutsideTheTable) {
  // Matching is on the first three digits of the decimal text: 2001 and 4000000000 begin with
  // a code of the table, 20 is too short, 0, 999 and 4294967295 begin with none.
  struct Case {
    std::uint32_t code;
    bool found;
    const char* response;
  };
  static const Case cases[] = {
      {999, false, "SAORI/1.0 \r\n\r\n"},
      {20, false, "SAORI/1.0 \r\n\r\n"},
      {0, false, "SAORI/1.0 \r\n\r\n"},
      {4294967295u, false, "SAORI/1.0 \r\n\r\n"},
      {2001, true, "SAORI/1.0 200 OK\r\n\r\n"},
      {4000000000u, true, "SAORI/1.0 400 Bad Request\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    bool found = !c.found;
    EXPECT_EQ(StatusLineOf(c.code, &found), c.response);
    EXPECT_EQ(found, c.found);
  }
}

TEST(SaoriMessageStatus, LaterCallReplacesEarlierOne) {
  SaoriMessage message(nullptr);
  std::string out;
  EXPECT_TRUE(message.setStatus(400));
  EXPECT_TRUE(message.setStatus(500));
  message.serialize(out);
  EXPECT_EQ(out, "SAORI/1.0 500 Internal Server Error\r\n\r\n");

  EXPECT_FALSE(message.setStatus(999));  // a code outside the table removes the status
  EXPECT_TRUE(message.startWords.empty());
  message.serialize(out);
  EXPECT_EQ(out, "SAORI/1.0 \r\n\r\n");
}

TEST(SaoriMessageSerialize, GetVersionAnswerIsTwentyBytes) {
  SaoriMessage message(nullptr);
  EXPECT_TRUE(message.setStatus(200));
  std::string out = "stale text that must go";
  EXPECT_TRUE(message.serialize(out));
  EXPECT_EQ(out, "SAORI/1.0 200 OK\r\n\r\n");
  EXPECT_EQ(out.size(), 20u);
}

TEST(SaoriMessageSerialize, Version) {
  std::string out;
  SaoriMessage(nullptr).serialize(out);
  EXPECT_EQ(out, "SAORI/1.0 \r\n\r\n");
  SaoriMessage other("SAORI/2.0");
  other.setStatus(204);
  other.serialize(out);
  EXPECT_EQ(out, "SAORI/2.0 204 No Content\r\n\r\n");
}

TEST(SaoriMessageSerialize, HeaderLinesInOrder) {
  SaoriMessage message(nullptr);
  message.addHeader("Result", "a, b");
  message.addHeader("Charset", "Shift_JIS");
  message.addHeader("Charset", "EUC-JP");
  message.setStatus(200);
  std::string out;
  message.serialize(out);
  EXPECT_EQ(out,
            "SAORI/1.0 200 OK\r\nResult: a, b\r\nCharset: Shift_JIS\r\nCharset: EUC-JP\r\n\r\n");
  std::string again;
  message.serialize(again);  // serialising changes nothing
  EXPECT_EQ(again, out);
}

TEST(SaoriMessageSerialize, ValueWithLineEndIsWrittenAsStored) {
  SaoriMessage message(nullptr);
  message.addHeader("Result", "a\r\nb");
  message.addHeader("Empty", "");
  message.setStatus(200);
  std::string out;
  message.serialize(out);
  EXPECT_EQ(out, "SAORI/1.0 200 OK\r\nResult: a\r\nb\r\nEmpty: \r\n\r\n");
}

TEST(SaoriMessageSerialize, ClearRemovesStatusAndHeaders) {
  SaoriMessage message(nullptr);
  message.addHeader("Result", "x");
  message.setStatus(200);
  message.clear();
  std::string out;
  message.serialize(out);
  EXPECT_EQ(out, "SAORI/1.0 \r\n\r\n");
  message.setStatus(400);
  message.serialize(out);
  EXPECT_EQ(out, "SAORI/1.0 400 Bad Request\r\n\r\n");
}

// serializeAndClear writes what serialize writes, whether or not the longest line has room to
// hold the whole text, wherever that line stands, and leaves no header lines behind.
TEST(SaoriMessageSerialize, AndClearWritesTheSameText) {
  struct Case {
    const char* label;
    std::vector<std::string> lines;
    bool room;  // whether the longest line has room for the whole text
    bool status;
    std::size_t front = 0;  // bytes of room in front of the longest line
  };
  const std::string longValue(300, 'v');
  const Case cases[] = {
      {"no lines", {}, false, true},
      {"no lines, no status", {}, false, false},
      {"long line first, with room", {"Result: " + longValue, "Charset: x"}, true, true},
      {"long line first, no room", {"Result: " + longValue, "Charset: x"}, false, true},
      {"long line last, with room", {"A: 1", "B: 22", "Result: " + longValue}, true, true},
      {"long line between, with room", {"A: 1", "Result: " + longValue, "B: 2"}, true, false},
      {"long line between, no room", {"A: 1", "Result: " + longValue, "B: 2"}, false, true},
      {"short lines only", {"A: 1", "B: 2"}, false, true},
      {"empty lines", {"", ""}, false, true},
      {"room in front of the size of the status line",
       {std::string(18, ' ') + "Result: " + longValue, "B: 2"},
       true,
       true,
       18},
      {"room in front of another size",
       {"A: 1", std::string(5, ' ') + "Result: " + longValue},
       true,
       true,
       5},
  };
  for (const Case& c : cases) {
    SaoriMessage message(nullptr);
    std::size_t longest = 0;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      if (c.lines[i].size() > c.lines[longest].size()) longest = i;
    }
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      message.headerLines.push_back(c.lines[i], i == longest ? c.front : 0);
    }
    const char* lineMemory = nullptr;
    if (c.room) {
      std::string& line = *message.headerLines.addedLine(longest);
      line.reserve(2 * line.size());
      lineMemory = line.data();
    }
    if (c.status) message.setStatus(200);
    std::string expected;
    message.serialize(expected);
    std::string out = "stale";
    message.serializeAndClear(out);
    EXPECT_EQ(out, expected) << c.label;
    if (c.room) {
      EXPECT_EQ(out.data(), lineMemory) << c.label << ": written in the line's memory";
    }
    EXPECT_TRUE(message.headerLines.empty()) << c.label;
    EXPECT_TRUE(message.startWords.empty()) << c.label;
  }
}

}  // namespace
}  // namespace quillet
