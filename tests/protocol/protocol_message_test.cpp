#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "protocol/protocol_message.h"
#include "protocol/saori_message.h"

namespace quillet {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines LinesOf(const HeaderLines& lines) {
  Lines out;
  for (std::size_t i = 0; i < lines.size(); ++i) out.emplace_back(lines[i]);
  return out;
}

// The words with one SP between two of them, as a parsed message holds them.
std::string Joined(const Lines& words) {
  std::string text;
  for (const std::string& word : words) text += word + " ";
  if (!text.empty()) text.pop_back();
  return text;
}

// Parses a copy of the bytes that ends exactly where its heap allocation ends, so that any read
// past the given length is caught by AddressSanitizer. The message keeps positions in that
// copy, so the copy is returned, to be kept while the message is read.
std::unique_ptr<char[]> ParseFlush(ProtocolMessage& message, const std::string& bytes) {
  std::unique_ptr<char[]> copy(new char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  EXPECT_TRUE(message.parse(copy.get(), static_cast<std::uint32_t>(bytes.size())));
  return copy;
}

TEST(ProtocolMessageParse, Table) {
  struct Case {
    const char* label;
    std::string input;
    Lines startWords;
    std::string lineVersion;
    Lines headerLines;
  };
  const Case cases[] = {
      {"get version", "GET Version SAORI/1.0\r\n\r\n", {"GET", "Version"}, "SAORI/1.0", {""}},
      {"execute with arguments",
       "EXECUTE SAORI/1.0\r\nArgument0: %subject\r\nArgument1: ,\r\nCharset: Shift_JIS\r\n\r\n",
       {"EXECUTE"},
       "SAORI/1.0",
       {"Argument0: %subject", "Argument1: ,", "Charset: Shift_JIS"}},
      {"empty text", "", {}, "", {}},
      {"white space only", " \t \r\n\t", {}, "", {}},
      {"leading SP, folded CR LF, TAB",
       " \r\n\tEXECUTE SAORI/1.0\r\nA: 1\r\n\r\n",
       {"EXECUTE"},
       "SAORI/1.0",
       {"A: 1"}},
      {"leading plain CR LF is an empty request line",
       "\r\nEXECUTE SAORI/1.0\r\n",
       {},
       "",
       {"EXECUTE SAORI/1.0"}},
      {"request line without line end", "EXECUTE SAORI/1.0", {"EXECUTE"}, "", {}},
      {"request line ends in a lone CR", "EXECUTE SAORI/1.0\r", {"EXECUTE"}, "", {}},
      {"single word request line", "EXECUTE\r\n\r\n", {}, "EXECUTE", {""}},
      {"request line ends in a space", "EXECUTE \r\n\r\n", {"EXECUTE"}, "", {""}},
      {"two spaces make an empty word",
       "EXECUTE  SAORI/1.0\r\n\r\n",
       {"EXECUTE", ""},
       "SAORI/1.0",
       {""}},
      {"TAB belongs to its word",
       "GET\tVersion SAORI/1.0\r\n\r\n",
       {"GET\tVersion"},
       "SAORI/1.0",
       {""}},
      {"lone LF ends nothing",
       "EXE\nCUTE SAORI/1.0\r\nA: x\ny\r\n\r\n",
       {"EXE\nCUTE"},
       "SAORI/1.0",
       {"A: x\ny"}},
      {"lone CR ends nothing",
       "EXECUTE SAORI/1.0\r\rA: 1\r\n\r\n",
       {"EXECUTE", "SAORI/1.0\r\rA:"},
       "1",
       {""}},
      {"NUL bytes are data",
       "EX\0 SAORI/1.0\r\nA: \0x\r\n\r\n"s,
       {"EX\0"s},
       "SAORI/1.0",
       {"A: \0x"s}},
      {"unclosed section keeps lines up to its last CR LF",
       "EXECUTE SAORI/1.0\r\nA: 1\r\nB: 2",
       {"EXECUTE"},
       "SAORI/1.0",
       {"A: 1"}},
      {"section ending in one CR LF",
       "EXECUTE SAORI/1.0\r\nA: 1\r\n",
       {"EXECUTE"},
       "SAORI/1.0",
       {"A: 1"}},
      {"section ending in CR LF CR",
       "EXECUTE SAORI/1.0\r\nA: 1\r\n\r",
       {"EXECUTE"},
       "SAORI/1.0",
       {"A: 1"}},
      {"lines after the blank line are not read",
       "EXECUTE SAORI/1.0\r\nA: 1\r\n\r\nB: 2\r\n\r\n",
       {"EXECUTE"},
       "SAORI/1.0",
       {"A: 1"}},
      {"blank line right after the request line is a header line",
       "EXECUTE SAORI/1.0\r\n\r\nA: 1\r\n\r\n",
       {"EXECUTE"},
       "SAORI/1.0",
       {"", "A: 1"}},
      {"lines stored untrimmed and unfolded",
       "EXECUTE SAORI/1.0\r\n A : 1 \r\n\tmore\r\n\r\n",
       {"EXECUTE"},
       "SAORI/1.0",
       {" A : 1 ", "\tmore"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SaoriMessage message("SAORI/1.0");
    const auto text = ParseFlush(message, c.input);
    EXPECT_EQ(message.startWords, Joined(c.startWords));
    EXPECT_EQ(message.lineVersion, c.lineVersion);
    EXPECT_EQ(LinesOf(message.headerLines), c.headerLines);
  }
}

TEST(ProtocolMessageParse, EachParseStartsFromAnEmptyMessage) {
  SaoriMessage message(nullptr);
  ParseFlush(message, "EXECUTE SAORI/1.0\r\nA: 1\r\n\r\n");
  const auto text = ParseFlush(message, "GET\r\n");
  EXPECT_TRUE(message.startWords.empty());
  EXPECT_EQ(message.lineVersion, "GET");
  EXPECT_TRUE(message.headerLines.empty());
  EXPECT_EQ(message.statusTable.size(), 14u);
  EXPECT_EQ(message.protocolVersion, "SAORI/1.0");
}

TEST(ProtocolMessageParse, NullTextIsEmpty) {
  SaoriMessage message(nullptr);
  message.headerLines.push_back("stale");
  EXPECT_TRUE(message.parse(nullptr, 10));
  EXPECT_TRUE(message.headerLines.empty());
}

TEST(ProtocolMessageParse, SixteenMebibyteRequest) {
  // Many header lines and one long value: both must go through in one linear pass.
  std::string text = "EXECUTE SAORI/1.0\r\n";
  const std::string line = "Argument0: %subject and some more text\r\n";
  while (text.size() < (std::size_t{8} << 20)) text += line;
  const std::size_t lines = (text.size() - 19) / line.size();
  text += "Argument2: ";
  text.append(std::size_t{8} << 20, 'x');
  text += "\r\n\r\n";
  SaoriMessage message(nullptr);
  const auto copy = ParseFlush(message, text);
  ASSERT_EQ(message.headerLines.size(), lines + 1);
  EXPECT_EQ(message.headerLines[lines].size(), 11 + (std::size_t{8} << 20));
}

TEST(ProtocolMessageCommand, JoinsStartWords) {
  struct Case {
    const char* label;
    Lines words;
    std::string expected;
  };
  const Case cases[] = {
      {"none", {}, ""},
      {"one", {"EXECUTE"}, "EXECUTE"},
      {"two", {"GET", "Version"}, "GET Version"},
      {"empty word keeps its space", {"EXECUTE", ""}, "EXECUTE "},
      {"one empty word", {""}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SaoriMessage message(nullptr);
    const std::string words = Joined(c.words);
    message.startWords = words;
    std::string out = "stale";
    EXPECT_TRUE(message.command(out));
    EXPECT_EQ(out, c.expected);
  }
}

// The start words stand as the request line up to its last SP: command gives them so, serialize
// writes them one after the other, and a status chosen later takes their place in both.
TEST(ProtocolMessageCommand, ParsedWordsThenStatus) {
  SaoriMessage message(nullptr);
  const auto text = ParseFlush(message, "GET  Version SAORI/1.0\r\nA: 1\r\n\r\n");
  std::string out;
  EXPECT_TRUE(message.command(out));
  EXPECT_EQ(out, "GET  Version");
  message.serialize(out);
  EXPECT_EQ(out, "SAORI/1.0 GETVersion\r\nA: 1\r\n\r\n");
  message.setStatus(400);
  message.command(out);
  EXPECT_EQ(out, "400 Bad Request");
  message.serialize(out);
  EXPECT_EQ(out, "SAORI/1.0 400 Bad Request\r\nA: 1\r\n\r\n");
}

// A message whose header lines are exactly the given ones.
SaoriMessage WithLines(const Lines& lines) {
  SaoriMessage message(nullptr);
  for (const std::string& line : lines) message.headerLines.push_back(line);
  return message;
}

TEST(ProtocolMessageFindHeader, Table) {
  struct Case {
    const char* label;
    Lines lines;
    const char* name;
    std::int32_t start;
    std::int32_t index;
    std::string value;  // "unchanged" when nothing is found
  };
  const Lines arguments = {"Argument0: %subject", "Argument1: ,", "Charset: Shift_JIS"};
  const Lines twice = {"N: 1", "N: 2"};
  const Case cases[] = {
      {"second of three", arguments, "Argument1", 0, 1, ","},
      {"name in lower case", arguments, "charset", 0, 2, "Shift_JIS"},
      {"absent", arguments, "Argument2", 0, -1, "unchanged"},
      {"same name from 0", twice, "N", 0, 0, "1"},
      {"same name from 1", twice, "N", 1, 1, "2"},
      {"start at the end", twice, "N", 2, -2, "unchanged"},
      {"negative start", twice, "N", -1, -2, "unchanged"},
      {"no lines", {}, "N", 0, -2, "unchanged"},
      {"colon without space", {"Charset:x"}, "Charset", 0, -1, "unchanged"},
      {"space before colon", {"Charset : x"}, "Charset", 0, -1, "unchanged"},
      {"space before colon, name with it", {"Charset : x"}, "Charset ", 0, 0, "x"},
      {"value holding ': '", {"From: a: b"}, "From", 0, 0, "a: b"},
      {"empty value", {"Result: "}, "Result", 0, 0, ""},
      {"value not trimmed", {"A:  x "}, "A", 0, 0, " x "},
      {"line in capitals", {"CHARSET: x"}, "Charset", 0, 0, "x"},
      {"line name a leading part of the sought name", {"Argument: a"}, "Argument0", 0, 0, "a"},
      {"line name longer than the sought name", {"Argument0x: a"}, "Argument0", 0, -1, "unchanged"},
      {"empty line name answers everything", {"X:y", ": any"}, "Whatever", 0, 1, "any"},
      {"empty sought name", {"A: 1", ": e"}, "", 0, 1, "e"},
      {"empty line skipped", {"", "A: 1"}, "A", 0, 1, "1"},
      // e acute and E acute in UTF-8: case folding touches ASCII letters only
      {"non-ASCII bytes compared exactly", {"\xC3\xA9: 1", "\xC3\x89: 2"}, "\xC3\x89", 0, 1, "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SaoriMessage message = WithLines(c.lines);
    std::string value = "unchanged";
    EXPECT_EQ(message.findHeader(c.name, value, c.start), c.index);
    EXPECT_EQ(value, c.value);
  }
}

TEST(ProtocolMessageFindHeader, NulInsideLineNameDoesNotEndTheName) {
  // The line's name is "Arg", NUL, "x": the sought name "Arg" ends where the line's name goes
  // on, so it must not match although both hold a zero byte at that position.
  SaoriMessage message = WithLines({"Arg\0x: v"s, "Arg: w"});
  std::string value;
  EXPECT_EQ(message.findHeader("Arg", value, 0), 1);
  EXPECT_EQ(value, "w");
}

TEST(ProtocolMessageFindHeader, ZeroByteEndsAParsedValue) {
  const std::string text =
      "EXECUTE SAORI/1.0\r\nA: a\r\nB: b\0"s + std::string(70, 'x') + "\r\nC: c\r\n\r\n";
  SaoriMessage message(nullptr);
  message.parse(text.data(), static_cast<std::uint32_t>(text.size()));
  for (const auto& [name, expected] : {std::pair{"A", "a"}, {"B", "b"}, {"C", "c"}}) {
    std::string value;
    EXPECT_GE(message.findHeader(name, value, 0), 0);
    EXPECT_EQ(value, expected) << name;
  }
}

TEST(ProtocolMessageFindHeader, NeverParsedMessage) {
  SaoriMessage message(nullptr);
  std::string value = "unchanged";
  EXPECT_EQ(message.findHeader("Charset", value, 0), -2);
  EXPECT_EQ(value, "unchanged");
}

TEST(ProtocolMessageAddHeader, NullHandlingAndOrder) {
  SaoriMessage message(nullptr);
  EXPECT_TRUE(message.addHeader("Result", ""));
  EXPECT_FALSE(message.addHeader("Result", static_cast<const char*>(nullptr)));
  EXPECT_FALSE(message.addHeader(static_cast<const char*>(nullptr), "x"));
  EXPECT_TRUE(message.addHeader("Charset", "Shift_JIS"));
  EXPECT_TRUE(message.addHeader("Charset", "EUC-JP"));
  EXPECT_TRUE(message.addHeader("", "a\r\nb"));  // nothing is examined or escaped
  EXPECT_EQ(LinesOf(message.headerLines),
            (Lines{"Result: ", "Charset: Shift_JIS", "Charset: EUC-JP", ": a\r\nb"}));
}

TEST(ProtocolMessageClear, KeepsTableAndVersion) {
  SaoriMessage message("X/2");
  ParseFlush(message, "EXECUTE SAORI/1.0\r\nA: 1\r\n\r\n");
  message.clear();
  EXPECT_TRUE(message.startWords.empty());
  EXPECT_TRUE(message.lineVersion.empty());
  EXPECT_TRUE(message.headerLines.empty());
  EXPECT_EQ(message.statusTable.size(), 14u);
  EXPECT_EQ(message.protocolVersion, "X/2");
}

// The wide forms in the "C" locale the program starts in (nothing here changes it): ASCII
// passes unchanged, and a character that the locale cannot write ends the conversion.
TEST(ProtocolMessageWide, AddHeader) {
  SaoriMessage message(nullptr);
  EXPECT_TRUE(message.addHeader(L"Result", L"abc"));
  EXPECT_TRUE(message.addHeader(L"Empty", L""));
  EXPECT_FALSE(message.addHeader(L"Result", static_cast<const wchar_t*>(nullptr)));
  EXPECT_FALSE(message.addHeader(static_cast<const wchar_t*>(nullptr), L"x"));
  EXPECT_EQ(LinesOf(message.headerLines), (Lines{"Result: abc", "Empty: "}));
}

TEST(ProtocolMessageWide, FindHeader) {
  SaoriMessage message = WithLines({"A: 1", "Charset: Shift_JIS"});
  std::wstring value = L"unchanged";
  EXPECT_EQ(message.findHeader("charset", value, 0), 1);
  EXPECT_EQ(value, L"Shift_JIS");
  value = L"unchanged";
  EXPECT_EQ(message.findHeader("B", value, 0), -1);
  EXPECT_EQ(value, L"unchanged");
  EXPECT_EQ(message.findHeader("A", value, 5), -2);
  EXPECT_EQ(value, L"unchanged");
}

TEST(ProtocolMessageWide, Conversions) {
  std::string narrow = "stale";
  ToNarrow(L"Result: x", narrow);
  EXPECT_EQ(narrow, "Result: x");
  ToNarrow(
      L"ab\x0100"
      L"cd",
      narrow);  // U+0100 has no byte in the "C" locale
  EXPECT_EQ(narrow, "ab");
  ToNarrow(L"", narrow);
  EXPECT_EQ(narrow, "");

  std::wstring wide = L"stale";
  ToWide("Shift_JIS", wide);
  EXPECT_EQ(wide, L"Shift_JIS");
  ToWide("ab\0cd"s, wide);  // a NUL ends the conversion
  EXPECT_EQ(wide, L"ab");
  ToWide("", wide);
  EXPECT_EQ(wide, L"");
}

}  // namespace
}  // namespace quillet
