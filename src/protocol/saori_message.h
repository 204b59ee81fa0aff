// SaoriMessage: a ProtocolMessage with the SAORI/1.0 status table.
#pragma once

#include "protocol/protocol_message.h"

namespace quillet {

class SaoriMessage : public ProtocolMessage {
 public:
  // A null version stands for "SAORI/1.0".
  explicit SaoriMessage(const char* version);
  ~SaoriMessage() override;
};

}  // namespace quillet
