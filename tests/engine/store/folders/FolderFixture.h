// A storage on disk as a new account has it: the tree with its root (id 0)
// and four built-in folders below it, the message set, and the real folder
// nodes. Facades are opened on folder ids as the storage facade opens them.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/store/QvFolder.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/store/QvFolderSet.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageSet.h"
#include "engine/store/QvStoreNode.h"
#include "platform/base/WinFormat.h"
#include "platform/testing/Seams.h"
#include "tests/engine/store/messages/MessageStoreFixture.h"

// Records what an observer hears, in order: ('F', folder id) or ('M', message id).
class RecordingObserver : public QvFolderInterface::Notify {
 public:
  void FolderChanged(uint32_t id) override { heard.emplace_back('F', id); }
  void MessageChanged(uint32_t id) override { heard.emplace_back('M', id); }
  std::vector<std::pair<char, uint32_t>> heard;
};

class FolderFixture : public MessageStoreFixture {
 protected:
  void SetUp() override {
    MessageStoreFixture::SetUp();
    QvFolderSet::SetNodeMaker(nullptr);  // the real folders and trays
    ASSERT_EQ(rootFolder_, 0u);
    Held root = Node(0);
    ASSERT_NE(root.node, nullptr);
    builtIn_.push_back(inbox_);
    for (int i = 0; i < 3; ++i) {
      uint32_t id = 0;
      ASSERT_TRUE(folders_->AllocateFolder(&id));
      builtIn_.push_back(id);
    }
    const wchar_t* names[] = {L"受信トレイ", L"送信トレイ", L"送信済みトレイ", L"下書き"};
    for (int i = 0; i < 4; ++i) ASSERT_EQ(root->AddFolderEntry({0, builtIn_[i], names[i]}), QVMDL_SUCCESS);
  }

  // A facade on a folder id, as the storage facade hands one out.
  std::unique_ptr<QvFolderInterface> Open(uint32_t id) {
    QvStoreNode* node = folders_->GetFolder(id);
    EXPECT_NE(node, nullptr) << std::hex << GetQvMiddleError();
    return std::make_unique<QvFolderInterface>(node);
  }
  // A node held for the length of a test step.
  struct Held {
    QvFolderSet* set;
    QvStoreNode* node;
    ~Held() {
      if (node != nullptr) set->CloseFolder(node);
    }
    QvStoreNode* operator->() const { return node; }
  };
  Held Node(uint32_t id) { return Held{folders_.get(), folders_->GetFolder(id)}; }

  uint32_t NewMessage(uint32_t folder) {
    Held node = Node(folder);
    uint32_t id = 0;
    EXPECT_TRUE(node->CreateMessage(&id)) << std::hex << GetQvMiddleError();
    return id;
  }
  uint32_t NewFolder(uint32_t parent, const std::wstring& name) {
    Held node = Node(parent);
    uint32_t id = 0;
    EXPECT_TRUE(node->CreateFolder(name, &id)) << std::hex << GetQvMiddleError();
    return id;
  }
  void SetFlags(uint32_t folder, uint32_t message, bool unread, bool partial) {
    Held node = Node(folder);
    EXPECT_TRUE(node->SetMessageFlags(message, unread, partial)) << std::hex << GetQvMiddleError();
  }

  std::wstring Base(uint32_t folder) const { return folders_->BasePath(folder); }
  std::string Fld(uint32_t folder) const { return ReadBytes(Base(folder) + L".fld"); }
  std::string Msg(uint32_t folder) const { return ReadBytes(Base(folder) + L".msg"); }
  std::string Fdb(uint32_t folder) const { return ReadBytes(Base(folder) + L".fdb"); }
  std::string Status() const { return ReadBytes(kRoot + L"\\TREE\\Status.txt"); }
  static std::string MsgLine(uint32_t id, int unread, int partial) {
    return qv::FormatA("%04X\t%d\t%d\r\n", id, unread, partial);
  }
  // The folder the entry table gives for a message, or 0xFFFFFFFF.
  uint32_t FolderOf(uint32_t message) {
    uint32_t folder = 0xFFFFFFFF;
    return messages_->GetMessageFolder(message, &folder) ? folder : 0xFFFFFFFF;
  }
  // Slot `i` of a header file's index.
  static uint32_t IndexSlot(const std::string& fdb, uint32_t i) {
    uint32_t v = 0;
    std::memcpy(&v, fdb.data() + 4 * i, 4);
    return v;
  }

  std::vector<uint32_t> builtIn_;
};
