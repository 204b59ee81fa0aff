#include "mail/parse_mail_list_utf8.h"

#include <string>

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

// The decoded bytes of the words that follow each other in one charset, waiting for the word
// that ends the run.
class WordRun {
 public:
  bool open() const { return open_; }
  WordCharset charset() const { return charset_; }

  void add(const EncodedWordScanner::Word& word) {
    open_ = true;
    charset_ = static_cast<WordCharset>(word.code);
    DecodeMailWordText(word, bytes_);
  }

  // Converts the run to UTF-8 at the end of out and starts an empty one.
  void flush(std::string& out) {
    if (!open_) return;
    ConvertWordText(charset_, bytes_, out);
    bytes_.clear();
    open_ = false;
  }

 private:
  bool open_ = false;
  WordCharset charset_ = kWordUnknown;
  std::string bytes_;
};

}  // namespace

void ParseMailListUtf8(const char* p, const char* end, MailList& mails) {
  EncodedWordScanner words(end);
  EncodedWordScanner::Word word;
  WordRun run;
  std::string& out = mails.lineOutput();
  const char* text = p;  // bytes of the open line not yet appended
  while (p < end) {
    p = FindMark(p, end, '=');
    if (p == end) break;
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == kEndLine || c == kEndMail) {
      run.flush(out);
      AppendCleanUtf8(text, static_cast<std::size_t>(p - text), out);
      if (!mails.endLine()) break;  // no room for more lines: the open mail is lost
      if (c == kEndMail) mails.endMail();
      text = ++p;
    } else if (c == '=' && words.findMailWord(p, word)) {
      // White space between two words goes; any other text ends the run of words before it.
      if (!run.open() || !OnlyFoldingWhite(text, p)) {
        run.flush(out);
        AppendCleanUtf8(text, static_cast<std::size_t>(p - text), out);
      } else if (run.charset() != word.code) {
        run.flush(out);
      }
      run.add(word);
      p += word.length;
      text = p;
    } else {
      // 0x00, 0x03, or a "=" that starts no word: it stays as text, and so does what follows.
      ++p;
    }
  }
  mails.dropOpenMail();
}

}  // namespace quillet
