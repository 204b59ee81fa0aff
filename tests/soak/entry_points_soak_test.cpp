// 100 000 mixed requests through the entry points, with load and unload cycles, requests without
// a module, lengths of zero or less and blocks longer than their length. Every block is counted
// by the memory layer of this test (soak_memory.cpp): each block the host hands over must be
// released exactly once, by the plug-in when it reads it and by nobody else; each block that
// request returns must be the host's, exactly one byte longer than its length and ending in a
// zero byte, and the plug-in must never release it. After the last unload the blocks live and
// the bytes taken with operator new must be what they were before the run.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "module/plugin_module.h"
#include "plugin/entry_points.h"
#include "soak_memory.h"

namespace quillet {
namespace {

constexpr long kRequests = 100000;

const char kNoModule[] = "SAORI/1.0 500 Internal Server Error\r\n\r\n";

std::string Execute(const std::string& headers) {
  return "EXECUTE SAORI/1.0\r\n" + headers + "\r\n";
}

// A mail header list of n mails with encoded words in the three charsets.
std::string Mails(int n) {
  static const char* const kMails[] = {
      // "Yamada" in ISO-2022-JP, a meeting notice
      "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <taro@example.jp>\x01"
      "Subject: =?ISO-2022-JP?B?GyRCMnFLRCROJCpDTiRpJDsbKEI=?=\x01"
      "Date: Tue, 8 Dec 2026 09:15:00 +0900\x02",
      // "Suzuki" in Shift_JIS; half-width katakana in the subject
      "From: =?Shift_JIS?B?l+mW2A==?= <suzuki@example.jp>\x01"
      "Subject: =?SJIS?b?tt6yxN4=?= \x01"
      "Content-Type: text/plain\x02",
      // "Sato" in EUC-JP, a Q word, a word carrying CR LF, a word that never closes
      "From: =?EUC-JP?B?urTGow==?=\x01Subject: =?ISO-8859-1?Q?caf=E9?= =?US-ASCII?B?eA0KWTogeg==?="
      "\x01"
      "Date: =?SJIS?B?gqCCog\x02",
  };
  std::string list;
  for (int i = 0; i < n; ++i) list += kMails[i % 3];
  return list;
}

// Zero bytes inside a request reach the module like any other byte.
const char kZeroBytes[] =
    "EXECUTE SAORI/1.0\r\nArgument0: a\0b!From!\r\nArgument1: \0\r\nArgument2: From: "
    "x\0y\x02\r\n\r\n";

std::vector<std::string> Requests() {
  std::vector<std::string> requests = {
      "GET Version SAORI/1.0\r\n\r\n",
      Execute("Charset: Shift_JIS\r\nArgument0: !From! / !Subject! (!Date!)\r\nArgument1: |\r\n"
              "Argument2: " +
              Mails(3) + "\r\n"),
      Execute("Charset: EUC-JP\r\nArgument0: !Subject!\r\nArgument1: \x01\r\nArgument2: " +
              Mails(3) + "\r\n"),
      Execute("Charset: ISO-2022-JP\r\nArgument0: !from!!content-type!\r\nArgument1: , \r\n"
              "Argument2: " +
              Mails(40) + "\r\n"),
      Execute("Argument0: !From!\r\nArgument1: ,\r\nArgument2: \r\n"),  // no mails
      Execute("Argument0: !From!\r\nArgument2: " + Mails(2) + "\r\n"),  // no separator: 400
      Execute("Argument0: !From!\r\nArgument1: ,\r\n"),                 // no list: 400
      "NOTIFY SAORI/1.0\r\nEvent: OnSecondChange\r\n\r\n",              // 500
      std::string(kZeroBytes, sizeof kZeroBytes - 1),
  };
  std::mt19937 random(7);
  for (int i = 0; i < 6; ++i) {  // bytes of no form at all
    std::string noise(1 + random() % 600, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    requests.push_back(noise);
  }
  return requests;
}

struct Tally {
  long wrongResults = 0;       // an entry point answered something it should not
  long wrongResponses = 0;     // response bytes differ from the module's own answer
  long badReturnedBlocks = 0;  // not the host's, wrong size, or no zero byte at the end
  long wrongHandOver = 0;      // a host block released when it should not be, or not released
  long firstFailure = -1;
  const char* firstWhat = "";
  void fail(long& counter, long step, const char* what) {
    ++counter;
    if (firstFailure >= 0) return;
    firstFailure = step;
    firstWhat = what;
  }
};

// The block request returned must be the host's, hold expected and one zero byte; released here.
void CheckReturned(HGLOBAL block, long length, const std::string& expected, Tally& tally,
                   long step) {
  bool pluginMade = false;
  const std::size_t size = LiveBlockSize(block, &pluginMade);
  if (!pluginMade || length < 0 || size != static_cast<std::size_t>(length) + 1 ||
      static_cast<const char*>(block)[length] != '\0') {
    tally.fail(tally.badReturnedBlocks, step, "returned block");
  } else if (static_cast<std::size_t>(length) != expected.size() ||
             std::memcmp(block, expected.data(), expected.size()) != 0) {
    tally.fail(tally.wrongResponses, step, "response bytes");
  }
  HostRelease(block);
}

// The plug-in released exactly one block since releasedBefore was taken, and it was this one.
bool ReleasedOnlyThis(std::uint64_t serial, long releasedBefore) {
  return !IsLive(serial) && LastReleasedByPlugin() == serial &&
         Blocks().releasedByPlugin == releasedBefore + 1;
}

TEST(EntryPointsSoak, EveryBlockReleasedOnceAndNothingLeaks) {
  const std::vector<std::string> requests = Requests();
  std::vector<std::string> responses(requests.size());
  {
    PluginModule module;
    for (std::size_t i = 0; i < requests.size(); ++i) module.request(requests[i], responses[i]);
  }
  const std::string path = "/usr/lib/host/plugins/quillet/";
  const std::string noModule = kNoModule;
  // Garbage behind the length: a block that holds more than *len says.
  const std::string tail = "\r\nArgument1: forged\r\n\r\n";

  // One round of everything first, so that whatever is made once and kept is made before counting.
  ASSERT_EQ(load(HostBlock(path), static_cast<long>(path.size())), 1);
  for (const std::string& text : requests) {
    long length = static_cast<long>(text.size());
    HostRelease(request(HostBlock(text), &length));
  }
  ASSERT_EQ(unload(), 1);

  const std::size_t heapBefore = HeapBytesInUse();
  const BlockCounts before = Blocks();
  Tally tally;
  std::mt19937 random(20261208);
  bool loaded = false;
  long steps = 0;
  long cycles = 0;         // loads that made a module
  long withoutModule = 0;  // requests answered with no module loaded
  for (long handled = 0; handled < kRequests; ++steps) {
    const unsigned pick = static_cast<unsigned>(random() % 1000);
    const long releasedBefore = Blocks().releasedByPlugin;
    if (pick < 2) {
      if (unload() != 1) tally.fail(tally.wrongResults, steps, "unload answered");
      loaded = false;
    } else if (pick < 4 || (!loaded && pick >= 950)) {
      // Without a module (about one step in twenty then) the block is read and released; with
      // one it is neither read nor released.
      HGLOBAL block = HostBlock(loaded ? std::string("/elsewhere/") : path);
      const std::uint64_t serial = SerialOf(block);
      if (load(block, static_cast<long>(loaded ? 11 : path.size())) != 1)
        tally.fail(tally.wrongResults, steps, "load answered");
      if (!loaded && !ReleasedOnlyThis(serial, releasedBefore))
        tally.fail(tally.wrongHandOver, steps, "load did not release its block once");
      if (!loaded) ++cycles;
      if (loaded) {
        if (!IsLive(serial))
          tally.fail(tally.wrongHandOver, steps, "second load released its block");
        HostRelease(block);
      }
      loaded = true;
    } else if (pick < 7) {  // a load with no length: nothing read, nothing released
      HGLOBAL block = HostBlock(path);
      const std::uint64_t serial = SerialOf(block);
      if (load(block, pick == 5 ? 0 : -1) != (loaded ? 1 : 0))
        tally.fail(tally.wrongResults, steps, "load without a length answered");
      if (!IsLive(serial))
        tally.fail(tally.wrongHandOver, steps, "load without a length released its block");
      HostRelease(block);
    } else if (pick < 17) {  // a request with no length, or no block: an empty answer
      HGLOBAL block = pick < 12 ? HostBlock("GET Version SAORI/1.0\r\n\r\n") : nullptr;
      const std::uint64_t serial = SerialOf(block);
      long length = pick < 9 ? 0 : (pick < 12 ? -7 : 25);
      HGLOBAL answer = request(block, &length);
      if (block != nullptr) {
        if (!IsLive(serial))
          tally.fail(tally.wrongHandOver, steps, "request without a length released its block");
        HostRelease(block);
      }
      CheckReturned(answer, length, std::string(), tally, steps);
    } else {
      const std::size_t which = random() % requests.size();
      const std::string& text = requests[which];
      const bool longer = random() % 4 == 0;
      HGLOBAL block = longer ? HostBlock(text + tail) : HostBlock(text);
      const std::uint64_t serial = SerialOf(block);
      long length = static_cast<long>(text.size());
      HGLOBAL answer = request(block, &length);
      if (!ReleasedOnlyThis(serial, releasedBefore))
        tally.fail(tally.wrongHandOver, steps, "request did not release its block once");
      CheckReturned(answer, length, loaded ? responses[which] : noModule, tally, steps);
      ++handled;
      if (!loaded) ++withoutModule;
    }
  }
  unload();
  const std::size_t heapAfter = HeapBytesInUse();
  const BlockCounts after = Blocks();

  SCOPED_TRACE(std::string("first failure at step ") + std::to_string(tally.firstFailure) + ": " +
               tally.firstWhat);
  EXPECT_EQ(tally.wrongResults, 0);
  EXPECT_EQ(tally.wrongResponses, 0);
  EXPECT_EQ(tally.badReturnedBlocks, 0);
  EXPECT_EQ(tally.wrongHandOver, 0);
  EXPECT_EQ(after.foreignReleases, before.foreignReleases) << "a block released twice";
  EXPECT_EQ(after.ownReleases, before.ownReleases) << "the plug-in released a returned block";
  EXPECT_EQ(after.live, before.live) << "blocks left over";
  EXPECT_EQ(after.hostMade + after.pluginMade - before.hostMade - before.pluginMade,
            after.releasedByPlugin + after.releasedByHost - before.releasedByPlugin -
                before.releasedByHost);
  EXPECT_EQ(heapAfter, heapBefore) << "bytes taken with operator new and not given back";
  EXPECT_GT(after.releasedByPlugin - before.releasedByPlugin, kRequests);
  EXPECT_GT(cycles, 100);
  EXPECT_GT(withoutModule, 1000);
}

}  // namespace
}  // namespace quillet
