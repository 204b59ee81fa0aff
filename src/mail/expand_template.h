// ExpandTemplate: the template of an EXECUTE request filled for one mail.
//
// The placeholders are "!From!", "!Subject!", "!Date!" and "!Content-Type!", ASCII case
// ignored; each stands for the value of that header field in the mail, or for nothing when the
// mail lacks it. Every other byte is copied, a "!" that begins no placeholder included. After a
// placeholder the scan goes on behind its closing "!", so "!From!Subject!" is the From value
// followed by "Subject!".
#pragma once

#include <cstddef>
#include <string>

#include "mail/mail_list.h"

namespace quillet {

// Appends the template [text, text + size) filled for mail to result. Each field is looked up
// at most once, however many placeholders ask for it.
void ExpandTemplate(const Mail& mail, const char* text, std::size_t size, std::string& result);

// How many bytes of the template are not placeholders: what every mail adds at the least.
std::size_t TemplateTextLength(const char* text, std::size_t size);

}  // namespace quillet
