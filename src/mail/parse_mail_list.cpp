#include "mail/parse_mail_list.h"

#include <cstring>
#include <string>

#include "codec/convert_support.h"
#include "common/charset_code_of.h"
#include "common/folding_space_length.h"
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
      : end_(end), target_(target), mails_(mails), words_(end), lineStart_(begin) {}

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
        if (!mails_.endLine(holdsField_)) break;  // no room for more lines: the open mail is lost
        if (c == kEndMail) mails_.endMail();
        pending = ++p;
        lineStart_ = p;
        holdsField_ = false;
      } else if (c == '=' && end - p >= 2 && p[1] == '?' &&
                 (kUtf8 ? words_.findMailWord(p, word_) : words_.find(p, word_))) {
        if (!runOpen_ || !OnlyFoldingWhite(pending, p)) {
          endRun(pending, p);  // any text but white space ends the run before it
        } else {
          // White space between two words goes, whatever their encodings.
          if (runEncoding_ != word_.encoding) flushRun();
          gap_ = nullptr;
        }
        runOpen_ = true;
        runEncoding_ = word_.encoding;
        runBytes_.add(word_.payload, word_.payloadSize, word_.q);
        p += word_.length;
        pending = p;
        near = word_.length < 16;  // a word this short is no mail program's
      } else {
        // 0x00, 0x03, or a "=" that starts no word: it stays as text, and so does what follows.
        zero |= c == 0;
        near = true;
        ++p;
      }
    }
    mails_.dropOpenMail();
    // Every byte of text passed the search above, and decoded words hold no zero byte.
    if (!zero) mails_.setZeroFree();
  }

 private:
  // Converts the open run of words into the target at the end of the line, and closes it.
  void flushRun() {
    if (!runOpen_) return;
    converted_.clear();
    ConvertMailText(runEncoding_, runBytes_.data(), runBytes_.size(), target_, converted_,
                    scratch_);
    mails_.append(converted_.data(), converted_.size());
    runBytes_.clear();
    runOpen_ = false;
  }

  // Ends the open run with the text [from, to) after it: the run, the white space kept after
  // it, then the text.
  void endRun(const char* from, const char* to) {
    flushRun();
    if (gap_ != nullptr) {
      // The white space of earlier items of a folded line, their separators left out.
      char* o = mails_.tail(static_cast<std::size_t>(from - gap_));
      const char* const start = o;
      for (const char* g = gap_; g < from; ++g) {
        if (*g != static_cast<char>(kEndLine)) *o++ = *g;
      }
      mails_.commit(static_cast<std::size_t>(o - start));
      gap_ = nullptr;
    }
    appendText(from, to);
  }

  void appendText(const char* from, const char* to) {
    const auto size = static_cast<std::size_t>(to - from);
    if (from == lineStart_) {
      // The text a line starts with is stored as it stands (cleaning into UTF-8 changes no
      // ASCII byte), so a ": " in its first bytes is one of the stored line: found here, where
      // the bytes are in the request, the stored line need not be searched again.
      constexpr std::size_t kNear = 33;  // the ": " of a field name
      holdsField_ = MailList::HoldsFieldSeparator(from, size < kNear ? size : kNear);
    }
    if (!kUtf8) {
      mails_.append(from, size);
      return;
    }
    const std::size_t ascii = CopyAscii(from, size, mails_.tail(size));
    mails_.commit(ascii);
    if (ascii != size) {
      converted_.clear();
      AppendCleanUtf8(from + ascii, size - ascii, converted_);
      mails_.append(converted_.data(), converted_.size());
    }
  }

  const char* const end_;
  const int target_;
  MailList& mails_;
  EncodedWordScanner words_;
  EncodedWordScanner::Word word_;
  const char* lineStart_;
  bool holdsField_ = false;
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
  // Decoded words are seldom longer than their encoded form.
  mails.reserve(static_cast<std::size_t>(end - p));
  // Into UTF-8 every word is read as mail programs read it, and the text around words is
  // cleaned to valid UTF-8; into the Japanese targets the text around words stays as it came.
  if (target == kCharsetUtf8) {
    ListParser<true>(p, end, target, mails).run(p);
  } else {
    ListParser<false>(p, end, target, mails).run(p);
  }
}

}  // namespace quillet
