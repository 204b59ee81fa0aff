#include "bench_inputs.h"

#include <random>

#include "common/charset_code_of.h"
#include "jtext/convert_charset.h"

namespace quillet::bench {
namespace {

// Printable ASCII without "\" and "~", which some Shift_JIS readers take as yen and overline.
constexpr char kAsciiPool[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,:;!?-_/()[]@#%&+=*'";

void AppendJisCharAsEuc(std::mt19937& rng, std::string& out) {
  std::uniform_int_distribution<int> pick(0, 99);
  const int kind = pick(rng);
  int row;
  int col;
  if (kind < 35) {  // hiragana 0x2421..0x2473
    row = 0x24;
    col = 0x21 + static_cast<int>(rng() % 83);
  } else if (kind < 50) {  // katakana 0x2521..0x2576
    row = 0x25;
    col = 0x21 + static_cast<int>(rng() % 86);
  } else if (kind < 90) {  // level-1 kanji rows 0x30..0x4E
    row = 0x30 + static_cast<int>(rng() % 31);
    col = 0x21 + static_cast<int>(rng() % 94);
  } else {  // full-width symbols of row 0x21
    row = 0x21;
    col = 0x21 + static_cast<int>(rng() % 94);
  }
  out.push_back(static_cast<char>(row | 0x80));
  out.push_back(static_cast<char>(col | 0x80));
}

void AppendAscii(std::mt19937& rng, std::size_t count, std::string& out) {
  for (std::size_t i = 0; i < count; ++i)
    out.push_back(kAsciiPool[rng() % (sizeof kAsciiPool - 1)]);
}

}  // namespace

std::string JapaneseTextEuc(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string out;
  out.reserve(size + 64);
  while (out.size() < size) {
    AppendAscii(rng, 1 + rng() % 7, out);                                   // about 4 ASCII bytes
    for (auto n = 5 + rng() % 9; n > 0; --n) AppendJisCharAsEuc(rng, out);  // about 18 bytes
  }
  return out;
}

std::string JapaneseTextSjisWithKana(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string euc;
  euc.reserve(size + 64);
  while (euc.size() < size) {
    AppendAscii(rng, 1 + rng() % 7, euc);
    for (auto n = 5 + rng() % 9; n > 0; --n) AppendJisCharAsEuc(rng, euc);
    if (rng() % 8 == 0) {  // a short run of half-width katakana, sometimes with sound marks
      for (auto n = 1 + rng() % 4; n > 0; --n) {
        euc.push_back('\x8E');
        euc.push_back(static_cast<char>(0xB1 + rng() % 0x2D));
        if (rng() % 4 == 0) {
          euc.push_back('\x8E');
          euc.push_back('\xDE');
        }
      }
    }
  }
  std::string sjis;
  ConvertCharset(kCharsetEuc, euc, kCharsetSjis, sjis);
  return sjis;
}

std::string EncodeBase64(const std::string& bytes) {
  static constexpr char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(alphabet[v >> 18]);
    out.push_back(alphabet[(v >> 12) & 63]);
    out.push_back(alphabet[(v >> 6) & 63]);
    out.push_back(alphabet[v & 63]);
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out.push_back(alphabet[v >> 18]);
    out.push_back(alphabet[(v >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

namespace {

// One encoded word holding `chars` JIS X 0208 characters in the given charset.
void AppendEncodedWord(std::mt19937& rng, int charset, unsigned chars, std::string& out) {
  std::string euc;
  for (unsigned n = 0; n < chars; ++n) AppendJisCharAsEuc(rng, euc);
  std::string payload;
  const char* name = "EUC-JP";
  if (charset == kCharsetEuc) {
    payload = euc;
  } else {
    ConvertCharset(kCharsetEuc, euc, charset, payload);
    name = charset == kCharsetSjis ? "Shift_JIS" : "ISO-2022-JP";
  }
  out += "=?";
  out += name;
  out += "?B?";
  out += EncodeBase64(payload);
  out += "?=";
}

// " <userN@domain>" after a From word.
void AppendAddress(std::mt19937& rng, const char* domain, std::string& list) {
  list += " <user";
  list += std::to_string(rng() % 100000);
  list += "@";
  list += domain;
  list += ">";
}

// The end of a mail after its Subject: a Date line and a Content-Type line, then 0x02.
void AppendDateAndType(std::mt19937& rng, const char* zone, const char* charset,
                       std::string& list) {
  list +=
      "\x01"
      "Date: Tue, 08 Dec 2026 15:";
  list += std::to_string(10 + rng() % 50);
  list += ":44 ";
  list += zone;
  list +=
      "\x01"
      "Content-Type: text/plain; charset=";
  list += charset;
  list += "\x02";
}

}  // namespace

std::string MailListRequest(std::size_t mails, unsigned seed) {
  std::mt19937 rng(seed);
  std::string list;
  list.reserve(mails * 320);
  for (std::size_t i = 0; i < mails; ++i) {
    const int charset = i % 7 == 3 ? kCharsetEuc : i % 5 == 1 ? kCharsetSjis : kCharsetJis;
    list += "From: ";
    AppendEncodedWord(rng, charset, 4, list);
    AppendAddress(rng, "example.jp", list);
    list += "\x01Subject: ";
    AppendEncodedWord(rng, charset, 12, list);
    list += " ";
    AppendEncodedWord(rng, charset, 10, list);
    AppendDateAndType(rng, "+0900", CanonicalCharsetName(static_cast<CharsetCode>(charset)), list);
  }
  return ExecuteRequest("!From! / !Subject! (!Date!) [!Content-Type!]", list);
}

namespace {

// Japanese text of `chars` JIS X 0208 characters in UTF-8.
std::string Utf8Text(std::mt19937& rng, unsigned chars) {
  std::string euc;
  for (unsigned n = 0; n < chars; ++n) AppendJisCharAsEuc(rng, euc);
  std::string utf8;
  ConvertCharset(kCharsetEuc, euc, kCharsetUtf8, utf8);
  return utf8;
}

void AppendUtf8Word(const std::string& bytes, std::string& out) {
  out += "=?UTF-8?B?";
  out += EncodeBase64(bytes);
  out += "?=";
}

// Q as mail programs write it: ASCII letters and digits as they are, "_" for a space, every
// other byte as "=XX".
void AppendUtf8QWord(const std::string& bytes, std::string& out) {
  static constexpr char hex[] = "0123456789ABCDEF";
  out += "=?UTF-8?Q?";
  for (const char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
      out.push_back(c);
    } else if (b == ' ') {
      out.push_back('_');
    } else {
      out.push_back('=');
      out.push_back(hex[b >> 4]);
      out.push_back(hex[b & 0x0F]);
    }
  }
  out += "?=";
}

}  // namespace

std::string Utf8MailListRequest(std::size_t mails, unsigned seed) {
  std::mt19937 rng(seed);
  std::string list;
  list.reserve(mails * 340);
  for (std::size_t i = 0; i < mails; ++i) {
    list += "From: ";
    if (i % 4 == 2) {
      AppendUtf8QWord(
          "Jos\xC3\xA9 Garc\xC3\xAD"
          "a",
          list);  // e acute, i acute
    } else {
      AppendUtf8Word(Utf8Text(rng, 4), list);
    }
    AppendAddress(rng, "example.jp", list);
    list += "\x01Subject: ";
    const std::string subject = Utf8Text(rng, 22);
    if (i % 2 == 0) {
      // Cut one byte into a character: the two words only make sense joined.
      const std::size_t cut = 3 * 11 + 1;
      AppendUtf8Word(subject.substr(0, cut), list);
      list += " ";
      AppendUtf8Word(subject.substr(cut), list);
    } else {
      AppendUtf8Word(subject, list);
    }
    AppendDateAndType(rng, "+0900", "UTF-8", list);
  }
  return ExecuteRequest("!From! / !Subject! (!Date!) [!Content-Type!]", list, "UTF-8");
}

namespace {

// A word of `chars` characters in a charset beyond the Japanese ones, with a space after every
// fifth: two-byte codes from the common blocks of GBK, Big5 and EUC-KR, or letters of the upper
// half of a single-byte charset.
struct WorldCharset {
  const char* name;
  unsigned char leadLow, leadHigh, trailLow, trailHigh;  // leadLow 0: single-byte
};

constexpr WorldCharset kWorldCharsets[] = {
    {"GB2312", 0xB0, 0xD6, 0xA1, 0xFE}, {"KOI8-R", 0, 0, 0xC0, 0xFF},
    {"Big5", 0xA4, 0xC5, 0xA1, 0xFE},   {"ISO-8859-2", 0, 0, 0xC0, 0xFE},
    {"EUC-KR", 0xB0, 0xC8, 0xA1, 0xFE}, {"windows-1251", 0, 0, 0xC0, 0xFF},
};

void AppendWorldWord(std::mt19937& rng, const WorldCharset& charset, unsigned chars,
                     std::string& out) {
  std::string text;
  const auto pick = [&rng](unsigned low, unsigned high) {
    return static_cast<char>(low + rng() % (high - low + 1));
  };
  for (unsigned n = 0; n < chars; ++n) {
    if (n % 5 == 4) text.push_back(' ');
    if (charset.leadLow != 0) text.push_back(pick(charset.leadLow, charset.leadHigh));
    text.push_back(pick(charset.trailLow, charset.trailHigh));
  }
  out += "=?";
  out += charset.name;
  out += "?B?";
  out += EncodeBase64(text);
  out += "?=";
}

}  // namespace

std::string WorldMailListRequest(std::size_t mails, unsigned seed) {
  std::mt19937 rng(seed);
  std::string list;
  list.reserve(mails * 300);
  for (std::size_t i = 0; i < mails; ++i) {
    const WorldCharset& charset =
        kWorldCharsets[i % (sizeof kWorldCharsets / sizeof kWorldCharsets[0])];
    list += "From: ";
    AppendWorldWord(rng, charset, 6, list);
    AppendAddress(rng, "example.com", list);
    list += "\x01Subject: ";
    AppendWorldWord(rng, charset, 20, list);
    list += " ";
    AppendWorldWord(rng, charset, 16, list);
    AppendDateAndType(rng, "+0100", charset.name, list);
  }
  return ExecuteRequest("!From! / !Subject! (!Date!) [!Content-Type!]", list, "UTF-8");
}

std::string ExecuteRequest(const std::string& templateText, const std::string& mailList,
                           const char* charset) {
  std::string request;
  request.reserve(mailList.size() + templateText.size() + 128);
  request += "EXECUTE SAORI/1.0\r\nCharset: ";
  request += charset;
  request += "\r\nArgument0: ";
  request += templateText;
  request += "\r\nArgument1: ,\r\nArgument2: ";
  request += mailList;
  request += "\r\n\r\n";
  return request;
}

}  // namespace quillet::bench
