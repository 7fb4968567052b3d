// Parsing a feed in a test and reading what the model holds.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_rssdocument.h"

namespace rsstest {

// Allocations not yet released, the channel template included.
inline long Outstanding() { return MFD_MallocCount() - MFD_FreeCount(); }

inline std::wstring Text(const wchar_t* t) { return t == nullptr ? L"<null>" : t; }

// One parse into a document the holder frees.
struct Parsed {
  MFD_RssDocument* doc = nullptr;
  int result = -1;

  explicit Parsed(const std::string& bytes) {
    if (MFD_RssDocument_Create(&doc) != MFD_OK) return;  // a failing allocation of a test
    result = MFD_RssDocument_ParseBytes(doc, bytes.data(), bytes.size());
  }
  ~Parsed() { MFD_RssDocument_Free(&doc); }
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;

  int Version() const { return doc->version; }
  MFD_RssChannel* Channel(long i = 0) const {
    if (doc->channels == nullptr) return nullptr;
    void* p = MFD_List_Get(doc->channels, i, 0);
    return p == nullptr ? nullptr : *static_cast<MFD_RssChannel**>(p);
  }
  uint32_t ItemCount() const { return Channel() == nullptr ? 0 : MFD_List_Count(Channel()->items); }
  MFD_RssChannelItem* Item(long i) const {
    MFD_RssChannel* ch = Channel();
    if (ch == nullptr || ch->items == nullptr) return nullptr;
    void* p = MFD_List_Get(ch->items, i, 0);
    return p == nullptr ? nullptr : *static_cast<MFD_RssChannelItem**>(p);
  }
  // Every queued error as "line:column message", oldest first; pops them.
  std::vector<std::wstring> Errors() {
    std::vector<std::wstring> out;
    MFD_RssError* e = nullptr;
    while (MFD_RssDocument_PopError(doc, &e) == MFD_OK) {
      out.push_back(std::to_wstring(e->line) + L":" + std::to_wstring(e->column) + L" " + Text(e->message));
      MFD_RssError_Free(&e);
    }
    return out;
  }
};

}  // namespace rsstest
