#include "mail/parse_mail_list.h"

#include "common/charset_code_of.h"
#include "common/folding_space_length.h"
#include "mail/decode_encoded_word.h"
#include "mail/find_mark.h"
#include "mail/parse_mail_list_utf8.h"

namespace quillet {
namespace {

constexpr unsigned char kEndLine = 0x01;
constexpr unsigned char kEndMail = 0x02;

}  // namespace

void ParseMailList(const char* text, std::size_t size, int target, MailList& mails) {
  mails.clear();
  if (text == nullptr || size == 0) return;
  const char* const end = text + size;
  const char* p = SkipFoldingSpace(text, end);

  // Decoded words are seldom longer than their encoded form.
  mails.reserve(static_cast<std::size_t>(end - p));
  if (target == kCharsetUtf8) {
    ParseMailListUtf8(p, end, mails);
    return;
  }
  EncodedWordScanner words(end);
  EncodedWordScanner::Word word;
  const char* run = p;  // plain bytes of the open line not yet appended
  while (p < end) {
    p = FindMark(p, end, '=');
    if (p == end) break;
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == kEndLine || c == kEndMail) {
      mails.append(run, static_cast<std::size_t>(p - run));
      if (!mails.endLine()) break;  // no room for more lines: the open mail is lost
      if (c == kEndMail) mails.endMail();
      run = ++p;
    } else if (c == '=' && words.find(p, word)) {
      mails.append(run, static_cast<std::size_t>(p - run));
      words.decode(word, target, mails.lineOutput());
      p += word.length;
      run = p;
    } else {
      // 0x00, 0x03, or a "=" that starts no word: it stays as text, and so does what follows.
      ++p;
    }
  }
  mails.dropOpenMail();
}

}  // namespace quillet
