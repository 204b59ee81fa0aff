// StringToBlock: hands a text to the host in a new block.
#pragma once

#include <string>

#include "plugin/global_memory.h"

namespace quillet {

// A new zero-filled block of text.size() + 1 bytes holding the text, so its last byte is zero;
// *length receives text.size(). When the block cannot be had (or its size cannot be told in a
// long): null, and *length is 0.
HGLOBAL StringToBlock(const std::string& text, long* length);

}  // namespace quillet
