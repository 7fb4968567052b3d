// Folder lists, message lists and the id counter are read back after crashes
// and written by other processes: their parsers must stay inside any bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/QvFolderEntry.h"
#include "engine/store/QvIdTraits.h"
#include "engine/store/QvMessageEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  std::vector<FolderEntryRecord> folders;
  if (QvFolderEntry::Parse(bytes, &folders) == 0x2000000) {
    std::string again;
    QvFolderEntry::Format(folders, &again);
  }
  std::vector<MessageEntryRecord> messages;
  if (QvMessageEntry::Parse(bytes, &messages) == 0x2000000) {
    std::string again;
    QvMessageEntry::Format(messages, &again);
  }
  uint32_t next = 0;
  uint32_t count = 0;
  QvIdTraits::ParseStatus(bytes.data(), bytes.size(), &next, &count);
  return 0;
}
