// EXECUTE: the mail header list of Argument2 parsed into the module's mails, the template of
// Argument0 filled for every mail, the texts joined with the separator of Argument1, and the
// answer given in Result and Charset.
#include <limits>
#include <string_view>

#include "common/charset_code_of.h"
#include "mail/decode_encoded_word.h"
#include "mail/expand_template.h"
#include "mail/find_header_value.h"
#include "mail/parse_mail_list.h"
#include "mail/remove_crlf_pairs.h"
#include "module/plugin_module.h"
#include "protocol/saori_message.h"

namespace quillet {
namespace {

constexpr int kOk = 200;
constexpr int kBadRequest = 400;

// What the joined text of `mails` mails needs at the least: the template's own bytes for each
// mail and the separator between two of them. No reservation when that does not fit in memory.
std::size_t LeastResultSize(std::size_t mails, std::size_t templateText, std::size_t separator) {
  if (mails == 0) return 0;
  const std::size_t most = std::numeric_limits<std::size_t>::max() / 2;
  if (templateText != 0 && mails > most / templateText) return 0;
  const std::size_t texts = mails * templateText;
  if (separator != 0 && mails - 1 > (most - texts) / separator) return 0;
  return texts + (mails - 1) * separator;
}

}  // namespace

void PluginModule::execute(int& status, SaoriMessage& requestMessage,
                           SaoriMessage& responseMessage) {
  responseMessage.clear();

  std::string charset;
  if (requestMessage.findHeader("Charset", charset, 0) < 0) charset = "Shift_JIS";
  const int target = CharsetCodeOf(charset);

  std::string list;
  if (requestMessage.findHeader("Argument2", list, 0) < 0) {
    status = kBadRequest;
    return;
  }
  // The list is a header value, so its length already fits the 32 bits of a request.
  parseMailList(list.data(), static_cast<std::uint32_t>(list.size()), target);
  std::string().swap(list);

  std::string templateText;
  std::string separator;
  if (requestMessage.findHeader("Argument0", templateText, 0) < 0 ||
      requestMessage.findHeader("Argument1", separator, 0) < 0) {
    status = kBadRequest;  // the new mails stay all the same
    return;
  }

  // The template is read once; each mail then only fills it.
  const TemplatePlan plan(templateText.data(), templateText.size());
  std::string result;
  const std::size_t count = mails.size();
  const std::size_t least = LeastResultSize(count, plan.textLength(), separator.size());
  if (least < result.max_size()) result.reserve(least);
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) result += separator;
    plan.expand(mails[i], result);
  }
  // A CR LF out of a mail would end the Result line early and let the mail write lines of the
  // response of its own; so each such pair goes, and the answer keeps its two lines.
  RemoveCrLfPairs(result);

  responseMessage.addHeader("Result", result.c_str());
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
