// Encoded words ("=?charset?B?text?=") in a mail header list: cut out, base64-decoded and
// converted to the requested charset.
//
// A word starts at "=" followed by "?" and ends at the first later "?" followed by "=". Every
// other "?" between them ends a field: the first field names the charset, the second the
// encoding ("B", "b" or empty for base64; anything else leaves the word as text), later fields
// are ignored, and the text after the last "?" is the payload. A word that meets 0x01, 0x02 or
// the end of the list before its closing "?=" is no word: it stays as text, so a subject cut
// short by a mail program costs nothing but its own decoding.
//
// Mail read into UTF-8 takes words as mail programs write them: "=?", a charset field up to
// the first "?", one encoding letter ("B", "b", "Q" or "q"), "?", and the encoded text up to
// the first "?=" after that "?" (so "=?ISO-8859-1?Q?=41?=" is one word holding "=41"). A start
// without that shape, and a word whose charset is none that WordCharsetOf knows, stay as text.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Takes the encoded words of one forward pass over [begin, end). It remembers how far its scan
// for the next closing "?=" or separator went, so a start that is not taken costs the next
// start nothing: a whole pass reads every byte a fixed number of times, however many "=?" the
// text holds.
class EncodedWordScanner {
 public:
  // Where a word found at a position stands: its payload, its charset code, its length.
  struct Word {
    const char* payload = nullptr;
    std::size_t payloadSize = 0;
    int code = 0;            // a CharsetCode, or a WordCharset for a mail word
    std::size_t length = 0;  // from its "=" to its closing "?=", both included
    bool q = false;          // Q encoding (mail words only)
  };

  explicit EncodedWordScanner(const char* end) : end_(end) {}

  // When a word is taken at p (p below end), appends its text converted to the target charset
  // to out and returns the number of bytes it covers, closing "?=" included; otherwise returns
  // 0 and appends nothing. Linear over a pass when p never moves backwards between calls.
  std::size_t take(const char* p, int target, std::string& out);

  // take in two steps: find tells whether a word is taken at p and where it stands (the same
  // rule for passes); decode appends its text converted to the target charset to out.
  bool find(const char* p, Word& word);
  void decode(const Word& word, int target, std::string& out);

  // find for mail read into UTF-8: the word as mail programs read it (see above), with its
  // WordCharset in code. The same cost rule holds for any mix of find and findMailWord.
  bool findMailWord(const char* p, Word& word);

 private:
  const char* nextStop(const char* from);

  const char* end_;
  // Scanned [stopFrom_, stop_): no separator and no closing "?=" in it; stop_ is the first one
  // (or end_).
  const char* stopFrom_ = nullptr;
  const char* stop_ = nullptr;
  std::string decoded_;  // a payload after base64, before conversion
};

// Appends the raw bytes of a mail word's encoded text, base64- or Q-decoded, to bytes.
void DecodeMailWordText(const EncodedWordScanner::Word& word, std::string& bytes);

// One word at p, on its own: the same rules as EncodedWordScanner::take over [p, end); with
// the target UTF-8, the mail word rules and the word's text converted to UTF-8.
std::size_t DecodeEncodedWord(const char* p, const char* end, int target, std::string& out);

}  // namespace quillet
