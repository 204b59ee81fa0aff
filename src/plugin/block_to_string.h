// BlockToString: takes the text out of a block that the host passed in.
#pragma once

#include <string>

#include "plugin/global_memory.h"

namespace quillet {

// Appends exactly length bytes of the block (zero bytes included) to text and releases the
// block. A null block or a length of 0 or less is neither read nor released: false. A block
// that cannot be locked is not released either: false. When the copy cannot be made for lack
// of memory, the block, which is ours by then, is released all the same: false.
bool BlockToString(HGLOBAL block, long length, std::string& text);

}  // namespace quillet
