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

// The decoded bytes of adjacent words that are read as mail programs read them, in one
// encoding, waiting for what ends the run: so a character split across two words survives.
class WordRun {
 public:
  explicit WordRun(int target) : target_(target) {}

  bool open() const { return open_; }
  Encoding encoding() const { return encoding_; }

  void add(const EncodedWordScanner::Word& word) {
    open_ = true;
    encoding_ = word.encoding;
    DecodeWordText(word, bytes_);
  }

  // Converts the run into the target at the end of out and starts an empty one.
  void flush(std::string& out) {
    if (!open_) return;
    ConvertMailText(encoding_, bytes_, target_, out, scratch_);
    bytes_.clear();
    open_ = false;
  }

 private:
  int target_;
  bool open_ = false;
  Encoding encoding_ = Encoding::kNone;
  std::string bytes_;
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
  const auto appendText = [&](const char* from, const char* to) {
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
  while (p < end) {
    p = FindMark(p, end, '=');
    if (p == end) break;
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == kEndLine || c == kEndMail) {
      run.flush(out);
      appendText(pending, p);
      if (!mails.endLine()) break;  // no room for more lines: the open mail is lost
      if (c == kEndMail) mails.endMail();
      pending = ++p;
    } else if (c == '=' && (utf8 ? words.findMailWord(p, word) : words.find(p, word))) {
      if (word.encoding == Encoding::kNone) {
        // A word read by its code stands on its own, with the text around it as it came.
        run.flush(out);
        appendText(pending, p);
        words.decode(word, target, out);
      } else if (!run.open() || !OnlyFoldingWhite(pending, p)) {
        // White space between two words of a run goes; any other text ends the run before it.
        run.flush(out);
        appendText(pending, p);
        run.add(word);
      } else {
        if (run.encoding() != word.encoding) run.flush(out);
        run.add(word);
      }
      p += word.length;
      pending = p;
    } else {
      // 0x00, 0x03, or a "=" that starts no word: it stays as text, and so does what follows.
      ++p;
    }
  }
  mails.dropOpenMail();
}

}  // namespace quillet
