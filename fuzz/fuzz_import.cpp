// Mail files a user picks for import may hold any bytes. Each input is one
// file imported into the inbox of an account made once per run; what was
// stored is removed again so the folder never fills.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageImporter.h"
#include "engine/public/store/QvStorageInterface.h"
#include "fuzz/FuzzDeviceFile.h"
#include "platform/kernel/Files.h"

namespace {

// Kept for the whole run, reachable from here.
QvAccountInfoInterface* g_account = nullptr;
QvStorageInterface* g_storage = nullptr;

QvFolderInterface* Inbox() {
  static QvFolderInterface* inbox = [] {
    WriteFuzzDeviceFile(L"\\in.eml", nullptr, 0);  // sets the scratch root
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(L"\\Application Data\\QuvoMail\\", nullptr);
    SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"DataPath", L"\\Application Data\\QuvoMail\\");
    if (!QvAccountCreator().CreateFolders(L"fuzz")) abort();
    g_account = QvAccountInfoInterface::OpenAccountInfo(L"fuzz", L"");
    QvAccountInfoInterface::Attributes a;
    a.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
    if (g_account == nullptr || !g_account->GetAccountInfoAttributes(&a)) abort();
    g_storage = g_account->OpenStorage();
    QvFolderInterface* folder = g_storage != nullptr ? g_storage->OpenFolder(a.ulJusinTrayID) : nullptr;
    if (folder == nullptr) abort();
    return folder;
  }();
  return inbox;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QvFolderInterface* inbox = Inbox();
  WriteFuzzDeviceFile(L"\\in.eml", data, size);
  QvMessageImporter importer;
  importer.SetSource({L"\\in.eml"});
  importer.SetDestination(inbox);
  importer.Fire(nullptr);
  std::vector<unsigned long> ids;
  if (inbox->GetMessageIds(&ids) && !ids.empty()) inbox->RemoveMessage(ids);
  return 0;
}
