// The exported entry points: who releases which block, and what reaches the module.
#include "plugin/entry_points.h"

#include <gtest/gtest.h>

#include <string>

#include "counting_global_memory.h"
#include "plugin/block_to_string.h"
#include "plugin/string_to_block.h"
#include "recording_module.h"

namespace quillet {
namespace {

const std::string kNoModuleAnswer = "SAORI/1.0 500 Internal Server Error\r\n\r\n";

class EntryPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    unload();
    Ledger() = BlockLedger();
    Record() = ModuleRecord();
  }

  void TearDown() override {
    unload();
    // Each test releases the blocks that stay the host's: anything still live leaked.
    EXPECT_TRUE(Ledger().live.empty());
    EXPECT_EQ(Ledger().strayReleases, 0);
    while (!Ledger().live.empty()) GlobalFree(const_cast<void*>(Ledger().live.begin()->first));
  }

  // Loads a module with the path "dir/" and forgets the counts that made it.
  void LoadModule() {
    ASSERT_EQ(load(HostBlock("dir/"), 4), 1);
    Ledger().allocations = Ledger().releases = 0;
  }

  // Sends text as a request block of the text's length; the answer's bytes and length.
  struct Answer {
    bool block;
    std::string bytes;  // the whole block, trailing zero included
    long length;
  };
  Answer Send(const std::string& text) {
    long length = static_cast<long>(text.size());
    HGLOBAL response = request(HostBlock(text), &length);
    Answer answer{response != nullptr, BlockBytes(response), length};
    GlobalFree(response);
    return answer;
  }
};

TEST_F(EntryPoints, LoadCopiesThePathAndReleasesItsBlock) {
  // Only len bytes count: zero bytes are kept, bytes beyond len are not read.
  HGLOBAL block = HostBlock(std::string("C:\\a\0b\\XYZ", 10));
  EXPECT_EQ(load(block, 7), 1);
  EXPECT_EQ(Ledger().live.count(block), 0u);
  EXPECT_EQ(Ledger().releases, 1);
  EXPECT_EQ(Record().constructed, 1);
  ASSERT_EQ(Record().paths.size(), 1u);
  EXPECT_EQ(Record().paths[0], std::string("C:\\a\0b\\", 7));
}

TEST_F(EntryPoints, SecondLoadKeepsTheFirstModuleAndLeavesItsBlockAlone) {
  LoadModule();
  HGLOBAL second = HostBlock("other/");
  EXPECT_EQ(load(second, 6), 1);
  EXPECT_EQ(Ledger().live.count(second), 1u);
  EXPECT_EQ(Ledger().releases, 0);
  EXPECT_EQ(Record().constructed, 1);
  EXPECT_EQ(Record().paths.size(), 1u);
  EXPECT_EQ(Send("x").bytes, std::string("dir/|x\0", 7));
  GlobalFree(second);
}

TEST_F(EntryPoints, LoadWithoutTextCreatesNoModuleAndLeavesTheBlock) {
  for (long length : {0L, -1L, -2147483647L - 1}) {
    HGLOBAL block = HostBlock("dir/");
    EXPECT_EQ(load(block, length), 0) << length;
    EXPECT_EQ(Ledger().live.count(block), 1u) << length;
    GlobalFree(block);
  }
  EXPECT_EQ(load(nullptr, 4), 0);
  EXPECT_EQ(Record().constructed, 0);
  EXPECT_EQ(Send("GET Version SAORI/1.0\r\n\r\n").bytes, kNoModuleAnswer + '\0');
}

TEST_F(EntryPoints, RequestWithoutModuleReadsReleasesAndAnswers500) {
  auto check = [this](const char* when) {
    const int releases = Ledger().releases;
    Answer answer = Send("GET Version SAORI/1.0\r\n\r\n");
    EXPECT_EQ(answer.bytes, kNoModuleAnswer + '\0') << when;
    EXPECT_EQ(answer.length, static_cast<long>(kNoModuleAnswer.size())) << when;
    // The request block, then the host's release of the answer.
    EXPECT_EQ(Ledger().releases, releases + 2) << when;
  };
  check("before load");
  HGLOBAL unread = HostBlock("x");
  load(unread, 0);
  GlobalFree(unread);
  check("after a failed load");
  LoadModule();
  unload();
  check("after unload");
  EXPECT_TRUE(Record().requests.empty());
}

TEST_F(EntryPoints, RequestWithoutTextAnswersAnEmptyBlockAndLeavesItsBlock) {
  for (bool withModule : {false, true}) {
    if (withModule) LoadModule();
    for (long length : {0L, -5L}) {
      HGLOBAL block = HostBlock("GET Version SAORI/1.0\r\n\r\n");
      long inOut = length;
      HGLOBAL response = request(block, &inOut);
      EXPECT_EQ(inOut, 0);
      EXPECT_EQ(BlockBytes(response), std::string(1, '\0'));
      EXPECT_EQ(Ledger().live.count(block), 1u);
      GlobalFree(response);
      GlobalFree(block);
    }
    long length = 25;
    HGLOBAL response = request(nullptr, &length);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(BlockBytes(response), std::string(1, '\0'));
    GlobalFree(response);
  }
  EXPECT_TRUE(Record().requests.empty());
}

TEST_F(EntryPoints, RequestHandsTheWholeTextToTheModuleAndReleasesItsBlock) {
  LoadModule();
  const std::string text("EXECUTE SAORI/1.0\r\nArgument0: a\0b\r\n\r\n", 37);
  // The block holds more than *len says: the rest is not read.
  HGLOBAL block = HostBlock(text + "TRAILING");
  long length = static_cast<long>(text.size());
  HGLOBAL response = request(block, &length);

  ASSERT_EQ(Record().requests.size(), 1u);
  EXPECT_EQ(Record().requests[0], text);
  EXPECT_EQ(Ledger().live.count(block), 0u);
  EXPECT_EQ(Ledger().releases, 1);
  // The answer is the host's: len + 1 bytes, the last one zero.
  const std::string expected = "dir/|" + text;
  EXPECT_EQ(length, static_cast<long>(expected.size()));
  EXPECT_EQ(BlockBytes(response), expected + '\0');
  EXPECT_EQ(Ledger().allocations, 2);
  GlobalFree(response);
}

TEST_F(EntryPoints, UnloadDestroysTheModuleOnceAndAlwaysAnswers1) {
  EXPECT_EQ(unload(), 1);
  LoadModule();
  EXPECT_EQ(unload(), 1);
  EXPECT_EQ(unload(), 1);
  EXPECT_EQ(Record().unloaded, 1);
  EXPECT_EQ(Record().destroyed, 1);
}

TEST_F(EntryPoints, LoadAfterUnloadMakesAFreshModule) {
  LoadModule();
  unload();
  ASSERT_EQ(load(HostBlock("second/"), 7), 1);
  EXPECT_EQ(Record().constructed, 2);
  EXPECT_EQ(Record().destroyed, 1);
  EXPECT_EQ(Send("q").bytes, std::string("second/|q\0", 10));
}

TEST_F(EntryPoints, NoMemoryForTheAnswerGivesNullAndLength0) {
  LoadModule();
  HGLOBAL block = HostBlock("request");
  long length = 7;
  Ledger().failAlloc = true;
  EXPECT_EQ(request(block, &length), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Ledger().live.count(block), 0u);  // read, so released
  EXPECT_EQ(Record().requests.size(), 1u);
}

TEST_F(EntryPoints, ABlockThatCannotBeLockedIsNeitherReadNorReleased) {
  HGLOBAL block = HostBlock("dir/");
  Ledger().failLock = true;
  EXPECT_EQ(load(block, 4), 0);
  EXPECT_EQ(Record().constructed, 0);
  EXPECT_EQ(Ledger().live.count(block), 1u);

  Ledger().failLock = false;
  LoadModule();
  Ledger().failLock = true;
  long length = 4;
  EXPECT_EQ(request(block, &length), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Ledger().live.count(block), 1u);
  EXPECT_TRUE(Record().requests.empty());
  Ledger().failLock = false;
  GlobalFree(block);
}

TEST_F(EntryPoints, RequestWithoutALengthPointerTouchesNothing) {
  LoadModule();
  HGLOBAL block = HostBlock("GET Version SAORI/1.0\r\n\r\n");
  EXPECT_EQ(request(block, nullptr), nullptr);
  EXPECT_EQ(Ledger().live.count(block), 1u);
  EXPECT_EQ(Ledger().allocations, 1);
  GlobalFree(block);
}

using BlockHandOver = EntryPoints;

TEST_F(BlockHandOver, AnEmptyTextGivesOneZeroByte) {
  long length = 99;
  HGLOBAL block = StringToBlock(std::string(), &length);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(BlockBytes(block), std::string(1, '\0'));
  GlobalFree(block);
}

TEST_F(BlockHandOver, BlockToStringAppendsExactlyLengthBytes) {
  std::string text = "kept:";
  HGLOBAL block = HostBlock(std::string("a\0bc", 4));
  EXPECT_TRUE(BlockToString(block, 3, text));
  EXPECT_EQ(text, std::string("kept:a\0b", 8));
  EXPECT_EQ(Ledger().live.count(block), 0u);
}

#ifndef _WIN32
TEST_F(EntryPoints, PosixNamesDriveTheSameModule) {
  char* path = static_cast<char*>(HostBlock("dir/"));
  EXPECT_EQ(saori_quillet_saori_load(path, 4), 1);
  EXPECT_EQ(Ledger().live.count(path), 0u);
  HGLOBAL unread = HostBlock("no");
  EXPECT_EQ(load(unread, 2), 1);  // the same module already exists
  EXPECT_EQ(Record().constructed, 1);
  GlobalFree(unread);

  long length = 1;
  char* response = saori_quillet_saori_request(1, static_cast<char*>(HostBlock("r")), &length);
  EXPECT_EQ(std::string(response, static_cast<std::size_t>(length)), "dir/|r");
  GlobalFree(response);
  EXPECT_EQ(saori_quillet_saori_unload(1), 1);
  EXPECT_EQ(Record().destroyed, 1);
}

TEST_F(EntryPoints, PosixNamesReleaseEveryBlockAndLoadWithoutAFolder) {
  // load: a module whatever the length, the folder empty when there is none to read.
  for (long length : {0L, -1L}) {
    char* path = static_cast<char*>(HostBlock("dir/"));
    EXPECT_EQ(saori_quillet_saori_load(path, length), 1) << length;
    EXPECT_EQ(Ledger().live.count(path), 0u) << length;
    // While the module exists a further block is released unread.
    char* again = static_cast<char*>(HostBlock("other/"));
    EXPECT_EQ(saori_quillet_saori_load(again, 6), 1) << length;
    EXPECT_EQ(Ledger().live.count(again), 0u) << length;
    EXPECT_EQ(Send("x").bytes, std::string("|x\0", 3)) << length;
    saori_quillet_saori_unload(1);
  }
  EXPECT_EQ(saori_quillet_saori_load(nullptr, 0), 1);
  EXPECT_EQ(Record().constructed, 3);
  ASSERT_EQ(Record().paths.size(), 3u);
  EXPECT_EQ(Record().paths[2], "");

  // request: a block without a length is released, and the answer is what load/request give.
  for (long length : {0L, -5L}) {
    char* text = static_cast<char*>(HostBlock("GET Version SAORI/1.0\r\n\r\n"));
    long inOut = length;
    char* response = saori_quillet_saori_request(1, text, &inOut);
    EXPECT_EQ(Ledger().live.count(text), 0u) << length;
    EXPECT_EQ(inOut, 0) << length;
    EXPECT_EQ(BlockBytes(response), std::string(1, '\0')) << length;
    GlobalFree(response);
  }
  char* text = static_cast<char*>(HostBlock("r"));
  EXPECT_EQ(saori_quillet_saori_request(1, text, nullptr), nullptr);
  EXPECT_EQ(Ledger().live.count(text), 0u);
  EXPECT_EQ(Ledger().strayReleases, 0);
  EXPECT_EQ(Record().requests.size(), 2u);  // only the two requests sent with their length
}
#endif

}  // namespace
}  // namespace quillet
