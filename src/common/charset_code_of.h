// CharsetCodeOf: maps a charset name (the request's Charset header, an encoded word's
// charset field) to the code the converters understand.
#pragma once

#include <cstddef>
#include <string>

namespace quillet {

// 0 = anything unrecognised, read and written as ISO-2022-JP; 1 = Shift_JIS; 2 = EUC-JP;
// 3 = UTF-8.
enum CharsetCode : int { kCharsetJis = 0, kCharsetSjis = 1, kCharsetEuc = 2, kCharsetUtf8 = 3 };

// The name is first tried against "Shift_JIS", "SJIS", "EUC", "EUC-JP" and "UTF-8" in this
// order and matches a candidate when it is, ignoring ASCII case, the candidate or a leading
// part of it. So the empty name and "Shift" give 1, "EUC-" gives 2, "utf" gives 3. When none
// matches, the names hosts and mail programs also use for the three families ("CP932",
// "EUC_JP", "UTF8", ...) are taken whole, ignoring ASCII case. Anything else gives 0, so
// "ISO-2022-JP", "x-sjis" and "EUC-JP-MS" give 0.
CharsetCode CharsetCodeOf(const std::string& name);

// The same for the size bytes at name, which need no terminating NUL (a zero byte among them
// counts as the end of the name, as it does in a string).
CharsetCode CharsetCodeOf(const char* name, std::size_t size);

// The name the plug-in gives each code when it says which encoding it answers in:
// "ISO-2022-JP", "Shift_JIS", "EUC-JP" or "UTF-8".
const char* CanonicalCharsetName(CharsetCode code);

}  // namespace quillet
