// Helpers shared by the three converters: the output cursor, the escape sequences, and
// word-at-a-time access to the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/zero_bytes.h"

namespace quillet {
namespace convert {

// The converters write through a cursor. Each works through its input in chunks and makes room
// for a chunk's worst case before it, so the output grows with what was written plus one chunk,
// never with the worst case of the whole input.
constexpr std::size_t kChunk = 16 * 1024;
// Room beyond a chunk's worst case: a character that starts inside the chunk and ends after
// it, the closing escape sequence, and the word stores below (up to 8 bytes past the cursor).
constexpr std::size_t kSlack = 64;

inline unsigned char* Storage(std::string& s) {
  return reinterpret_cast<unsigned char*>(&s[0]);
}

// The output of one conversion, appended to a string through a cursor. Most texts are one
// encoded word: they are written into a buffer on the stack and appended once at the end, since
// growing the string by their worst case would first fill that room with zeros (a string has
// no room that is not filled) and then cut it back. Text whose worst case outgrows the buffer
// moves into the string, which then grows by a chunk's worst case at a time.
class Output {
 public:
  // Room on the stack: the worst case of a word of a few hundred bytes, in any converter.
  static constexpr std::size_t kBuffer = 1024;

  // Appends to output. inputSize and perByte (the most bytes out per byte in) size the room
  // the string is given when the text moves into it; longer tells whether the text's output
  // usually runs longer than its input.
  Output(std::string& output, std::size_t inputSize, std::size_t perByte, bool longer)
      : output_(output),
        inputSize_(inputSize),
        perByte_(static_cast<unsigned char>(perByte)),
        longer_(longer) {}
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Where writing starts.
  unsigned char* Begin() { return buffer_; }

  // The cursor o, moved along with the storage, with at least room bytes writable at it.
  unsigned char* Room(unsigned char* o, std::size_t room) {
    return static_cast<std::size_t>(limit_ - o) >= room ? o : Grow(o, room);
  }

  // Room for text written in many small pieces: when the room runs out, room is made for a
  // chunk's worst case beyond them (the whole text's when it is shorter), so that the string
  // grows seldom.
  unsigned char* PieceRoom(unsigned char* o, std::size_t room) {
    if (static_cast<std::size_t>(limit_ - o) >= room) return o;
    return Grow(o, room + perByte_ * (inputSize_ < kChunk ? inputSize_ : kChunk));
  }

  // Appends what was written up to the cursor o.
  void Finish(unsigned char* o) {
    if (inString_) {
      output_.resize(static_cast<std::size_t>(o - Storage(output_)));
    } else {
      output_.append(reinterpret_cast<const char*>(buffer_), static_cast<std::size_t>(o - buffer_));
    }
  }

  // Leaves output as it was before the conversion.
  void Cancel() {
    if (inString_) output_.resize(before_);
  }

 private:
  // Out of the converters' loops: most texts never call it.
  __attribute__((noinline)) unsigned char* Grow(unsigned char* o, std::size_t room) {
    std::size_t used;
    if (inString_) {
      used = static_cast<std::size_t>(o - Storage(output_));
    } else {
      // Capacity is reserved once for what text usually needs: the input, with half as much
      // again for text that usually grows (escape sequences, widened kana, UTF-8). Text that
      // needs more makes the chunks grow the string geometrically.
      before_ = output_.size();
      const std::size_t free = output_.max_size() - before_ - kSlack;
      if (inputSize_ <= free / 2) {
        const std::size_t usual = longer_ ? inputSize_ + inputSize_ / 2 : inputSize_;
        const std::size_t wanted = before_ + usual + kSlack;
        if (output_.capacity() < wanted) output_.reserve(wanted);
      }
      used = before_;
    }
    const std::size_t written = inString_ ? 0 : static_cast<std::size_t>(o - buffer_);
    if (output_.size() - used < written + room) output_.resize(used + written + room);
    unsigned char* const at = Storage(output_) + used;
    if (!inString_) {
      if (written != 0) std::memcpy(at, buffer_, written);
      inString_ = true;
    }
    limit_ = Storage(output_) + output_.size();
    return at + written;
  }

  std::string& output_;
  unsigned char* limit_ = buffer_ + kBuffer;  // the end of the room that the cursor is in
  std::size_t inputSize_;
  // Beside each other, so that the constructor stores them at once.
  unsigned char perByte_;
  bool longer_;
  bool inString_ = false;
  std::size_t before_;  // the string's size when the text moved into it (set then)
  unsigned char buffer_[kBuffer];
};

// Input chunk: the end of the next piece of [p, end).
inline const unsigned char* ChunkEnd(const unsigned char* p, const unsigned char* end) {
  return (static_cast<std::size_t>(end - p) > kChunk) ? p + kChunk : end;
}

constexpr unsigned char kEsc = 0x1B;

// ESC $ B: into JIS X 0208 (double-byte mode).
inline unsigned char* PutToDouble(unsigned char* o) {
  o[0] = kEsc;
  o[1] = '$';
  o[2] = 'B';
  return o + 3;
}

// ESC ( B: back to ASCII (single-byte mode).
inline unsigned char* PutToSingle(unsigned char* o) {
  o[0] = kEsc;
  o[1] = '(';
  o[2] = 'B';
  return o + 3;
}

// The output mode of ISO-2022-JP: an escape sequence is written only when the mode changes.
inline unsigned char* SwitchToDouble(unsigned char* o, bool& twoByte) {
  if (twoByte) return o;
  twoByte = true;
  return PutToDouble(o);
}

inline unsigned char* SwitchToSingle(unsigned char* o, bool& twoByte) {
  if (!twoByte) return o;
  twoByte = false;
  return PutToSingle(o);
}

inline unsigned char* PutCode(unsigned char* o, std::uint32_t code) {
  o[0] = static_cast<unsigned char>(code >> 8);
  o[1] = static_cast<unsigned char>(code);
  return o + 2;
}

// Eight bytes at a time. memcpy keeps the loads and stores free of alignment and aliasing
// questions; compilers turn it into one plain move.
using Word = std::uint64_t;
constexpr Word kOnes = 0x0101010101010101u;
constexpr Word kHighBits = 0x8080808080808080u;

// Word arithmetic that reads the first byte in memory as the lowest holds where this is true.
constexpr bool kLittleEndian =
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    false;
#else
    true;
#endif

inline Word LoadWord(const unsigned char* p) {
  Word w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline void StoreWord(unsigned char* o, Word w) {
  std::memcpy(o, &w, sizeof w);
}

// 0x80 in every byte of w that lies in [0xA1, 0xFE], 0x00 in every other.
inline Word HighGraphicBytes(Word w) {
  const Word low7 = w & ~kHighBits;
  const Word atLeast21 = low7 + 0x5F * kOnes;  // bit 7 set where low7 >= 0x21
  const Word atMost7E = ~(low7 + kOnes);       // bit 7 set where low7 <= 0x7E
  return w & atLeast21 & atMost7E & kHighBits;
}

// Given marks (0x80 in chosen bytes of a word, at least one), the number of bytes that come
// before the first marked one in memory order.
inline unsigned BytesBeforeMark(Word marks) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (sizeof(void*) < 8) {
    // Counted in 32-bit halves, which a 32-bit processor counts in one instruction each,
    // rather than by a library call.
    const auto low = static_cast<std::uint32_t>(marks);
    const auto high = static_cast<std::uint32_t>(marks >> 32);
    return low != 0 ? static_cast<unsigned>(__builtin_ctz(low)) / 8
                    : 4 + static_cast<unsigned>(__builtin_ctz(high)) / 8;
  }
  return static_cast<unsigned>(__builtin_ctzll(marks)) / 8;
#elif defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return static_cast<unsigned>(__builtin_clzll(marks)) / 8;
#else
  unsigned char bytes[sizeof marks];
  std::memcpy(bytes, &marks, sizeof marks);
  unsigned n = 0;
  while (bytes[n] == 0) ++n;
  return n;
#endif
}

// Copies the run of bytes that starts at p and that keep(byte) takes, a word at a time while a
// whole word lies before limit: stops(word) marks the bytes that end the run (the word is stored
// whole; the cursor keeps only the run's part). Returns the new p; o moves along.
template <typename Stops, typename Keep>
inline const unsigned char* CopyWhile(const unsigned char* p, const unsigned char* limit,
                                      unsigned char*& o, Stops stops, Keep keep) {
  while (limit - p >= 8) {
    const Word w = LoadWord(p);
    StoreWord(o, w);
    const Word marks = stops(w);
    if (marks != 0) {
      const unsigned n = BytesBeforeMark(marks);
      o += n;
      return p + n;
    }
    o += 8;
    p += 8;
  }
  while (p < limit && keep(*p)) *o++ = *p++;
  return p;
}

// The run of bytes below 0x80 that starts at p.
inline const unsigned char* CopyAscii(const unsigned char* p, const unsigned char* limit,
                                      unsigned char*& o) {
  return CopyWhile(
      p, limit, o, [](Word w) { return w & kHighBits; }, [](unsigned c) { return c < 0x80; });
}

}  // namespace convert
}  // namespace quillet
