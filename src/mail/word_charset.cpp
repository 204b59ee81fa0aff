#include "mail/word_charset.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "charsets/decode_to_utf8.h"
#include "common/zero_bytes.h"
#include "jtext/convert_charset.h"
#include "jtext/jis_escape.h"

namespace quillet {

Encoding WordEncodingOf(CharsetCode code, const char* name, std::size_t size) {
  switch (code) {
    case kCharsetSjis:
      return Encoding::kShiftJis;
    case kCharsetEuc:
      return Encoding::kEucJp;
    case kCharsetUtf8:
      return Encoding::kUtf8;
    default: {
      const Encoding encoding = EncodingOfLabel(name, size);
      return encoding == Encoding::kNone ? Encoding::kIso2022Jp : encoding;
    }
  }
}

namespace {

// Whether [p, p + size) holds a zero byte: a word's text is short, so it is read eight bytes at
// a time here rather than by a call.
bool HoldsZeroByte(const char* p, std::size_t size) {
  std::uint64_t block;
  if (size < 8) {
    for (std::size_t i = 0; i < size; ++i) {
      if (p[i] == 0) return true;
    }
    return false;
  }
  for (std::size_t i = 0; i + 8 < size; i += 8) {
    std::memcpy(&block, p + i, sizeof block);
    if (ZeroBytes(block) != 0) return true;
  }
  // The last eight bytes, which may overlap the block before them.
  std::memcpy(&block, p + size - 8, sizeof block);
  return ZeroBytes(block) != 0;
}

// A U+0000 that a word carries would cut the header value it stands in: it goes. In UTF-8, and
// in what the Japanese converters write, the zero byte stands for nothing else.
void RemoveZeroBytes(std::string& text, std::size_t from) {
  if (!HoldsZeroByte(text.data() + from, text.size() - from)) return;
  text.erase(std::remove(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), '\0'),
             text.end());
}

// Writes geta (two or three bytes) in place of every ESC of text. In Shift_JIS, EUC-JP and
// UTF-8 an ESC is never part of another character, so only the ESC itself changes.
void ReplaceEscapes(std::string& text, const char* geta, std::size_t getaSize) {
  if (std::memchr(text.data(), convert::kEsc, text.size()) == nullptr) return;
  const auto escapes =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), static_cast<char>(0x1B)));
  std::size_t from = text.size();
  text.resize(from + escapes * (getaSize - 1));
  // Back to front, so that each byte is moved once.
  std::size_t to = text.size();
  while (from > 0) {
    const char c = text[--from];
    if (c != 0x1B) {
      text[--to] = c;
      continue;
    }
    to -= getaSize;
    std::memcpy(&text[to], geta, getaSize);
  }
}

// Writes text at o with geta (two bytes) in place of every ESC, as ReplaceEscapes does; o has
// room for twice size bytes. Returns the end of what it wrote.
char* CopyReplacingEscapes(const char* data, std::size_t size, const char* geta, char* o) {
  for (std::size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (c == static_cast<char>(convert::kEsc)) {
      o[0] = geta[0];
      o[1] = geta[1];
      o += 2;
    } else {
      *o++ = c;
    }
  }
  return o;
}

// CopyReplacingEscapes at the end of out, which grows once by what the ESCs add.
void AppendReplacingEscapes(const char* data, std::size_t size, const char* geta,
                            std::string& out) {
  const auto escapes =
      static_cast<std::size_t>(std::count(data, data + size, static_cast<char>(convert::kEsc)));
  const std::size_t at = out.size();
  out.resize(at + size + escapes);
  CopyReplacingEscapes(data, size, geta, &out[at]);
}

// What a word's text holds beyond what the direct converters read as they should: a zero byte,
// an ESC. Words are short and most hold neither: one pass, eight bytes at a time.
struct Marks {
  bool zero = false;
  bool esc = false;
};

Marks MarksOf(const char* text, std::size_t size) {
  using namespace convert;
  constexpr Word kEscBytes = kEsc * kOnes;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  Marks marks;
  if (size < 8) {
    for (std::size_t i = 0; i < size; ++i) {
      marks.zero |= p[i] == 0;
      marks.esc |= p[i] == kEsc;
    }
    return marks;
  }
  Word zeros = 0;
  Word escapes = 0;
  const auto take = [&](const unsigned char* at) {
    const Word w = LoadWord(at);
    zeros |= ZeroBytes(w);
    escapes |= ZeroBytes(w ^ kEscBytes);
  };
  for (std::size_t i = 0; i + 8 < size; i += 8) take(p + i);
  take(p + size - 8);  // the last eight, which may overlap the block before them
  marks.zero = zeros != 0;
  marks.esc = escapes != 0;
  return marks;
}

}  // namespace

char* WritePlainMailText(Encoding encoding, const char* data, std::size_t size, int target,
                         char* out) {
  if (size > kPlainText) return nullptr;
  if (target == kCharsetUtf8) {
    if (encoding != Encoding::kUtf8 || !IsPlainUtf8(data, size)) return nullptr;
    if (size != 0) std::memcpy(out, data, size);
    return out + size;
  }
  const auto code = static_cast<CharsetCode>(target);
  if (encoding == Encoding::kIso2022Jp) return WritePlainJis(data, size, code, out);
  if (encoding != Encoding::kShiftJis && encoding != Encoding::kEucJp) return nullptr;
  if (encoding == Encoding::kEucJp && code == kCharsetSjis) {
    return WritePlainEuc(data, size, code, out);
  }
  // Text already in the target keeps its bytes but for ESCs; a zero byte is left to the full
  // path.
  const CharsetCode source = encoding == Encoding::kShiftJis ? kCharsetSjis : kCharsetEuc;
  if (source != code) return nullptr;
  const Marks marks = MarksOf(data, size);
  if (marks.zero) return nullptr;
  if (!marks.esc) {
    if (size != 0) std::memcpy(out, data, size);
    return out + size;
  }
  return CopyReplacingEscapes(data, size, source == kCharsetSjis ? "\x81\xAC" : "\xA2\xAE", out);
}

void ConvertMailText(Encoding encoding, const char* data, std::size_t size, int target,
                     std::string& out, std::string& scratch) {
  if (size == 0) return;
  if (HasPlainPath(encoding, target == kCharsetUtf8) && size <= kPlainText) {
    char buffer[kPlainRoom];
    const char* const end = WritePlainMailText(encoding, data, size, target, buffer);
    if (end != nullptr) {
      out.append(buffer, static_cast<std::size_t>(end - buffer));
      return;
    }
  }
  ConvertOtherMailText(encoding, data, size, target, out, scratch);
}

void ConvertOtherMailText(Encoding encoding, const char* data, std::size_t size, int target,
                          std::string& out, std::string& scratch) {
  if (size == 0) return;
  const std::size_t start = out.size();
  // Every reader but UTF-7's writes a zero byte only where the bytes hold one (a zero code unit
  // of UTF-16 or UTF-32 is zero bytes), so only such text is searched again once it is read:
  // the bytes, written long before, are read faster than the text just written.
  if (target == kCharsetUtf8) {
    DecodeToUtf8(encoding, data, size, out);
    if (encoding == Encoding::kUtf7 || HoldsZeroByte(data, size)) RemoveZeroBytes(out, start);
    return;
  }
  const auto code = static_cast<CharsetCode>(target);
  if (encoding == Encoding::kIso2022Jp) {
    // The reader of ISO-2022-JP takes every ESC itself; text in ISO-2022-JP-2's own sets goes
    // through UTF-8 below.
    if (ConvertFromIso2022Jp(data, size, code, out)) {
      if (HoldsZeroByte(data, size)) RemoveZeroBytes(out, start);
      return;
    }
  } else if (encoding == Encoding::kShiftJis || encoding == Encoding::kEucJp) {
    const Marks marks = MarksOf(data, size);
    const CharsetCode source = encoding == Encoding::kShiftJis ? kCharsetSjis : kCharsetEuc;
    // The direct converters copy what they do not read: an ESC goes before them. Text already
    // in the target is then written as it is.
    if (marks.esc) {
      const char* const geta = encoding == Encoding::kShiftJis ? "\x81\xAC" : "\xA2\xAE";
      if (source == code) {
        AppendReplacingEscapes(data, size, geta, out);
        if (marks.zero) RemoveZeroBytes(out, start);
        return;
      }
      scratch.clear();
      AppendReplacingEscapes(data, size, geta, scratch);
      data = scratch.data();
      size = scratch.size();
    }
    ConvertCharset(source, data, size, target, out);
    if (marks.zero) RemoveZeroBytes(out, start);
    return;
  }
  scratch.clear();
  DecodeToUtf8(encoding, data, size, scratch);
  // One pass tells what the text holds.
  const Marks marks = MarksOf(scratch.data(), scratch.size());
  if (marks.zero) RemoveZeroBytes(scratch, 0);
  if (marks.esc) ReplaceEscapes(scratch, "\xE3\x80\x93", 3);  // U+3013, the geta mark
  ConvertCharset(kCharsetUtf8, scratch, target, out);
}

namespace {

// The first byte in [p, end) at or above 0x80, or end; eight bytes at a time, the last eight
// overlapping the block before them.
const char* FirstNonAscii(const char* p, const char* end) {
  using namespace convert;
  const auto* const begin = reinterpret_cast<const unsigned char*>(p);
  const unsigned char* q = begin;
  const auto* const stop = reinterpret_cast<const unsigned char*>(end);
  if (stop - q >= 8) {
    for (; stop - q >= 8; q += 8) {
      const Word marks = LoadWord(q) & kHighBits;
      if (marks != 0) return p + (q - begin) + BytesBeforeMark(marks);
    }
    if (q == stop) return end;
    if (kLittleEndian) {
      // The bytes before q in the last eight were seen already: they are shifted out.
      const auto seen = static_cast<unsigned>(8 - (stop - q));
      const Word marks = (LoadWord(stop - 8) & kHighBits) >> (8 * seen);
      return marks != 0 ? p + (q - begin) + BytesBeforeMark(marks) : end;
    }
  }
  while (q < stop && *q < 0x80) ++q;
  return p + (q - begin);
}

}  // namespace

void AppendCleanUtf8(const char* data, std::size_t size, std::string& out) {
  // Header text around encoded words is nearly always ASCII, which needs no cleaning: only
  // what follows the first other byte goes through the converter.
  const char* const end = data + size;
  const char* const rest = FirstNonAscii(data, end);
  out.append(data, static_cast<std::size_t>(rest - data));
  if (rest != end) {
    ConvertCharset(kCharsetUtf8, rest, static_cast<std::size_t>(end - rest), kCharsetUtf8, out);
  }
}

}  // namespace quillet
