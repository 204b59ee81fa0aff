#include "mail/decode_encoded_word.h"

#include <cstdint>
#include <cstring>

#include "codec/convert_support.h"
#include "common/byte_at.h"
#include "common/charset_code_of.h"
#include "common/zero_bytes.h"
#include "jtext/base64.h"
#include "jtext/decode_q.h"
#include "mail/find_mark.h"
#include "mail/word_charset.h"

namespace quillet {
namespace {

// The encoding field selects base64 when it is "B" or "b" or empty (a leading part of "B",
// ASCII case ignored). A longer field never does, even when a zero byte inside it would stop
// the comparison early.
bool SelectsBase64(const char* field, std::size_t size) {
  return size == 0 || (size == 1 && (field[0] == 'B' || field[0] == 'b'));
}

// The first "?" in [from, last], where last is a "?" of the list: fields are short, so eight
// bytes are looked at a time while eight are in reach. The fields of the starts that one word
// holds are apart from each other (each start brings a "?" of its own), so the scans of a
// whole pass read each byte a few times at the most.
const char* NextQuestion(const char* from, const char* last) {
  using convert::kOnes;
  const char* q = from;
  for (; last - q >= 7; q += 8) {
    std::uint64_t block;
    std::memcpy(&block, q, sizeof block);
    const std::uint64_t marks = ZeroBytes(block ^ (kOnes * '?'));
    if (marks != 0) return q + convert::BytesBeforeMark(marks);
  }
  while (*q != '?') ++q;
  return q;
}

// The mark ZeroBytes gives the byte n places into a word read from memory.
std::uint64_t MarkOf(unsigned n) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return std::uint64_t{0x80} << (56 - 8 * n);
#else
  return std::uint64_t{0x80} << (8 * n);
#endif
}

// The "?" of [from, last] in turn, where last is a "?" of the list and from is at most last:
// eight bytes are looked at a time while eight are in reach, then one at a time. A block's
// marks are taken one after another, so no load waits for the position found before it.
class Questions {
 public:
  Questions(const char* from, const char* last) : block_(from), last_(last) { load(); }
  // The next "?"; not asked for again once it has been last.
  const char* next() {
    while (marks_ == 0) {
      block_ += 8;  // at most last, which is a "?" not yet taken
      load();
    }
    const unsigned n = convert::BytesBeforeMark(marks_);
    marks_ &= ~MarkOf(n);
    return block_ + n;
  }

 private:
  void load() {
    if (last_ - block_ >= 7) {
      std::uint64_t block;
      std::memcpy(&block, block_, sizeof block);
      marks_ = ZeroBytes(block ^ (convert::kOnes * '?'));
      return;
    }
    marks_ = 0;
    for (const char* c = block_; c <= last_; ++c) {
      if (*c == '?') marks_ |= MarkOf(static_cast<unsigned>(c - block_));
    }
  }

  const char* block_;
  const char* const last_;
  std::uint64_t marks_ = 0;
};

// Where the encoded text of a word whose fields start at `from` (right after a "?") begins:
// after the last "?" in [from, close), where close is the word's closing "?". Later "?" are
// rare, and each byte is looked at once.
const char* PayloadStart(const char* from, const char* close) {
  const char* payload = from;
  for (;;) {
    const char* const q = NextQuestion(payload, close);
    if (q == close) return payload;
    payload = q + 1;
  }
}

// PayloadStart for the encoded text of a word whose fields are known: mostly a block or more
// with no "?", which a vector search goes through (it stops early only at a byte of 0..3,
// after which the rest goes as above).
const char* KnownPayloadStart(const char* from, const char* close) {
  const auto vector = simd::ActiveKernels().findMark;
  if (vector == nullptr || close - from < 16) return PayloadStart(from, close);
  const char* const q = vector(from, close, '?');
  if (q == close) return from;
  if (*q == '?') return PayloadStart(q + 1, close);
  // A byte of 0..3 before any "?": the "?" after it, if any, are found as above.
  const char* const later = NextQuestion(q + 1, close);
  return later == close ? from : PayloadStart(later + 1, close);
}

// Where the charset name of the field [first, fieldEnd) ends: at the field's first "*" (a
// language after it, as in "UTF-8*ja", says nothing about the bytes) or with the field. Only a
// name that is looked up is measured, so a start that turns out to be no word costs nothing here.
const char* CharsetNameEnd(const char* first, const char* fieldEnd) {
  const void* const star = std::memchr(first, '*', static_cast<std::size_t>(fieldEnd - first));
  return star != nullptr ? static_cast<const char*>(star) : fieldEnd;
}

// Whether the n bytes at a and at b are the same: a charset name is short, so eight bytes are
// compared at a time (the last eight overlapping), without a call.
bool SameBytes(const char* a, const char* b, std::size_t n) {
  if (n < 8) {
    for (std::size_t i = 0; i < n; ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  std::uint64_t x;
  std::uint64_t y;
  for (std::size_t i = 0; i + 8 < n; i += 8) {
    std::memcpy(&x, a + i, sizeof x);
    std::memcpy(&y, b + i, sizeof y);
    if (x != y) return false;
  }
  std::memcpy(&x, a + n - 8, sizeof x);
  std::memcpy(&y, b + n - 8, sizeof y);
  return x == y;
}

bool IsEncodingLetter(char c) {
  return c == 'B' || c == 'b' || c == 'Q' || c == 'q';
}

// The bytes a known head is compared in, and where it is kept: picked by its first four bytes,
// which a head of a charset name of one byte or more holds whole.
constexpr std::size_t kHeadBytes = 16;

// The multiplier gives each of "ISO-", "Shif", "EUC-" and "UTF-", in either case, an entry of
// its own, and so to each of "GB23", "KOI8", "Big5", "wind", "ISO-" and "EUC-": the charsets
// that a list names in turn do not push each other out.
unsigned HeadChoice(std::uint64_t first8, unsigned entries) {
  const std::uint64_t four = first8 & 0xFFFFFFFFu;
  return static_cast<unsigned>((four * 0x84146A534439F257u) >> 61) % entries;
}

// A word whose first n bytes (n at most 8) in memory order are 0xFF and the rest 0x00.
std::uint64_t LeadingBytes(std::size_t n) {
  static constexpr unsigned char kKeep[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  std::uint64_t mask;
  std::memcpy(&mask, kKeep + 8 - n, sizeof mask);
  return mask;
}

}  // namespace

const EncodedWordScanner::KnownHead* EncodedWordScanner::knownHead(const char* first,
                                                                   bool mail) const {
  std::uint64_t low;
  std::uint64_t high;
  std::memcpy(&low, first, sizeof low);
  std::memcpy(&high, first + 8, sizeof high);
  const KnownHead& head = heads_[mail][HeadChoice(low, kKnownHeads)];
  if ((((low & head.masks[0]) ^ head.bytes[0]) | ((high & head.masks[1]) ^ head.bytes[1])) != 0) {
    return nullptr;
  }
  return &head;
}

void EncodedWordScanner::keepHead(const char* first, std::size_t size, bool mail, bool q,
                                  Encoding encoding) {
  if (size > kHeadBytes || end_ - first < static_cast<std::ptrdiff_t>(kHeadBytes)) return;
  std::uint64_t low;
  std::uint64_t high;
  std::memcpy(&low, first, sizeof low);
  std::memcpy(&high, first + 8, sizeof high);
  KnownHead& head = heads_[mail][HeadChoice(low, kKnownHeads)];
  head.masks[0] = LeadingBytes(size < 8 ? size : 8);
  head.masks[1] = LeadingBytes(size < 8 ? 0 : size - 8);
  head.bytes[0] = low & head.masks[0];
  head.bytes[1] = high & head.masks[1];
  head.size = size;
  head.q = q;
  head.encoding = encoding;
}

// The first separator (0x01, 0x02) or closing "?" "=" at or after from, or end_. Results are
// reused while from stays inside the range already scanned, so the many starts that one long
// unclosed word may hold cost one scan together. A mail word looks up its fields first and its
// encoded text after them, so a later start may lie before the range: then only the gap in
// front of it is scanned.
__attribute__((always_inline)) inline const char* EncodedWordScanner::nextStop(const char* from) {
  if (stop_ != nullptr && from >= stopFrom_ && from <= stop_) return stop_;
  if (stop_ != nullptr && from < stopFrom_) {
    // The gap and one byte more, for a "?" at its end whose "=" is the range's first byte;
    // a stop found at or after stopFrom_ is stop_ itself.
    const char* const gapEnd = stopFrom_ < end_ ? stopFrom_ + 1 : end_;
    const char* const found = FindWordEnd(from, gapEnd);
    if (found < stopFrom_) stop_ = found;
    stopFrom_ = from;
    return stop_;
  }
  stopFrom_ = from;
  stop_ = FindFarWordEnd(from, end_);
  return stop_;
}

// nextStop for a from past the range already scanned, where the stop is likely near.
inline const char* EncodedWordScanner::nearStop(const char* from) {
  if (stop_ != nullptr && from <= stop_) return nextStop(from);
  stopFrom_ = from;
  stop_ = FindWordEnd(from, end_);
  return stop_;
}

// Words side by side mostly name one charset, and a list's mails a few: names read before are
// kept with their encodings, each in the entry that its size and outer bytes choose, so a name
// met again costs one comparison and no look-up.
Encoding EncodedWordScanner::charsetOf(const char* name, const char* nameEnd, bool mail) {
  const std::size_t size = static_cast<std::size_t>(nameEnd - name);
  const unsigned choice = size == 0
                              ? 0
                              : static_cast<unsigned>(size) + static_cast<unsigned char>(name[0]) +
                                    static_cast<unsigned char>(name[size - 1]);
  KnownName& known = known_[choice % kKnownNames];
  if (size == known.size && mail == known.mail && SameBytes(name, known.name, size)) {
    return known.encoding;
  }
  const Encoding encoding =
      mail ? EncodingOfLabel(name, size) : WordEncodingOf(CharsetCodeOf(name, size), name, size);
  if (size <= sizeof known.name) {
    std::memcpy(known.name, name, size);
    known.size = size;
    known.mail = mail;
    known.encoding = encoding;
  }
  return encoding;
}

bool EncodedWordScanner::find(const char* p, Word& word) {
  const char* const first = p + 2;  // the first byte of the first field

  // A start past the range already scanned, as every word after the one before it: a known
  // head holds no stop (its last "?" is one only where "=" follows it), so when the encoded text
  // after it holds no "?" before a closing "?=", one search finds that close, and the fields
  // and the text are as they were. The search ends at the first "?" or separator, so the
  // searches of a pass's starts, each after a "?" of its own, read each byte once. (Starts
  // inside the range, as in one long unclosed word, look for their close there first.)
  const bool headRoom = end_ - first >= static_cast<std::ptrdiff_t>(kHeadBytes);
  const KnownHead* head = nullptr;
  const char* close;
  if (stop_ != nullptr && first <= stop_ && first >= stopFrom_) {
    close = stop_;
    if (close == end_ || *close != '?') return false;
    if (headRoom) head = knownHead(first, false);
  } else {
    if (headRoom) head = knownHead(first, false);
    if (head != nullptr && ByteAt(first + head->size, end_) != '=') {
      const char* const payload = first + head->size;
      const char* const q = FindFarMark(payload, end_, '?');
      if (q != end_ && *q == '?' && ByteAt(q + 1, end_) == '=') {
        stopFrom_ = first;
        stop_ = q;
        SetWord(word, p, payload, q, head->encoding, head->q);
        return true;
      }
    }
    // The word ends at its closing "?=": a separator or the end of the list before it means
    // that there is no word here at all. Without a known head the close may be as near as the
    // next bytes (a run of short starts), which one word's test finds without a call.
    close = head == nullptr ? nearStop(first) : nextStop(first);
    if (close == end_ || *close != '?') return false;
  }

  // A known head that ends before the close: the fields are as they were, and only the
  // payload's own "?" are left to look for.
  if (head != nullptr && static_cast<std::size_t>(close - first) >= head->size) {
    const char* const payload = KnownPayloadStart(first + head->size, close);
    SetWord(word, p, payload, close, head->encoding, head->q);
    return true;
  }

  // Every "?" before the closing one ends a field; since close is a "?", these searches never
  // look past it.
  const char* payload = first;
  Encoding encoding = Encoding::kIso2022Jp;  // a word without fields names no charset
  bool q = false;
  const char* const charsetEnd = NextQuestion(first, close);
  if (charsetEnd < close) {
    // A one-letter encoding field "B" or "Q" ends at the "?" after it even where "=" follows:
    // Q text starts with "=" whenever its first character is encoded.
    const bool oneLetter =
        close - charsetEnd >= 2 && charsetEnd[2] == '?' && IsEncodingLetter(charsetEnd[1]);
    if (oneLetter && close == charsetEnd + 2) {
      close = nextStop(close + 1);
      if (close == end_ || *close != '?') return false;
    }
    if (oneLetter) {
      q = charsetEnd[1] == 'Q' || charsetEnd[1] == 'q';
    } else {
      const char* const encodingEnd = NextQuestion(charsetEnd + 1, close);
      if (encodingEnd < close &&
          !SelectsBase64(charsetEnd + 1, static_cast<std::size_t>(encodingEnd - charsetEnd - 1))) {
        return false;  // neither B nor Q: the caller keeps the word as text
      }
    }
    // The payload follows the last "?" before the close, which is charsetEnd at the earliest:
    // looking for it costs what decoding the payload costs.
    payload = PayloadStart(oneLetter ? charsetEnd + 3 : charsetEnd + 1, close);
    encoding = charsetOf(first, CharsetNameEnd(first, charsetEnd), false);
    if (oneLetter) {
      keepHead(first, static_cast<std::size_t>(charsetEnd + 3 - first), false, q, encoding);
    }
  }
  SetWord(word, p, payload, close, encoding, q);
  return true;
}

// A start inside the range already scanned has its close known: its fields are the "?" in
// front of that close, and every later start of the range brings the next "?" of its own. So
// the "?" are walked in turn, each found once by one forward scan, and a start is let go in a few
// tests while its fields are plainly not a word's: in a Japanese request a second field that is
// neither empty nor one letter of "B", "b", "Q" or "q" followed by "?" (a known head's fields are
// one such letter, so none is let go here); in mail read into UTF-8 no one-letter encoding field at
// all.
const char* EncodedWordScanner::nextCandidate(const char* p, bool mail) {
  const char* const first = p + 2;
  if (stop_ == nullptr || first < stopFrom_ || first > stop_) return p + 1;
  const char* const close = stop_;
  // A separator or the end of the list ends every start before it as text.
  if (close == end_ || *close != '?') return close;
  // q is a "?" at first or later, r the one after it (close at the latest); a "?" with "="
  // before it is a start's, its fields ending at r and the "?" after r. p's own "?" is before
  // first, so q[-1] is a byte of the list and the first start seen is after p.
  Questions questions(first, close);
  const char* q = questions.next();
  const char* r = q == close ? close : questions.next();
  while (q != close) {
    if (q[-1] == '=') {
      if (mail) {
        // r before the close: "=" follows it, so r[2] is in the list.
        if (r != close && r[2] == '?' && IsEncodingLetter(r[1])) return q - 1;
      } else {
        if (r == close) return q - 1;  // one field or none: a word
        const char* const e = questions.next();
        if (e == close || e == r + 1 || (e == r + 2 && IsEncodingLetter(r[1]))) return q - 1;
        q = r;
        r = e;
        continue;
      }
    }
    q = r;
    r = q == close ? close : questions.next();
  }
  // A start whose "?" is the close itself has its fields after it, beyond what is known.
  return close[-1] == '=' ? close - 1 : close;
}

void EncodedWordScanner::decode(const Word& word, int target, std::string& out) {
  decoded_.clear();
  decoded_.add(word.payload, word.payloadSize, word.q);
  ConvertMailText(word.encoding, decoded_.data(), decoded_.size(), target, out, scratch_);
}

bool EncodedWordScanner::findMailWord(const char* p, Word& word) {
  if (p >= end_ || *p != '=' || ByteAt(p + 1, end_) != '?') return false;
  const char* const first = p + 2;

  // The first stop closes the fields or lies beyond them; a separator or the end of the list
  // there means that there is no word here.
  const char* const fieldStop = nextStop(first);
  if (fieldStop == end_ || *fieldStop != '?') return false;
  // A known head before the stop: fields, letter and encoding as they were; the stop closes
  // the word, as the encoded text starts at or before it.
  if (end_ - first >= static_cast<std::ptrdiff_t>(kHeadBytes)) {
    const KnownHead* const head = knownHead(first, true);
    if (head != nullptr && static_cast<std::size_t>(fieldStop - first) >= head->size) {
      if (head->encoding == Encoding::kNone) return false;
      SetWord(word, p, first + head->size, fieldStop, head->encoding, head->q);
      return true;
    }
  }
  const char* const charsetEnd = NextQuestion(first, fieldStop);
  if (charsetEnd == fieldStop) return false;  // "=?text?=": no encoding field
  // charsetEnd is before fieldStop, a "?" with a "=" after it: the two bytes read here are in
  // the list.
  if (charsetEnd[2] != '?' || !IsEncodingLetter(charsetEnd[1])) return false;
  const bool q = charsetEnd[1] == 'Q' || charsetEnd[1] == 'q';

  // The encoded text may hold "=" right after the encoding's "?" ("Q?=41?="): it ends at the
  // first "?=" after that "?", which is fieldStop unless fieldStop is that "?" itself.
  const char* const payload = charsetEnd + 3;
  const char* const close = payload <= fieldStop ? fieldStop : nextStop(payload);
  if (close == end_ || *close != '?') return false;

  const Encoding encoding = charsetOf(first, CharsetNameEnd(first, charsetEnd), true);
  keepHead(first, static_cast<std::size_t>(payload - first), true, q, encoding);
  if (encoding == Encoding::kNone) return false;

  SetWord(word, p, payload, close, encoding, q);
  return true;
}

std::size_t EncodedWordScanner::take(const char* p, int target, std::string& out) {
  Word word;
  if (p >= end_ || *p != '=' || ByteAt(p + 1, end_) != '?') return 0;
  if (!(target == kCharsetUtf8 ? findMailWord(p, word) : find(p, word))) return 0;
  decode(word, target, out);
  return word.length;
}

void DecodeWordText(const EncodedWordScanner::Word& word, std::string& bytes) {
  // One base64 character carries six bits, less than a byte.
  if (!word.q && word.payloadSize < 2) return;
  if (word.q) {
    DecodeMailQ(word.payload, word.payloadSize, bytes);
  } else {
    DecodeMailBase64(word.payload, word.payloadSize, bytes);
  }
}

void WordBytes::append(const char* payload, std::size_t size, bool q) {
  const std::size_t room = q ? size : Base64Room(size);
  if (buffer_.size() - size_ < room) {
    constexpr std::size_t kLeast = 256;
    const std::size_t half = buffer_.size() / 2;
    const std::size_t grown = buffer_.size() + (half > kLeast ? half : kLeast);
    const std::size_t needed = size_ + room;
    buffer_.resize(grown > needed ? grown : needed);
  }
  char* const out = &buffer_[size_];
  size_ += q ? DecodeMailQ(payload, size, out)
             : DecodeMailBase64(payload, size, reinterpret_cast<unsigned char*>(out));
}

std::size_t DecodeEncodedWord(const char* p, const char* end, int target, std::string& out) {
  EncodedWordScanner scanner(end);
  return scanner.take(p, target, out);
}

}  // namespace quillet
