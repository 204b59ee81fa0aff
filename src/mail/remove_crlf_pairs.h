// RemoveCrLfPairs: keeps mail text from breaking the line it is written into.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// Removes every CR that is directly followed by LF, together with that LF, and again where a
// removal brings a CR and an LF together, until no CR LF pair is left: "a" CR LF " b" becomes
// "a b", CR CR LF LF becomes nothing. A CR or LF on its own stays. One pass, in place.
void RemoveCrLfPairs(std::string& text);
// The same for text whose first CR is at firstCr (std::string::npos: it holds none).
void RemoveCrLfPairs(std::string& text, std::size_t firstCr);

}  // namespace quillet
