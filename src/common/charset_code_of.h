// CharsetCodeOf: maps a charset name (the request's Charset header, an encoded word's
// charset field) to the code the converters understand.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// 0 = anything unrecognised, read and written as ISO-2022-JP; 1 = Shift_JIS; 2 = EUC-JP.
enum CharsetCode : int { kCharsetJis = 0, kCharsetSjis = 1, kCharsetEuc = 2 };

// The name is tried against "Shift_JIS", "SJIS", "EUC" and "EUC-JP" in this order and matches
// a candidate when it is, ignoring ASCII case, the candidate or a leading part of it. So the
// empty name and "Shift" give 1, "EUC-" gives 2, "ISO-2022-JP" and "EUC-JP-MS" give 0.
int CharsetCodeOf(const std::string& name);

// The same for the size bytes at name, which need no terminating NUL (a zero byte among them
// counts as the end of the name, as it does in a string).
int CharsetCodeOf(const char* name, std::size_t size);

}  // namespace quillet
