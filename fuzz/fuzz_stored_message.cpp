// Stored messages and the older entry lists are read back after crashes and
// may hold any bytes. The first input byte picks the reader: a message file
// (attributes, raw text, a header rewrite) or an "Entry.txt" list rebuilt
// into the entry table.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageSet.h"
#include "fuzz/FuzzDeviceFile.h"
#include "platform/kernel/Files.h"

namespace {

void ReadMessage(const uint8_t* data, size_t size) {
  WriteFuzzDeviceFile(L"\\Fuzz.eml", data, size);
  QvMessage message(0, nullptr, L"\\Fuzz.eml");
  QvMessageFields::Attributes a;
  a.mask = QvMessageFields::kHeaderFields;
  message.GetAttributes(&a);
  std::string raw;
  message.Read(&raw);
  message.SeekToHead();
  QvMessageFields::Attributes w;
  w.mask = QvMessageFields::kUidl | QvMessageFields::kKind | QvMessageFields::kAttachmentsDeleted;
  w.uidl = "uid";
  message.SetAttributes(w);
}

void RebuildTable(const uint8_t* data, size_t size) {
  static const bool made = [] {
    WriteFuzzDeviceFile(L"\\Fuzz.eml", nullptr, 0);  // sets the scratch root
    QvMessageSet set;
    CreateDirectoryW(L"\\Store", nullptr);
    set.CreateEntryFile(L"\\Store");
    CreateDirectoryW(L"\\Store\\DATA\\00", nullptr);
    return true;
  }();
  (void)made;
  DeleteFileW(L"\\Store\\DATA\\Entry.dat");
  WriteFuzzDeviceFile(L"\\Store\\DATA\\00\\Entry.txt", data, size);
  QvMessageSet set;
  set.OpenEntryFile(L"\\Store", nullptr);
  uint32_t folder = 0;
  set.GetMessageFolder(0, &folder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    RebuildTable(data + 1, size - 1);
  } else {
    ReadMessage(data + 1, size - 1);
  }
  return 0;
}
