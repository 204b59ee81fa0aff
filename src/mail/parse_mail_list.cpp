#include "mail/parse_mail_list.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "codec/convert_support.h"
#include "common/charset_code_of.h"
#include "common/folding_space_length.h"
#include "common/zero_bytes.h"
#include "mail/decode_encoded_word.h"
#include "mail/find_mark.h"
#include "mail/word_charset.h"

namespace quillet {
namespace {

constexpr unsigned char kEndLine = 0x01;
constexpr unsigned char kEndMail = 0x02;

// Whether [p, end) holds only SP, TAB, CR and LF (or nothing): the white space that folds a
// header between two encoded words.
bool OnlyFoldingWhite(const char* p, const char* end) {
  for (; p < end; ++p) {
    const char c = *p;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

// The number of bytes below 0x80 that [from, from + size) starts with, copied to to (which has
// room for size bytes; bytes after the run may be written too). Header text is short and
// mostly ASCII: up to 16 bytes are two overlapping words.
std::size_t CopyAscii(const char* from, std::size_t size, char* to) {
  using convert::BytesBeforeMark;
  using convert::kHighBits;
  using convert::Word;
  if (size >= 8 && size <= 16) {
    Word head;
    Word last;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&last, from + size - 8, sizeof last);
    if (((head | last) & kHighBits) == 0) {
      std::memcpy(to, &head, sizeof head);
      std::memcpy(to + size - 8, &last, sizeof last);
      return size;
    }
  }
  const auto vector = simd::ActiveKernels().copyAsciiRun;
  if (vector != nullptr && size > 16) {
    return vector(reinterpret_cast<const unsigned char*>(from), size,
                  reinterpret_cast<unsigned char*>(to));
  }
  std::size_t i = 0;
  for (; size - i >= 8; i += 8) {
    Word w;
    std::memcpy(&w, from + i, sizeof w);
    std::memcpy(to + i, &w, sizeof w);
    const Word marks = w & kHighBits;
    if (marks != 0) return i + BytesBeforeMark(marks);
  }
  for (; i < size && static_cast<unsigned char>(from[i]) < 0x80; ++i) to[i] = from[i];
  return i;
}

// One pass over a list, its target fixed: text around words stored as it came, or cleaned
// into valid UTF-8.
template <bool kUtf8>
class ListParser {
 public:
  ListParser(const char* begin, const char* end, int target, MailList& mails)
      : end_(end),
        target_(target),
        mails_(mails),
        o_(mails.cursor()),
        limit_(mails.limit()),
        words_(end),
        lineStart_(begin) {}

  void run(const char* p) {
    const char* const end = end_;
    const char* pending = p;  // bytes of the open line not yet appended
    bool zero = false;        // whether the text holds a zero byte
    // Whether the next mark is likely near: after a "=" that starts no word or after a very
    // short word (text, or a hostile run of starts), where the first word's test finds it
    // without a call; after a word or a separator the vector search takes the range from the
    // start.
    bool near = false;
    while (p < end) {
      p = near ? FindMark(p, end, '=') : FindFarMark(p, end, '=');
      near = false;
      if (p == end) break;
      const unsigned char c = static_cast<unsigned char>(*p);
      if (c == kEndLine || c == kEndMail) {
        if (c == kEndLine && p + 1 < end && (p[1] == ' ' || p[1] == '\t')) {
          // A folded header: the item that starts with white space continues this line, read
          // as if the separator were the line end it stands for (which unfolding removes).
          if (runOpen_ && OnlyFoldingWhite(pending, p)) {
            if (gap_ == nullptr) gap_ = pending;  // white space that may yet go
          } else {
            endRun(pending, p);
          }
          pending = ++p;
          continue;
        }
        endRun(pending, p);
        // No room for more lines: the open mail is lost.
        if (!mails_.endLineAt(o_, holdsField_)) break;
        if (c == kEndMail) mails_.endMail();
        pending = ++p;
        lineStart_ = p;
        holdsField_ = false;
      } else if (c == '=' && end - p >= 2 && p[1] == '?') {
        const bool taken = kUtf8 ? words_.findMailWord(p, word_) : words_.find(p, word_);
        if (__builtin_expect(!taken, 0)) {
          // A start that is no word stays as text, and so do the starts after it that are
          // known to be none.
          p = pastStarts(p);
          near = true;
          continue;
        }
        addWord(pending, p, word_);
        p += word_.length;
        pending = p;
        // A word this short is no mail program's: the words close after it are likely as short.
        near = word_.length < 16;
        if (!kUtf8 && __builtin_expect(near, 0)) p = pending = shortWords(p);
      } else {
        // 0x00, 0x03, or a "=" without "?" after it: it stays as text, and so does what follows.
        zero |= c == 0;
        near = true;
        ++p;
      }
    }
    mails_.setCursor(o_);
    mails_.dropOpenMail();
    // Every byte of text passed the search above or the look at a run of starts, and decoded
    // words hold no zero byte.
    if (!zero && !zeroInStarts_) mails_.setZeroFree();
  }

 private:
  // Copies are done a 32-byte block at a time, the last block running past the piece. The
  // room after the cursor always holds every byte of the list not yet stored and a block, so
  // text of the list is copied without a check; what is written from elsewhere (a run's text,
  // cleaned text) makes room for itself and for that first.
  static constexpr std::size_t kBlock = 32;

  // Room for size bytes, then the list's bytes from unread on and a block.
  void room(std::size_t size, const char* unread) {
    const std::size_t wanted = size + static_cast<std::size_t>(end_ - unread) + kBlock;
    if (static_cast<std::size_t>(limit_ - o_) < wanted) grow(wanted);
  }
  __attribute__((noinline)) void grow(std::size_t size) {
    mails_.setCursor(o_);
    mails_.makeRoom(size);
    o_ = mails_.cursor();
    limit_ = mails_.limit();
  }

  // Appends the list's bytes [from, from + size), none of them stored before.
  void put(const char* from, std::size_t size) {
    char* const o = o_;  // held here: the bytes written could be any object's
    if (static_cast<std::size_t>(end_ - from) >= size + kBlock) {
      // The first block whatever the size (the room holds it): most pieces fit in it.
      std::memcpy(o, from, kBlock / 2);  // two moves of a register's width
      std::memcpy(o + kBlock / 2, from + kBlock / 2, kBlock / 2);
      for (std::size_t i = kBlock; i < size; i += kBlock) {
        std::memcpy(o + i, from + i, kBlock / 2);
        std::memcpy(o + i + kBlock / 2, from + i + kBlock / 2, kBlock / 2);
      }
    } else if (size != 0) {
      std::memcpy(o, from, size);
    }
    o_ = o + size;
  }
  // Appends bytes from outside the list; the list is read on from unread.
  void putOutside(const std::string& bytes, const char* unread) {
    room(bytes.size(), unread);
    if (!bytes.empty()) std::memcpy(o_, bytes.data(), bytes.size());
    o_ += bytes.size();
  }

  // After a start that is no word at p: where the text goes on, the starts that the scanner
  // knows to be none as well passed over (a run of them costs a few tests each).
  __attribute__((noinline)) const char* pastStarts(const char* p) {
    const char* const next = words_.nextCandidate(p, kUtf8);
    if (!zeroInStarts_ && std::memchr(p, 0, static_cast<std::size_t>(next - p)) != nullptr) {
      zeroInStarts_ = true;
    }
    return next;
  }

  // Adds the word at p, with the text [pending, p) before it, to the open run or to a new one.
  void addWord(const char* pending, const char* p, const EncodedWordScanner::Word& word) {
    if (!runOpen_ || !OnlyFoldingWhite(pending, p)) {
      // Any text but white space ends the run before it; a run that decoded to nothing
      // (words too short to hold a byte) has nothing to convert.
      runOpen_ = runOpen_ && !runBytes_.empty();
      endRun(pending, p);
    } else {
      // White space between two words goes, whatever their encodings.
      if (runEncoding_ != word.encoding) flushRun(pending);  // the run is open
      gap_ = nullptr;
    }
    runOpen_ = true;
    runEncoding_ = word.encoding;
    runBytes_.add(word.payload, word.payloadSize, word.q);
  }

  // After a very short word, p right after it: the words of no fields that follow it closely
  // (a hostile run of "=?=?=") taken in turn, each with the text before it. Returns where the
  // list is read on, its text not yet appended.
  __attribute__((noinline)) const char* shortWords(const char* p) {
    const char* start = FindMark(p, end_, '=');
    for (;;) {
      if (end_ - start < 2 || start[0] != '=' || start[1] != '?') return p;
      EncodedWordScanner::Word word;
      if (!words_.findFieldless(start, word)) return p;
      addWord(p, start, word);
      p = start + word.length;
      // The next mark is mostly among the eight bytes that the close was found in: taken from
      // them, the search waits for no load of its own.
      start = MarkAfter(word.payload, p);
      if (start == nullptr) start = FindMark(p, end_, '=');
    }
  }

  // Converts the open run of words into the target at the end of the line, and closes it.
  __attribute__((noinline)) void flushRun(const char* unread) {
    // Most runs convert in one pass straight into the list, when its room has twice the run's
    // size to spare (it grows only for what the run's text turns out to need).
    const std::size_t size = runBytes_.size();
    char* done = o_;  // an empty run writes nothing
    const bool plain = HasPlainPath(runEncoding_, kUtf8);
    const bool roomy = static_cast<std::size_t>(limit_ - o_) >=
                       2 * size + static_cast<std::size_t>(end_ - unread) + kBlock;
    if (size != 0) {
      done = plain && roomy ? WritePlainMailText(runEncoding_, runBytes_.data(), size, target_, o_)
                            : nullptr;
    }
    if (done != nullptr) {
      o_ = done;
    } else {
      converted_.clear();
      // The one-pass path is not tried twice.
      if (plain && !roomy) {
        ConvertMailText(runEncoding_, runBytes_.data(), size, target_, converted_, scratch_);
      } else {
        ConvertOtherMailText(runEncoding_, runBytes_.data(), size, target_, converted_, scratch_);
      }
      putOutside(converted_, unread);
    }
    runBytes_.clear();
    runOpen_ = false;
  }

  // The white space of earlier items of a folded line up to to, their separators left out.
  __attribute__((noinline)) void putGap(const char* to) {
    room(static_cast<std::size_t>(to - gap_), to);
    for (const char* g = gap_; g < to; ++g) {
      if (*g != static_cast<char>(kEndLine)) *o_++ = *g;
    }
    gap_ = nullptr;
  }

  // Ends the open run with the text [from, to) after it: the run, the white space kept after
  // it, then the text.
  void endRun(const char* from, const char* to) {
    if (runOpen_) flushRun(from);
    if (gap_ != nullptr) putGap(from);
    appendText(from, to);
  }

  void appendText(const char* from, const char* to) {
    const auto size = static_cast<std::size_t>(to - from);
    if (from == lineStart_) {
      // The text a line starts with is stored as it stands (cleaning into UTF-8 changes no
      // ASCII byte), so a ": " in its first bytes is one of the stored line: found here, where
      // the bytes are in the request, the stored line need not be searched again.
      holdsField_ = NearFieldSeparator(from, size);
    }
    if (!kUtf8) {
      put(from, size);
      return;
    }
    const std::size_t ascii = CopyAscii(from, size, o_);
    o_ += ascii;
    if (ascii != size) putClean(from + ascii, to);
  }
  __attribute__((noinline)) void putClean(const char* from, const char* to) {
    converted_.clear();
    AppendCleanUtf8(from, static_cast<std::size_t>(to - from), converted_);
    putOutside(converted_, to);
  }

  // Whether the size bytes at line hold ": " where a field name ends: in their first 33. A
  // name of up to 15 bytes is seen in two pairs of words read from the list (bytes past size
  // may be read, never counted), without a loop over the bytes.
  bool NearFieldSeparator(const char* line, std::size_t size) const {
    if (size >= 2 && end_ - line >= 17) {
      const std::size_t places = size - 1;  // where a ": " can start
      const std::uint64_t first = FieldSeparators(line);
      if (first != 0) return convert::BytesBeforeMark(first) < places;
      if (places <= 8) return false;
      const std::uint64_t second = FieldSeparators(line + 8);
      if (second != 0) return 8 + convert::BytesBeforeMark(second) < places;
      if (places <= 16) return false;
    }
    return FarFieldSeparator(line, size);
  }
  // 0x80 in each of the eight places at p where ": " starts.
  static std::uint64_t FieldSeparators(const char* p) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    std::uint64_t here;
    std::uint64_t next;
    std::memcpy(&here, p, sizeof here);
    std::memcpy(&next, p + 1, sizeof next);
    return ZeroBytes(here ^ (kOnes * ':')) & ZeroBytes(next ^ (kOnes * ' '));
  }
  __attribute__((noinline)) static bool FarFieldSeparator(const char* line, std::size_t size) {
    constexpr std::size_t kNear = 33;
    return MailList::HoldsFieldSeparator(line, size < kNear ? size : kNear);
  }

  const char* const end_;
  const int target_;
  MailList& mails_;
  // The list's write cursor and the end of its room, kept here while text is appended.
  char* o_;
  char* limit_;
  EncodedWordScanner words_;
  EncodedWordScanner::Word word_;
  const char* lineStart_;
  bool holdsField_ = false;
  bool zeroInStarts_ = false;  // whether text passed over by pastStarts holds a zero byte
  // The decoded bytes of adjacent words of one encoding, waiting for what ends the run: so a
  // character split across two words survives.
  bool runOpen_ = false;
  Encoding runEncoding_ = Encoding::kNone;
  WordBytes runBytes_;
  // Where the white space of earlier items of a folded line starts, after the open run (or
  // null): it goes if a word of the run follows, and is stored before anything else.
  const char* gap_ = nullptr;
  std::string converted_;  // a run's text in the target, on its way to the line
  std::string scratch_;
};

}  // namespace

void ParseMailList(const char* text, std::size_t size, int target, MailList& mails) {
  mails.clear();
  if (text == nullptr || size == 0) return;
  const char* const end = text + size;
  const char* const p = SkipFoldingSpace(text, end);
  // Decoded words are seldom longer than their encoded form; a block's room goes after them.
  mails.reserve(static_cast<std::size_t>(end - p) + 64);
  // Into UTF-8 every word is read as mail programs read it, and the text around words is
  // cleaned to valid UTF-8; into the Japanese targets the text around words stays as it came.
  if (target == kCharsetUtf8) {
    ListParser<true>(p, end, target, mails).run(p);
  } else {
    ListParser<false>(p, end, target, mails).run(p);
  }
}

}  // namespace quillet
