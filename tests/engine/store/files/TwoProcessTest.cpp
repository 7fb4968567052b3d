// Two processes append to and read one folder's lists and header file at the
// same time, under the store's named mutexes. The second process is this
// test program run again with QV_STORE1_CHILD set.
#include <cstdlib>
#include <set>

#include "HeaderRecords.h"
#include "StoreFixture.h"
#include "engine/store/QvFolderEntry.h"
#include "engine/store/QvMessageEntry.h"
#include "tests/support/SelfProcess.h"

namespace {

constexpr uint32_t kPerProcess = 120;
const std::wstring kFld = L"\\F\\00.fld";
const std::wstring kMsg = L"\\F\\00.msg";
const std::wstring kFdb = L"\\F\\00.fdb";

std::wstring NameOf(uint32_t id) { return L"フォルダ" + std::to_wstring(id); }

// Appends kPerProcess entries and records from `base` on, checking after each
// that what this process wrote earlier reads back whole. Returns a failure
// description, empty when all went well.
std::string AppendAndCheck(uint32_t base) {
  QvFolderEntry folders;
  QvMessageEntry messages;
  QvMessageHeader header;
  if (folders.ReadFile(kFld) != QVMDL_SUCCESS || messages.ReadFile(kMsg) != QVMDL_SUCCESS ||
      header.Open(kFdb) != QVMDL_SUCCESS) {
    return "open";
  }
  for (uint32_t i = 0; i < kPerProcess; ++i) {
    uint32_t id = base + i;
    if (folders.Add({0, id, NameOf(id)}) != QVMDL_SUCCESS) return "fld add " + std::to_string(id);
    if (messages.Add({0, id, static_cast<uint8_t>(id & 1), 0}) != QVMDL_SUCCESS) return "msg add";
    if (!header.Append(MakeRecord(id))) return "fdb append " + std::to_string(GetQvMiddleError());
    uint32_t earlier = base + i / 2;
    QvMessageHeader::Record r{};
    r.id = earlier;
    if (!header.ReadRecord(&r) || !SameTexts(r, MakeRecord(earlier))) return "fdb read " + std::to_string(earlier);
    FolderEntryRecord f;
    if (!folders.Get(earlier, &f) || f.name != NameOf(earlier)) return "fld read";
    if (!messages.Contains(earlier)) return "msg read";
  }
  return "";
}

// The second process's branch, taken before any test runs.
const int kChildBranch = [] {
  const char* root = std::getenv("QV_STORE1_CHILD");
  if (root == nullptr) return 0;
  qv::SetDeviceRoot(root);
  std::string failure = AppendAndCheck(0x1000);
  if (!failure.empty()) fprintf(stderr, "child: %s\n", failure.c_str());
  std::_Exit(failure.empty() ? 0 : 1);
}();

class TwoProcessTest : public StoreFixture {};

TEST_F(TwoProcessTest, NoRecordIsLostOrTorn) {
  (void)kChildBranch;
  MakeDir(L"\\F");
  WriteBytes(kFld, "");
  WriteBytes(kMsg, "");
  WriteBytes(kFdb, EmptyHeaderFile());

  pid_t child = qv::test::SpawnSelf({"QV_STORE1_CHILD=" + root_});
  ASSERT_GT(child, 0);

  std::string failure = AppendAndCheck(0x2000);
  EXPECT_EQ(qv::test::WaitExit(child), 0);
  EXPECT_EQ(failure, "");

  QvMessageHeader header;
  ASSERT_EQ(header.Open(kFdb), QVMDL_SUCCESS);
  ASSERT_EQ(header.Live(), 2 * kPerProcess);
  std::vector<QvMessageHeader::Record> all(2 * kPerProcess);
  ASSERT_TRUE(header.LoadAll(all.data(), 2 * kPerProcess));
  std::set<uint32_t> seen;
  for (const auto& r : all) {
    EXPECT_TRUE(SameTexts(r, MakeRecord(r.id))) << r.id;
    seen.insert(r.id);
  }
  EXPECT_EQ(seen.size(), 2 * kPerProcess);

  QvFolderEntry folders;
  ASSERT_EQ(folders.ReadFile(kFld), QVMDL_SUCCESS);
  EXPECT_EQ(folders.Entries().size(), 2 * kPerProcess);
  QvMessageEntry messages;
  ASSERT_EQ(messages.ReadFile(kMsg), QVMDL_SUCCESS);
  EXPECT_EQ(messages.GetCount(), 2 * kPerProcess);
  for (uint32_t base : {0x1000u, 0x2000u}) {
    for (uint32_t i = 0; i < kPerProcess; ++i) {
      EXPECT_TRUE(seen.count(base + i)) << base + i;
      EXPECT_TRUE(messages.Contains(base + i)) << base + i;
    }
  }
}

}  // namespace
