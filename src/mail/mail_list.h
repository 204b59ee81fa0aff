// The parsed mail header list: mails in the order they were closed, each a sequence of header
// lines with their encoded words already decoded into the requested charset.
#pragma once

#include <string>
#include <vector>

namespace quillet {

using Mail = std::vector<std::string>;
using MailList = std::vector<Mail>;

}  // namespace quillet
