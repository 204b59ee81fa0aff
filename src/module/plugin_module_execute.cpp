// EXECUTE: the mail header list of Argument2 parsed into the module's mails, the template of
// Argument0 filled for every mail, the texts joined with the separator of Argument1, and the
// answer given in Result and Charset.
#include <cstring>
#include <string_view>

#include "common/add_product.h"
#include "common/charset_code_of.h"
#include "mail/decode_encoded_word.h"
#include "mail/expand_template.h"
#include "mail/find_header_value.h"
#include "mail/parse_mail_list.h"
#include "mail/remove_crlf_pairs.h"
#include "mail/word_charset.h"
#include "module/plugin_module.h"
#include "protocol/saori_message.h"

namespace quillet {
namespace {

constexpr int kOk = 200;
constexpr int kBadRequest = 400;

constexpr char kResultPrefix[] = "Result: ";
constexpr std::size_t kResultPrefixLength = sizeof kResultPrefix - 1;

// The Result line, which becomes the whole response in the end.
//
// The joined text of every mail's filled template is written straight into one string that
// starts with room for the status line, then "Result: ". That string is moved into the
// response message as its Result line, and serializeAndClear then writes the whole response
// (status line in the room in front, Charset line and blank line behind) in the memory of its
// longest added line when that line's capacity holds the whole text. So the line always keeps
// `tail` bytes free behind its text, and a long answer is held once, not twice, and not moved.
//
// Room is made ahead. Each time the line is full it grows by at least half of what it has, so
// copies stay linear. Once kSample mails are in, the mails still to come are projected at the
// average size of those filled so far, with a margin of an eighth of that projection and its
// share per mail filled (which shrinks as the sample grows): a list's mails are mostly alike,
// so a large line is seldom copied and never holds much more than it needs. Room never exceeds
// what the list can give at the most (each placeholder of each mail stands for a value inside
// that mail's own lines), plus the tail.
class ResultLine {
 public:
  ResultLine(const TemplatePlan& plan, const MailList& mails, std::size_t separator,
             std::size_t front, std::size_t tail)
      : count_(mails.size()), tail_(tail), start_(front + kResultPrefixLength), used_(start_) {
    const std::size_t texts = AddProduct(start_, count_, plan.textLength());
    const std::size_t separators = AddProduct(texts, count_ == 0 ? 0 : count_ - 1, separator);
    most_ = AddProduct(AddProduct(separators, plan.placeholderCount(), mails.textSize()), 1, tail);
    line_.assign(front, ' ');
    line_ += kResultPrefix;
  }

  // Room for `need` more bytes at mail `index` (0-based), and the tail behind them; returns
  // where those bytes go, to be written through a pointer with no growth check per piece. The
  // string's bytes past used_ are room, not text: they are made (and filled with zeros) a block
  // at a time, not once per mail; a block of a few mails, small enough that the mails' text
  // overwrites it while it is still in the first-level cache. The TemplatePlan::kSlack bytes
  // after the need, which a filled template may change, lie in the tail's memory where room
  // ends (the tail is longer), so they never make the line grow.
  char* makeRoom(std::size_t index, std::size_t need) {
    constexpr std::size_t kSlack = TemplatePlan::kSlack;
    const std::size_t filled = AddProduct(used_, 1, need);
    const std::size_t reach = AddProduct(filled, 1, kSlack);
    if (line_.size() < reach) {
      findCr();
      const std::size_t least = AddProduct(filled, 1, tail_);
      if (line_.capacity() < least) grow(index, filled, least);
      constexpr std::size_t kBlock = 2 * 1024;  // a dozen mails of the usual kind
      const std::size_t ahead = AddProduct(used_, 1, kBlock);
      const std::size_t size = ahead > reach ? ahead : reach;
      const std::size_t most = line_.capacity() - tail_ + kSlack;
      line_.resize(size < most ? size : most);
    }
    return &line_[used_];
  }
  // The bytes written since makeRoom end at `end`.
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - line_.data()); }

  std::string& text() {
    findCr();
    line_.resize(used_);
    return line_;
  }
  // Where the text's first CR is, or std::string::npos.
  std::size_t firstCr() const { return firstCr_; }

 private:
  void grow(std::size_t index, std::size_t filled, std::size_t least) {
    constexpr std::size_t kSample = 16;  // mails filled before the average is trusted
    // In floating point, so that neither the average nor the product with the mails to come
    // is cut short or overflows; only the final room is a size again.
    double room = static_cast<double>(line_.capacity()) * 1.5;
    if (index >= kSample) {
      const double mailsIn = static_cast<double>(index + 1);
      const double done = static_cast<double>(filled - start_);
      const double rest = done / mailsIn * static_cast<double>(count_ - index - 1);
      const double projected = static_cast<double>(least) + rest + rest / 8 + rest / mailsIn;
      if (projected > room) room = projected;
    }
    if (room > static_cast<double>(most_)) room = static_cast<double>(most_);
    const std::size_t wanted = static_cast<std::size_t>(room);
    line_.reserve(wanted > least ? wanted : least);
  }

  // Looks for a CR in the text written since the last look, while it is still in the cache:
  // a block at a time, not once per mail and not once over a long answer at the end.
  void findCr() {
    if (firstCr_ != std::string::npos || checked_ >= used_) return;
    const void* const cr = std::memchr(line_.data() + checked_, '\r', used_ - checked_);
    checked_ = used_;
    if (cr != nullptr)
      firstCr_ = static_cast<std::size_t>(static_cast<const char*>(cr) - line_.data());
  }

  std::size_t count_;
  std::size_t tail_;
  std::size_t start_;  // where the text of the mails starts: behind the front room and prefix
  std::size_t used_;
  std::size_t most_ = 0;
  std::size_t checked_ = start_;  // the text before it holds no CR, or firstCr_ is found
  std::size_t firstCr_ = std::string::npos;
  std::string line_;
};

}  // namespace

void PluginModule::execute(int& status, SaoriMessage& requestMessage,
                           SaoriMessage& responseMessage) {
  responseMessage.clear();

  std::string charset;
  if (requestMessage.findHeader("Charset", charset, 0) < 0) charset = "Shift_JIS";
  const int target = CharsetCodeOf(charset);

  // The long values are read where they stand in the request message, not copied out.
  std::string_view list;
  const std::int32_t listLine = requestMessage.findHeaderValue("Argument2", list, 0);
  if (listLine < 0) {
    status = kBadRequest;
    return;
  }
  // The list is a header value, so its length already fits the 32 bits of a request.
  parseMailList(list.data(), static_cast<std::uint32_t>(list.size()), target);

  std::string_view templateText;
  std::string_view separator;
  const std::int32_t templateLine = requestMessage.findHeaderValue("Argument0", templateText, 0);
  if (templateLine < 0) {
    status = kBadRequest;  // the new mails stay all the same
    return;
  }
  const std::int32_t separatorLine = requestMessage.findHeaderValue("Argument1", separator, 0);
  if (separatorLine < 0) {
    status = kBadRequest;
    return;
  }
  // Read into UTF-8, the template and the separator lose their invalid sequences like the
  // text of the mails, so that Result is valid UTF-8 whatever the request holds.
  std::string cleanTemplate;
  std::string cleanSeparator;
  if (target == kCharsetUtf8) {
    AppendCleanUtf8(templateText.data(), templateText.size(), cleanTemplate);
    AppendCleanUtf8(separator.data(), separator.size(), cleanSeparator);
    templateText = cleanTemplate;
    separator = cleanSeparator;
  }

  // The template is read once; each mail then only fills it. The Result line keeps room behind
  // its text for the rest of the response (status line, Charset line, blank line), so that
  // the response can be written in its memory rather than in a second copy (see ResultLine).
  const TemplatePlan plan(templateText.data(), templateText.size());
  // The answer's status is known now, and so is what goes in front of the Result line (the
  // status line): the line leaves room of that size in front of its text, so that the
  // response is written around the text where it stands.
  responseMessage.setStatus(kOk);
  const std::size_t front = responseMessage.headSize(responseMessage.headerLines.size());
  const std::size_t tail = std::strlen(version) + charset.size() + 64;
  ResultLine result(plan, mails, separator.size(), front, tail);
  TemplatePlan::Fill fill;
  const std::size_t count = mails.size();
  // A short separator is copied 16 bytes at a time from a copy with zeros behind it: the room
  // holds TemplatePlan::kSlack bytes more than the need.
  constexpr std::size_t kSlack = TemplatePlan::kSlack;
  char paddedSeparator[kSlack] = {};
  const bool shortSeparator = separator.size() <= kSlack;
  if (shortSeparator) std::memcpy(paddedSeparator, separator.data(), separator.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t size = plan.measure(mails[i], fill);
    char* out = result.makeRoom(i, AddProduct(size, i == 0 ? 0 : 1, separator.size()));
    if (i != 0 && shortSeparator) {
      std::memcpy(out, paddedSeparator, kSlack);
      out += separator.size();
    } else if (i != 0) {
      out = CopyShortBytes(out, separator.data(), separator.size());
    }
    result.commit(plan.write(fill, out));
  }
  std::string& line = result.text();
  // A CR LF out of a mail would end the Result line early and let the mail write lines of the
  // response of its own; so each such pair goes, and the answer keeps its two lines. The room
  // in front and the prefix "Result: " hold neither CR nor LF, so they take no part in this.
  // No zero byte can be in the line: the values read from the request end before their first
  // one, and the words of the mails leave none in the text they decode.
  RemoveCrLfPairs(line, result.firstCr());

  // The line addHeader("Result", ...) would add, without copying the text once more.
  responseMessage.headerLines.push_back(std::move(line), front);
  responseMessage.addHeader("Charset", charset.c_str());
  status = kOk;
}

bool PluginModule::parseMailList(const char* text, std::uint32_t length, int target) {
  ParseMailList(text, length, target, mails);
  return true;
}

std::size_t PluginModule::decodeEncodedWord(const char* p, const char* end, int target,
                                            std::string& out) {
  return DecodeEncodedWord(p, end, target, out);
}

int PluginModule::findHeaderValue(const Mail& mail, const char* name, std::string& value) {
  std::string_view found;
  const int index = FindHeaderValue(mail, name, found);
  if (index >= 0) value.assign(found.data(), found.size());
  return index;
}

void PluginModule::expandTemplate(const Mail& mail, const std::string& templateText,
                                  std::string& result) {
  ExpandTemplate(mail, templateText.data(), templateText.size(), result);
}

}  // namespace quillet
