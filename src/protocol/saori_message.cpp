#include "protocol/saori_message.h"

#include <iterator>

namespace quillet {
namespace {

// The SAORI/1.0 status texts, in the order setStatus searches them: a three-digit code, one
// space, the reason phrase.
static constexpr const char* saoriStatusTexts[] = {
    "200 OK",
    "204 No Content",
    "210 Break",
    "310 Communicate",
    "311 Not Enough",
    "312 Advice",
    "400 Bad Request",
    "408 Request Timeout",
    "409 Conflict",
    "420 Refuse",
    "500 Internal Server Error",
    "501 Not Implemented",
    "510 Not Local IP",
    "511 In Black List",
};

}  // namespace

SaoriMessage::SaoriMessage(const char* version) {
  protocolVersion = version != nullptr ? version : "SAORI/1.0";
  statusTable.assign(std::begin(saoriStatusTexts), std::end(saoriStatusTexts));
}

SaoriMessage::~SaoriMessage() = default;

}  // namespace quillet
