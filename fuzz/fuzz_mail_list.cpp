// Fuzz target: the mail header list parser. The first byte chooses the target code (0 to 3, or
// now and then a code out of range); the rest is the list. Properties:
// - an encoded word is never taken across 0x01, 0x02 or the end of the list, so every 0x02
//   closes a mail: as many mails as 0x02 bytes, and no stored line of a mail stands at a place
//   beyond the 0x01 bytes before its 0x02 (only lines that hold ": " are stored);
// - a stored line is made from its own bytes alone (its items, those after the first when they
//   start with SP or TAB and fold the line): parsed on its own (behind a neutral "A" that keeps
//   white space from being skipped) it gives the same line;
// - a stored line with no "=?" in it is its bytes unchanged, the separators that fold it gone
//   (into UTF-8: when they are valid UTF-8);
// - into Shift_JIS and EUC-JP, a list without ESC gives lines without ESC, whatever its words
//   decode to;
// - into UTF-8, every stored line is valid UTF-8;
// - for lists up to 4 KiB and targets other than UTF-8, the result equals that of the tests'
//   deliberately plain reading, which tries every "=?" afresh (quadratic, hence the limit);
// - parsing again, on the same module or a fresh one, gives the same mails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/charset_code_of.h"
#include "common/folding_space_length.h"
#include "fuzz_check.h"
#include "mail/reference_mail_list.h"
#include "mail_lines.h"
#include "module/plugin_module.h"
#include "valid_utf8.h"

namespace quillet {
namespace {

unsigned char At(const std::string& text, std::size_t i) {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0x00;
}

MailLines Parse(const std::string& text, int target) {
  PluginModule module;
  module.parseMailList(text.data(), static_cast<std::uint32_t>(text.size()), target);
  return LinesOf(module.mails);
}

}  // namespace
}  // namespace quillet

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  if (size == 0) return 0;
  const int target = data[0] < 0xF0 ? data[0] % 4 : static_cast<int>(data[0]) - 0xF8;
  const bool utf8 = target == kCharsetUtf8;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  PluginModule module;
  module.parseMailList(text.data(), static_cast<std::uint32_t>(text.size()), target);
  const MailLines mails = LinesOf(module.mails);

  // Where the parse starts: after the white space at the very start of the list.
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t n =
        FoldingSpaceLength(At(text, start), At(text, start + 1), At(text, start + 2));
    if (n == 0) break;
    start += n;
  }

  // Cut the list at its separators up to its last 0x02 (what follows belongs to no mail); each
  // line must be the work of its own segment.
  const std::size_t lastClose = text.rfind('\x02');
  const std::size_t closed = lastClose == std::string::npos ? 0 : lastClose + 1;
  std::size_t mailIndex = 0;
  std::size_t lineIndex = 0;
  std::size_t segmentStart = start;
  for (std::size_t i = start; i < closed; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c != 0x01 && c != 0x02) continue;
    if (c == 0x01 && (At(text, i + 1) == ' ' || At(text, i + 1) == '\t')) continue;  // a fold
    Require(mailIndex < mails.size(), "every 0x02 closes a mail");
    const std::string segment = text.substr(segmentStart, i - segmentStart);
    std::string unfolded = segment;
    unfolded.erase(std::remove(unfolded.begin(), unfolded.end(), '\x01'), unfolded.end());
    const std::string line =
        lineIndex < mails[mailIndex].size() ? mails[mailIndex][lineIndex] : std::string();
    if (utf8) Require(IsWellFormedUtf8(line), "into UTF-8, every line is valid UTF-8");
    if (line.empty()) {
      // not stored
    } else if (segment.find("=?") == std::string::npos) {
      if (!utf8 || IsWellFormedUtf8(unfolded)) {
        Require(line == unfolded, "a line without \"=?\" is its bytes unchanged");
      }
    } else {
      const MailLines alone = Parse("A" + segment + "\x02", target);
      Require(alone.size() == 1 && alone[0].size() == 1 && alone[0][0] == "A" + line,
              "a line is made from its own bytes alone");
    }
    ++lineIndex;
    if (c == 0x02) {
      Require(lineIndex >= mails[mailIndex].size(), "a mail has no lines beyond its 0x02");
      ++mailIndex;
      lineIndex = 0;
    }
    segmentStart = i + 1;
  }
  Require(mailIndex == mails.size(), "as many mails as 0x02 bytes");

  if ((target == kCharsetSjis || target == kCharsetEuc) && text.find('\x1B') == std::string::npos) {
    for (const auto& mail : mails) {
      for (const std::string& line : mail) {
        Require(line.find('\x1B') == std::string::npos, "no ESC of a word reaches the line");
      }
    }
  }

  if (text.size() <= 4096 && !utf8) {
    const MailLines plain = Stored(reference::ParseList(text, target));
    if (mails != plain) {
      std::fprintf(stderr, "target %d, list %s\n", target, Hex(text).c_str());
      for (std::size_t i = 0; i < mails.size() && i < plain.size(); ++i) {
        for (std::size_t j = 0; j < mails[i].size() && j < plain[i].size(); ++j) {
          if (mails[i][j] == plain[i][j]) continue;
          std::fprintf(stderr, "mail %zu line %zu:\n parsed %s\n plain  %s\n", i, j,
                       Hex(mails[i][j]).c_str(), Hex(plain[i][j]).c_str());
        }
      }
    }
    Require(mails == plain, "the plain reading gives the same mails");
  }

  module.parseMailList(text.data(), static_cast<std::uint32_t>(text.size()), target);
  Require(LinesOf(module.mails) == mails, "parsing again on the same module gives the same mails");
  return 0;
}
