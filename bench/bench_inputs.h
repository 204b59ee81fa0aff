// Deterministic inputs for the benchmark program: realistic Japanese text in the three
// encodings, its base64, mail header lists wrapped in EXECUTE requests, and hostile requests.
#pragma once

#include <cstddef>
#include <string>

namespace quillet::bench {

// About 18 % ASCII bytes and 82 % JIS X 0208 characters (hiragana, katakana, level-1 kanji,
// full-width symbols), switching every 20 bytes or so; at least `size` bytes of EUC-JP.
std::string JapaneseTextEuc(std::size_t size, unsigned seed);

// The same kind of text in Shift_JIS with a few percent of half-width katakana.
std::string JapaneseTextSjisWithKana(std::size_t size, unsigned seed);

std::string EncodeBase64(const std::string& bytes);

// An EXECUTE request carrying `mails` mails of about 300 bytes each (From, Subject, Date,
// Content-Type; about three B-encoded words per mail, mostly ISO-2022-JP).
std::string MailListRequest(std::size_t mails, unsigned seed);

// The same kind of mails for a UTF-8 request: UTF-8 words, mostly B, some Q, and every other
// Subject split over two words inside a character.
std::string Utf8MailListRequest(std::size_t mails, unsigned seed);

// The same kind of mails for a UTF-8 request, in charsets beyond the Japanese ones: half
// GBK, Big5 and EUC-KR, half single-byte (KOI8-R, ISO-8859-2, windows-1251).
std::string WorldMailListRequest(std::size_t mails, unsigned seed);

// An EXECUTE request around a given template and mail header list.
std::string ExecuteRequest(const std::string& templateText, const std::string& mailList,
                           const char* charset = "Shift_JIS");

}  // namespace quillet::bench
