// The node base: unsupported operations, observers and the kept path.
#include <vector>

#include "StoreFixture.h"
#include "engine/store/QvStoreNode.h"

namespace {

struct Recorder : QvFolderInterface::Notify {
  std::vector<std::pair<int, uint32_t>> heard;
  void FolderChanged(uint32_t id) override { heard.emplace_back(0, id); }
  void MessageChanged(uint32_t id) override { heard.emplace_back(1, id); }
};

// Leaves the node's list while it is being told.
struct Leaver : QvFolderInterface::Notify {
  QvStoreNode* node = nullptr;
  int calls = 0;
  void FolderChanged(uint32_t) override {
    ++calls;
    node->DetachNotify(this);
  }
  void MessageChanged(uint32_t) override { ++calls; }
};

// Detaches (and, in the caller's view, destroys) another observer.
struct Remover : QvFolderInterface::Notify {
  QvStoreNode* node = nullptr;
  QvFolderInterface::Notify* victim = nullptr;
  void FolderChanged(uint32_t) override { node->DetachNotify(victim); }
  void MessageChanged(uint32_t) override {}
};

TEST(StoreNodeTest, UnsupportedOperationsAnswerNoAndLeaveTheErrorWord) {
  QvStoreNode node(7, nullptr, nullptr, L"\\Storage\\Acc\\TREE\\0A");
  SetQvMiddleError(0x2000123);
  std::vector<uint32_t> ids;
  EXPECT_FALSE(node.GetMessageIds(&ids));
  EXPECT_EQ(node.OpenFolder(1), nullptr);
  EXPECT_EQ(node.OpenMessage(1), nullptr);
  EXPECT_EQ(node.GetUnreadCount(), 0u);
  EXPECT_FALSE(node.CompactHeader());
  EXPECT_EQ(node.Open(L"a", L"b", L"c"), QVMDL_SUCCESS);
  EXPECT_EQ(node.AddMessageEntry({}), QVMDL_SUCCESS);
  EXPECT_EQ(node.GetErrorInfo(), 0x2000123u);
  EXPECT_EQ(node.GetId(), 7u);
  EXPECT_EQ(node.Path(), L"\\Storage\\Acc\\TREE\\");
  QvStoreNode flat(1, nullptr, nullptr, L"nofolder");
  EXPECT_EQ(flat.Path(), L"nofolder");
}

TEST(StoreNodeTest, ObserversHearInOrderAndOnceEachRegistration) {
  QvStoreNode node(0, nullptr, nullptr, L"\\T\\00");
  Recorder a, b, never;
  ASSERT_TRUE(node.AttachNotify(&a));
  ASSERT_TRUE(node.AttachNotify(&b));
  ASSERT_TRUE(node.AttachNotify(&a));
  node.FireNotify0(5);
  EXPECT_EQ(a.heard.size(), 2u);
  EXPECT_EQ(b.heard, (std::vector<std::pair<int, uint32_t>>{{0, 5}}));
  ASSERT_TRUE(node.DetachNotify(&a));
  node.FireNotify1(6);
  EXPECT_EQ(a.heard.back(), (std::pair<int, uint32_t>{1, 6}));
  EXPECT_EQ(a.heard.size(), 3u);
  EXPECT_FALSE(node.DetachNotify(&never));
}

TEST(StoreNodeTest, AnObserverMayLeaveWhileBeingTold) {
  QvStoreNode node(0, nullptr, nullptr, L"\\T\\00");
  Leaver leaver;
  Recorder after;
  leaver.node = &node;
  node.AttachNotify(&leaver);
  node.AttachNotify(&after);
  node.FireNotify0(1);
  node.FireNotify0(2);
  EXPECT_EQ(leaver.calls, 1);
  EXPECT_EQ(after.heard.size(), 2u);
}

TEST(StoreNodeTest, AnObserverDetachedByAnotherIsNotToldAnyMore) {
  QvStoreNode node(0, nullptr, nullptr, L"\\T\\00");
  Remover remover;
  auto* victim = new Recorder;
  remover.node = &node;
  remover.victim = victim;
  node.AttachNotify(&remover);
  node.AttachNotify(victim);
  node.FireNotify0(1);
  // Detached during the same round: not called, so it may be gone already.
  EXPECT_TRUE(victim->heard.empty());
  delete victim;
  node.FireNotify0(2);
}

}  // namespace
