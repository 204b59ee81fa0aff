// Where the kernels from ISO-2022-JP stand between two 64-byte blocks. Blocks follow each other
// at a fixed stride, so the next block's loads never wait for this one: a sequence that starts
// in a block's last two bytes is finished by the next block, which skips its rest, and a pair
// whose second byte is in the next block has its first written with this one, taken back if
// the run ends before its second.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet {
namespace simd {

struct JisBlocks {
  std::size_t done;   // bytes taken before the block in hand
  bool pairs;         // JIS X 0208 is in force at its start (ASCII otherwise)
  unsigned skip = 0;  // bytes at its start that end a sequence begun before it
  // 1 when the block before ended with the first byte of a pair (a number, for the masks).
  std::uint64_t carried = 0;

  // The run ends before byte cut of the block (twoByteMask: the bytes in JIS X 0208).
  void Stop(unsigned cut, std::uint64_t twoByteMask) {
    done += cut;
    if (cut != 0) pairs = (twoByteMask >> (cut - 1) & 1) != 0;
    carried = 0;
    skip = 0;
  }

  // The block is taken whole (leads: the first bytes of its pairs; starts: its sequences).
  void Next(std::uint64_t twoByteMask, std::uint64_t leads, std::uint64_t starts) {
    done += 64;
    pairs = (twoByteMask >> 63) != 0;
    carried = leads >> 63;
    skip = static_cast<unsigned>(starts >> 62 & 1) + 2 * static_cast<unsigned>(starts >> 63);
  }

  // How many bytes the run took: a first byte whose second was not read is taken back from o,
  // the rest of a sequence is taken.
  std::size_t Finish(unsigned char*& o) {
    if (carried != 0) {
      --o;
      --done;
    }
    return done + skip;
  }
};

}  // namespace simd
}  // namespace quillet
