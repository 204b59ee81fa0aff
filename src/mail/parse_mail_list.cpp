#include "mail/parse_mail_list.h"

#include <string>

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

// The decoded bytes of adjacent words of one encoding, waiting for what ends the run: so a
// character split across two words survives.
class WordRun {
 public:
  explicit WordRun(int target) : target_(target) {}

  bool open() const { return open_; }
  Encoding encoding() const { return encoding_; }

  void add(const EncodedWordScanner::Word& word) {
    open_ = true;
    encoding_ = word.encoding;
    bytes_.add(word.payload, word.payloadSize, word.q);
  }

  // Converts the run into the target at the end of out and starts an empty one.
  void flush(std::string& out) {
    if (!open_) return;
    ConvertMailText(encoding_, bytes_.data(), bytes_.size(), target_, out, scratch_);
    bytes_.clear();
    open_ = false;
  }

 private:
  int target_;
  bool open_ = false;
  Encoding encoding_ = Encoding::kNone;
  WordBytes bytes_;
  std::string scratch_;
};

}  // namespace

void ParseMailList(const char* text, std::size_t size, int target, MailList& mails) {
  mails.clear();
  if (text == nullptr || size == 0) return;
  const char* const end = text + size;
  const char* p = SkipFoldingSpace(text, end);

  // Decoded words are seldom longer than their encoded form.
  mails.reserve(static_cast<std::size_t>(end - p));
  // Into UTF-8 every word is read as mail programs read it, and the text around words is
  // cleaned to valid UTF-8; into the Japanese targets the text around words stays as it came.
  const bool utf8 = target == kCharsetUtf8;
  std::string& out = mails.lineOutput();
  // The text a line starts with is stored as it stands (cleaning into UTF-8 changes no ASCII
  // byte), so a ": " in its first bytes is one of the stored line: found here, where the bytes
  // are in the request, the stored line need not be searched again.
  const char* lineStart = p;
  bool holdsField = false;
  const auto appendText = [&](const char* from, const char* to) {
    if (from == lineStart) {
      constexpr std::ptrdiff_t kNear = 33;  // the ": " of a field name
      holdsField = MailList::HoldsFieldSeparator(
          from, static_cast<std::size_t>(to - from < kNear ? to - from : kNear));
    }
    if (utf8) {
      AppendCleanUtf8(from, static_cast<std::size_t>(to - from), out);
    } else {
      mails.append(from, static_cast<std::size_t>(to - from));
    }
  };

  EncodedWordScanner words(end);
  EncodedWordScanner::Word word;
  WordRun run(target);
  const char* pending = p;  // bytes of the open line not yet appended
  bool zero = false;        // whether the text holds a zero byte
  // White space of earlier items of a folded line, after the open run: it goes if a word of
  // the run follows, and is appended before anything else.
  std::string gap;
  const auto endRun = [&](const char* to) {
    run.flush(out);
    if (!gap.empty()) {
      out += gap;
      gap.clear();
    }
    appendText(pending, to);
  };
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
    if (c == kEndLine && p + 1 < end && (p[1] == ' ' || p[1] == '\t')) {
      // A folded header: the item that starts with white space continues this line, read as
      // if the separator were the line end it stands for (which unfolding removes).
      if (run.open() && OnlyFoldingWhite(pending, p)) {
        gap.append(pending, static_cast<std::size_t>(p - pending));
      } else {
        endRun(p);
      }
      pending = ++p;
    } else if (c == kEndLine || c == kEndMail) {
      endRun(p);
      if (!mails.endLine(holdsField)) break;  // no room for more lines: the open mail is lost
      if (c == kEndMail) mails.endMail();
      pending = ++p;
      lineStart = p;
      holdsField = false;
    } else if (c == '=' && (utf8 ? words.findMailWord(p, word) : words.find(p, word))) {
      if (!run.open() || !OnlyFoldingWhite(pending, p)) {
        endRun(p);  // any text but white space ends the run before it
      } else {
        // White space between two words goes, whatever their encodings.
        if (run.encoding() != word.encoding) run.flush(out);
        gap.clear();
      }
      run.add(word);
      p += word.length;
      pending = p;
      near = word.length < 16;  // a word this short is no mail program's
    } else {
      // 0x00, 0x03, or a "=" that starts no word: it stays as text, and so does what follows.
      zero |= c == 0;
      near = true;
      ++p;
    }
  }
  mails.dropOpenMail();
  // Every byte of text passed the search above, and decoded words hold no zero byte.
  if (!zero) mails.setZeroFree();
}

}  // namespace quillet
