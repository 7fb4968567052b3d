// Two processes store messages into one message set at the same time, under
// the store's named mutexes. The second process is this test program run
// again with QV_STORE2_CHILD set to the device root.
#include <gtest/gtest.h>

#include <set>

#include "MessageStoreFixture.h"
#include "platform/base/WinFormat.h"
#include "tests/support/SelfProcess.h"

namespace {

constexpr uint32_t kPerProcess = 60;
constexpr uint32_t kParentFolder = 1, kChildFolder = 2;

std::string RawFor(uint32_t folder, uint32_t n) {
  return qv::FormatA("Subject: %u-%u\r\n\r\n", folder, n) + std::string(200 + n, 'm') + "\r\n";
}

// Stores kPerProcess messages for `folder`, each message's text naming its
// folder, and checks that every one stored so far still reads back whole.
std::string StoreAndCheck(uint32_t folder) {
  QvFolderSet folders;
  QvMessageSet messages;
  if (folders.OpenTree(L"\\Acc", &messages) != QVMDL_SUCCESS) return "tree";
  if (messages.OpenEntryFile(L"\\Acc", &folders) != QVMDL_SUCCESS) return "entry table";
  std::vector<uint32_t> mine;
  for (uint32_t n = 0; n < kPerProcess; ++n) {
    uint32_t id = 0;
    if (!messages.CreateMessageFile(&id, folder)) return qv::FormatA("create %u: %X", n, GetQvMiddleError());
    QvMessage* message = messages.OpenMessage(id);
    bool ok = message != nullptr && message->WriteRaw(RawFor(folder, n));
    messages.CloseMessage(message);
    if (!ok) return qv::FormatA("write %u: %X", n, GetQvMiddleError());
    mine.push_back(id);
    uint32_t earlier = mine[n / 2], owner = 0;
    if (!messages.GetMessageFolder(earlier, &owner) || owner != folder) return qv::FormatA("slot %u", earlier);
    message = messages.OpenMessage(earlier);
    std::string text;
    ok = message != nullptr && message->Read(&text);
    messages.CloseMessage(message);
    if (!ok || text != RawFor(folder, n / 2)) return qv::FormatA("read %u", earlier);
  }
  return "";
}

const int kChildBranch = [] {
  const char* root = std::getenv("QV_STORE2_CHILD");
  if (root == nullptr) return 0;
  qv::SetDeviceRoot(root);
  std::string failure = StoreAndCheck(kChildFolder);
  if (!failure.empty()) fprintf(stderr, "child: %s\n", failure.c_str());
  std::_Exit(failure.empty() ? 0 : 1);
}();

class TwoProcessTest : public MessageStoreFixture {};

TEST_F(TwoProcessTest, NoEntryIsLostOrTorn) {
  (void)kChildBranch;
  pid_t child = qv::test::SpawnSelf({"QV_STORE2_CHILD=" + root_});
  ASSERT_GT(child, 0);
  std::string failure = StoreAndCheck(kParentFolder);
  EXPECT_EQ(qv::test::WaitExit(child), 0);
  EXPECT_EQ(failure, "");

  // Every slot in use names a folder whose message it is, and each of the
  // two runs' texts is there exactly once.
  const std::string table = TableBytes();
  std::set<std::string> texts;
  uint32_t used = 0;
  for (uint32_t id = 0; id < 65536; ++id) {
    uint32_t folder = SlotOf(table, id);
    if (folder == 0xFFFFFFFFu) continue;
    ++used;
    std::string eml = ReadBytes(EmlPath(id));
    ASSERT_GT(eml.size(), 256u) << id;
    EXPECT_EQ(eml.substr(0, 12), "QVMAILEMLFMT");
    std::string raw = eml.substr(256);
    EXPECT_EQ(raw.rfind(qv::FormatA("Subject: %u-", folder), 0), 0u) << id;
    texts.insert(raw);
  }
  EXPECT_EQ(used, 2 * kPerProcess);
  EXPECT_EQ(texts.size(), 2 * kPerProcess);
  for (uint32_t folder : {kParentFolder, kChildFolder}) {
    for (uint32_t n = 0; n < kPerProcess; ++n) EXPECT_TRUE(texts.count(RawFor(folder, n))) << folder << " " << n;
  }
  EXPECT_EQ(ReadBytes(L"\\Acc\\DATA\\Status.txt").substr(5), qv::FormatA("%X", 2 * kPerProcess));
}

}  // namespace
