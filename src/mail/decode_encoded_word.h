// Encoded words ("=?charset?B?text?=", "=?charset?Q?text?=") in a mail header list: cut out,
// decoded and converted to the requested charset.
//
// In a Shift_JIS, EUC-JP or ISO-2022-JP request a word starts at "=" followed by "?" and ends
// at the first later "?" followed by "=". Every other "?" between them ends a field: the first
// field names the charset, the second the encoding ("B", "b" or empty for base64, "Q" or "q";
// anything else leaves the word as text), later fields are ignored, and the text after the last
// "?" is the payload. A one-letter "B" or "Q" field ends at the "?" after it even when "="
// follows, so "=?ISO-8859-1?Q?=41?=" is one word holding "=41". A word that meets 0x01, 0x02 or
// the end of the list before its closing "?=" is no word: it stays as text, so a subject cut
// short by a mail program costs nothing but its own decoding.
//
// Mail read into UTF-8 takes words as mail programs write them: "=?", a charset field up to
// the first "?", one encoding letter ("B", "b", "Q" or "q"), "?", and the encoded text up to
// the first "?=" after that "?". A start without that shape, and a word whose charset labels no
// encoding the plug-in reads, stay as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "charsets/encoding.h"
#include "mail/find_mark.h"

namespace quillet {

// The decoded bytes of a word, or of adjacent words joined, in one buffer that a pass reuses
// for every word: it grows (by half at the least, zero-filled) only when a word needs more room
// than it ever had, so a word costs no allocation, fill or shrink of its own.
class WordBytes {
 public:
  const char* data() const { return buffer_.data(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }
  // Appends the raw bytes of a word's encoded text [payload, payload + size), Q- or
  // base64-decoded (see DecodeWordText).
  void add(const char* payload, std::size_t size, bool q) {
    // One base64 character carries six bits, less than a byte: such a word adds nothing, and
    // costs no call.
    if (q || size >= 2) append(payload, size, q);
  }

 private:
  void append(const char* payload, std::size_t size, bool q);

  std::string buffer_;  // its size is the room; the decoded bytes are its first size_
  std::size_t size_ = 0;
};

// Takes the encoded words of one forward pass over [begin, end). It remembers how far its scan
// for the next closing "?=" or separator went, so a start that is not taken costs the next
// start nothing: a whole pass reads every byte a fixed number of times, however many "=?" the
// text holds.
class EncodedWordScanner {
 public:
  // Where a word found at a position stands, and how it is read.
  struct Word {
    const char* payload = nullptr;
    std::size_t payloadSize = 0;
    std::size_t length = 0;  // from its "=" to its closing "?=", both included
    bool q = false;          // Q encoding, else base64
    // What its bytes are read as; adjacent words of one encoding are joined before reading.
    Encoding encoding = Encoding::kNone;
  };

  explicit EncodedWordScanner(const char* end) : end_(end) {}

  // When a word is taken at p (p below end), appends its text converted to the target charset
  // to out and returns the number of bytes it covers, closing "?=" included; otherwise returns
  // 0 and appends nothing. Linear over a pass when p never moves backwards between calls.
  std::size_t take(const char* p, int target, std::string& out);

  // take in two steps: find tells whether a word is taken at p, a start ("=?" at p, both bytes
  // in the list), and where it stands (the same rule for passes); decode appends its text
  // converted to the target charset to out.
  bool find(const char* p, Word& word);
  // find for a start p where a word of no fields is likely (a hostile run "=?=?=?=" is made of
  // them): takes only such a word, one that closes within eight bytes of its first field, as
  // find would take it; false, and nothing changed, for any other start. Such a word matches no
  // known head, so none is looked up.
  bool findFieldless(const char* p, Word& word) {
    const char* const first = p + 2;
    // Not where the range already scanned starts after first: it is kept for later starts.
    if (end_ - first < 9 || (stop_ != nullptr && first < stopFrom_)) return false;
    const char* const close = FieldlessClose(first);
    if (close == nullptr) return false;
    stopFrom_ = first;
    stop_ = close;
    // A word without fields names no charset.
    SetWord(word, p, first, close, Encoding::kIso2022Jp, false);
    return true;
  }
  void decode(const Word& word, int target, std::string& out);

  // find for mail read into UTF-8: the word as mail programs write it (see above), with its
  // Encoding. The same cost rule holds for any mix of find and findMailWord.
  bool findMailWord(const char* p, Word& word);

  // After find (findMailWord when mail) took no word at the start p ("=?" at p): the first
  // place after p where a word may start, every start before it being no word either (p + 1
  // when that is not known). The bytes in between are text and hold no separator. Linear over
  // a pass, with find, when p never moves backwards between calls.
  const char* nextCandidate(const char* p, bool mail);

 private:
  const char* nextStop(const char* from);
  const char* nearStop(const char* from);
  // The encoding a word's charset name [name, nameEnd) selects, in a mail read into UTF-8 or
  // in a Japanese request.
  Encoding charsetOf(const char* name, const char* nameEnd, bool mail);

  const char* end_;
  // Scanned [stopFrom_, stop_): no separator and no closing "?=" in it; stop_ is the first one
  // (or end_).
  const char* stopFrom_ = nullptr;
  const char* stop_ = nullptr;
  // The charset names read last, and what each selects: a list's mails mostly name a few
  // charsets in turn.
  struct KnownName {
    char name[32];
    std::size_t size = sizeof name + 1;  // none yet
    bool mail = false;
    Encoding encoding = Encoding::kNone;
  };
  static constexpr unsigned kKnownNames = 16;
  KnownName known_[kKnownNames];
  // Fills word for the word at p whose encoded text [payload, close) ends at its closing "?=".
  static void SetWord(Word& word, const char* p, const char* payload, const char* close,
                      Encoding encoding, bool q) {
    word.payload = payload;
    word.payloadSize = static_cast<std::size_t>(close - payload);
    word.encoding = encoding;
    word.length = static_cast<std::size_t>(close + 2 - p);
    word.q = q;
  }

  // The starts of words read last, each from its first field up to the "?" after its
  // one-letter encoding ("ISO-2022-JP?B?"), with what they select: a word that starts with one
  // of them has its fields, its letter and its encoding known from two compared words, and its
  // fields are not searched. Heads of at most 16 bytes, each in the entry its first bytes pick,
  // in a table of their own for mail read into UTF-8.
  struct KnownHead {
    // None yet: bytes that no masked text equals, so an entry is tested in one comparison.
    std::uint64_t bytes[2] = {1, 0};
    std::uint64_t masks[2] = {};  // 0xFF over the head's bytes
    std::size_t size = 0;
    bool q = false;
    Encoding encoding = Encoding::kNone;
  };
  static constexpr unsigned kKnownHeads = 8;
  KnownHead heads_[2][kKnownHeads];  // Japanese requests, mail read into UTF-8
  // The known head that the 16 bytes at first begin with (first + 16 within the list), or none.
  const KnownHead* knownHead(const char* first, bool mail) const;
  // Remembers the head [first, first + size) read with a one-letter encoding.
  void keepHead(const char* first, std::size_t size, bool mail, bool q, Encoding encoding);
  WordBytes decoded_;    // a payload after base64 or Q, before conversion
  std::string scratch_;  // a mail word's text in UTF-8 on its way into a Japanese target
};

// Appends the raw bytes of a word's encoded text, base64- or Q-decoded as mail programs decode
// them (padding carries no bits, a zero byte is kept until the text is read), to bytes.
void DecodeWordText(const EncodedWordScanner::Word& word, std::string& bytes);

// One word at p, on its own: the same rules as EncodedWordScanner::take over [p, end).
std::size_t DecodeEncodedWord(const char* p, const char* end, int target, std::string& out);

}  // namespace quillet
