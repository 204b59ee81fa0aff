// A deliberately plain second reading of the mail header list rules, kept to check the real
// parser against: every word start scans forward on its own, fields are cut into strings,
// lines are built byte by byte. Quadratic on hostile input; use it on small inputs only.
#pragma once

#include <cstddef>
#include <string>

#include "mail_test_support.h"

namespace quillet {
namespace reference {

std::size_t DecodeWord(const std::string& text, std::size_t p, int target, std::string& out);
testing_support::Mails ParseList(const std::string& text, int target);

}  // namespace reference
}  // namespace quillet
