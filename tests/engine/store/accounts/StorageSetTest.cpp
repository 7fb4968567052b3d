// The process-wide set of open storages: one storage object per root, however
// the root is spelt, with a count of its users; and a storage whose id
// counters were written without their padding opens and goes on from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/store/QvStorage.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/store/QvStorageSet.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

class StorageSetTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    for (const wchar_t* folder : {L"\\Mail", L"\\Mail\\Store", L"\\Mail\\Other"}) {
      ASSERT_TRUE(CreateDirectoryW(folder, nullptr));
    }
    ASSERT_EQ(QvStorage::Create(L"\\Mail\\Store"), QVMDL_SUCCESS);
    ASSERT_EQ(QvStorage::Create(L"\\Mail\\Other"), QVMDL_SUCCESS);
  }
  QvStorageSet& set_ = QvStorageSet::Instance();
};

TEST_F(StorageSetTest, EverySpellingOfARootSharesOneStorage) {
  const std::wstring spellings[] = {
      L"\\Mail\\Store", L"\\MAIL\\store", L"\\mail\\STORE\\", L"\\Mail\\.\\Store", L"\\Mail\\Other\\..\\Store",
      L"/Mail/Store",
  };
  QvStorage* first = set_.Open(spellings[0]);
  ASSERT_NE(first, nullptr) << std::hex << GetQvMiddleError();
  uint32_t users = 1;
  for (const std::wstring& root : spellings) {
    SCOPED_TRACE(std::string(root.begin(), root.end()));
    if (&root != &spellings[0]) {
      EXPECT_EQ(set_.Open(root), first);
      ++users;
    }
    EXPECT_EQ(set_.Users(root), users);
    EXPECT_EQ(QvStorageSet::KeyOf(root), QvStorageSet::KeyOf(spellings[0]));
  }
  // Another root is another storage, with users of its own.
  QvStorage* other = set_.Open(L"\\Mail\\Other");
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, first);
  EXPECT_EQ(set_.Users(L"\\mail\\other"), 1u);
  EXPECT_EQ(set_.Users(L"\\Mail\\Store"), users);
  EXPECT_NE(QvStorageSet::KeyOf(L"\\Mail\\Other"), QvStorageSet::KeyOf(L"\\Mail\\Store"));

  // Each close gives one user back; the last one takes the storage away.
  for (; users > 0; --users) {
    EXPECT_TRUE(set_.Close(first));
    EXPECT_EQ(set_.Users(L"\\MAIL\\STORE"), users - 1);
  }
  EXPECT_FALSE(set_.Close(first));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_SET_NOT_HELD);
  EXPECT_EQ(set_.Users(L"\\Mail\\Other"), 1u);
  EXPECT_TRUE(set_.Close(other));
  EXPECT_EQ(set_.Users(L"\\Mail\\Other"), 0u);
}

TEST_F(StorageSetTest, AStorageStaysWhileItsFoldersAreOpen) {
  QvStorage* storage = set_.Open(L"\\Mail\\Store");
  ASSERT_NE(storage, nullptr);
  QvStorageInterface facade(set_.Open(L"\\MAIL\\STORE"));
  std::unique_ptr<QvFolderInterface> root(facade.OpenRootFolder());
  ASSERT_TRUE(root);
  EXPECT_EQ(set_.Users(L"\\Mail\\Store"), 2u);
  EXPECT_TRUE(set_.Close(storage));
  EXPECT_EQ(set_.Users(L"\\Mail\\Store"), 1u);
  root.reset();
}

// Counters written as "%X" rather than "%04X" (an older writer's files): the
// tree opens, and the next message takes the id the counter names.
TEST_F(StorageSetTest, UnpaddedCountersOpenAndAreFollowed) {
  for (const char* next : {"A3", "7", "1F0", "00B"}) {
    SCOPED_TRACE(next);
    const std::wstring root = L"\\Mail\\Store";
    // The folder counter without any leading zeros.
    const std::string tree = ReadBytes(root + L"\\TREE\\Status.txt");
    const size_t tab = tree.find('\t');
    ASSERT_NE(tab, std::string::npos) << tree;
    const size_t digits = tree.find_first_not_of('0');
    WriteBytes(root + L"\\TREE\\Status.txt", tree.substr(std::min(digits, tab - 1)));
    WriteBytes(root + L"\\DATA\\Status.txt", std::string(next) + "\t0");

    QvStorage* storage = set_.Open(root);
    ASSERT_NE(storage, nullptr) << std::hex << GetQvMiddleError();
    {
      QvStorageInterface facade(set_.Open(root));
      std::unique_ptr<QvFolderInterface> folder(facade.OpenRootFolder());
      ASSERT_TRUE(folder);
      unsigned long id = 0;
      ASSERT_TRUE(folder->CreateMessage(&id)) << std::hex << GetQvMiddleError();
      EXPECT_EQ(id, std::stoul(next, nullptr, 16));
      ASSERT_TRUE(folder->RemoveMessage(id));
    }
    ASSERT_TRUE(set_.Close(storage));
    ASSERT_EQ(set_.Users(root), 0u);
  }
}

}  // namespace
