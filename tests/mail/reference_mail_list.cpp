#include "reference_mail_list.h"

#include <vector>

#include "common/charset_code_of.h"
#include "jtext/base64.h"
#include "jtext/convert_charset.h"

namespace quillet {
namespace reference {
namespace {

char At(const std::string& text, std::size_t i) {
  return i < text.size() ? text[i] : '\0';
}

}  // namespace

std::size_t DecodeWord(const std::string& text, std::size_t p, int target, std::string& out) {
  if (At(text, p) != '=' || At(text, p + 1) != '?') return 0;
  std::vector<std::string> fields;
  std::string field;
  for (std::size_t q = p + 2; q < text.size(); ++q) {
    const char c = text[q];
    if (c == '\x01' || c == '\x02') return 0;
    if (c != '?') {
      field += c;
      continue;
    }
    if (At(text, q + 1) != '=') {
      fields.push_back(field);
      field.clear();
      continue;
    }
    // Closed: field holds the payload.
    if (fields.size() >= 2 && !(fields[1].empty() || fields[1] == "B" || fields[1] == "b")) {
      return 0;
    }
    const int code = fields.empty() ? 0 : CharsetCodeOf(fields[0].substr(0, fields[0].find('*')));
    std::string decoded;
    DecodeBase64(field, decoded);
    ConvertCharset(code, decoded, target, out);
    return q + 2 - p;
  }
  return 0;
}

testing_support::Mails ParseList(const std::string& text, int target) {
  std::size_t p = 0;
  while (p < text.size()) {
    const char c = text[p];
    if (c == ' ' || c == '\t') {
      ++p;
    } else if (c == '\r' && At(text, p + 1) == '\n' &&
               (At(text, p + 2) == ' ' || At(text, p + 2) == '\t')) {
      p += 3;
    } else {
      break;
    }
  }
  testing_support::Mails mails;
  testing_support::Lines mail;
  std::string line;
  while (p < text.size()) {
    const char c = text[p];
    if (c == '\x01' || c == '\x02') {
      mail.push_back(line);
      line.clear();
      if (c == '\x02') {
        mails.push_back(mail);
        mail.clear();
      }
      ++p;
      continue;
    }
    std::string word;
    const std::size_t n = DecodeWord(text, p, target, word);
    if (n > 0) {
      line += word;
      p += n;
    } else {
      line += c;
      ++p;
    }
  }
  return mails;
}

}  // namespace reference
}  // namespace quillet
