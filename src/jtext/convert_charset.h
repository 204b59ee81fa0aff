// Conversion between ISO-2022-JP (code 0), Shift_JIS (1), EUC-JP (2) and UTF-8 (3), in every
// direction.
#pragma once

#include <cstddef>
#include <string>

#include "common/charset_code_of.h"

namespace quillet {

// One converter per source encoding, for the targets ConvertCharset gives it: another of the
// three legacy codes, or (ConvertFromUtf8) any of the four, UTF-8 itself included (ill-formed
// sequences replaced). ConvertFromJis also takes ISO-2022-JP itself, which it writes again with
// ESC $ B and ESC ( B only. ConvertToUtf8 takes the three legacy codes. Each appends.
void ConvertFromJis(const char* data, std::size_t size, CharsetCode target, std::string& output);
void ConvertFromSjis(const char* data, std::size_t size, CharsetCode target, std::string& output);
void ConvertFromEuc(const char* data, std::size_t size, CharsetCode target, std::string& output);
void ConvertFromUtf8(const char* data, std::size_t size, CharsetCode target, std::string& output);
void ConvertToUtf8(CharsetCode source, const char* data, std::size_t size, std::string& output);

// ConvertFromJis for text that may hold ISO-2022-JP-2's own sets, which only the reader into
// UTF-8 knows: at the first sequence of one it stops and returns false, with output as it was.
bool ConvertFromIso2022Jp(const char* data, std::size_t size, CharsetCode target,
                          std::string& output);

// The text of a word or two, as nearly every mail writes it, converted in one pass with none of
// the set-up that long or unusual text needs: true when it converted, false with output as it
// was for any other text or target. Neither takes a zero byte, so text they convert holds none.
constexpr std::size_t kPlainText = 256;  // the longest text they take
// ConvertFromJis into Shift_JIS or EUC-JP, for text of ESC $ B, ESC $ @, ESC ( B and ESC ( J,
// whole JIS X 0208 pairs, ASCII text but for SO and SI, and ESCs that start no sequence.
bool ConvertPlainJis(const char* data, std::size_t size, CharsetCode target, std::string& output);
// ConvertFromEuc into Shift_JIS, for text of ASCII but for ESC and double-byte characters.
bool ConvertPlainEuc(const char* data, std::size_t size, CharsetCode target, std::string& output);
// ConvertFromUtf8 into UTF-8, for well-formed text of ASCII, two- and three-byte characters
// that does not start with a byte order mark: appended as it is.
bool AppendPlainUtf8(const char* data, std::size_t size, std::string& output);
// The same paths writing at out, which has room for twice size bytes (kPlainRoom at most): the
// end of what they wrote, or null (the room's bytes left undefined) for text they do not take.
// IsPlainUtf8 tells whether AppendPlainUtf8 takes the text.
constexpr std::size_t kPlainRoom = 2 * kPlainText;
char* WritePlainJis(const char* data, std::size_t size, CharsetCode target, char* out);
char* WritePlainEuc(const char* data, std::size_t size, CharsetCode target, char* out);
bool IsPlainUtf8(const char* data, std::size_t size);

// Appends what a WritePlain path writes, by way of a buffer on the stack: false, and output as
// it was, for text it does not take.
using PlainWriter = char* (*)(const char*, std::size_t, CharsetCode, char*);
inline bool AppendWritten(PlainWriter write, const char* data, std::size_t size, CharsetCode target,
                          std::string& output) {
  char buffer[kPlainRoom];
  const char* const end = write(data, size, target, buffer);
  if (end == nullptr) return false;
  output.append(buffer, static_cast<std::size_t>(end - buffer));
  return true;
}

enum ConvertResult : int {
  kConverted = 0,      // converted text appended (UTF-8 to UTF-8 included)
  kUnknownSource = 1,  // source not 0..3: nothing appended
  kUnknownTarget = 2,  // target not 0..3: nothing appended
  kSameCode = 3,       // the same legacy code at both ends: input appended unchanged
};

// source and target may be any int: ConvertCharset is where codes are checked, source first.
ConvertResult ConvertCharset(int source, const char* data, std::size_t size, int target,
                             std::string& output);

inline ConvertResult ConvertCharset(int source, const std::string& input, int target,
                                    std::string& output) {
  return ConvertCharset(source, input.data(), input.size(), target, output);
}

}  // namespace quillet
