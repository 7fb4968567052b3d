#include "engine/public/store/QvAccountCreator.h"

#include <memory>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/kernel/Debug.h"

namespace {

using Attributes = QvAccountInfoInterface::Attributes;

const wchar_t* const kMailTrays[4] = {L"受信ﾌｫﾙﾀﾞ", L"送信待ちﾎﾞｯｸｽ", L"送信ﾌｫﾙﾀﾞ", L"下書き"};
const wchar_t* const kFeedTrays[4] = {L"受信トレイ", L"送信待ちトレイ", L"送信済みトレイ", L"下書きトレイ"};
const wchar_t* const kSubFolders[3] = {L"ﾌｫﾙﾀﾞ1", L"ﾌｫﾙﾀﾞ2", L"ﾌｫﾙﾀﾞ3"};

bool FillFolders(QvAccountInfoInterface* account, bool feed) {
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  if (!storage) return false;
  std::unique_ptr<QvFolderInterface> root(storage->OpenRootFolder());
  if (!root) return false;
  unsigned long trays[4] = {};
  const wchar_t* const* names = feed ? kFeedTrays : kMailTrays;
  for (int i = 0; i < 4; ++i) {
    if (!root->CreateFolder(names[i], &trays[i])) return false;
  }
  Attributes settings;
  settings.ulJusinTrayID = static_cast<uint32_t>(trays[0]);
  settings.ulSousinTrayID = static_cast<uint32_t>(trays[1]);
  settings.ulSousinZumiTrayID = static_cast<uint32_t>(trays[2]);
  settings.ulSitagakiTrayID = static_cast<uint32_t>(trays[3]);
  for (uint32_t bit : {Attributes::kJusinTrayID, Attributes::kSousinTrayID, Attributes::kSousinZumiTrayID,
                       Attributes::kSitagakiTrayID}) {
    settings.Select(bit);
  }
  if (!account->SetAccountInfoAttributes(settings)) return false;
  if (feed) return true;
  for (unsigned long parent : {trays[0], trays[2]}) {
    std::unique_ptr<QvFolderInterface> folder(root->OpenFolder(parent));
    if (!folder) return false;
    for (const wchar_t* child : kSubFolders) {
      unsigned long id = 0;
      if (!folder->CreateFolder(child, &id)) return false;
    }
  }
  return true;
}

bool MakeFolders(const std::wstring& name, const std::wstring& key, bool feed) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, key));
  const bool created = !account;
  if (created) {
    account.reset(feed ? QvAccountInfoInterface::CreateFeed(name, key) : QvAccountInfoInterface::Create(name, key));
  }
  if (!account) return false;
  if (FillFolders(account.get(), feed)) return true;
  if (!created) return false;
  // A new account that could not be made whole goes again, folder and files,
  // so that no listing shows it half-made; the failure stays the one reported.
  const uint32_t failure = GetQvMiddleError();
  account.reset();
  if (!QvAccountInfoInterface::Delete(name, key)) NKDbgPrintfW(L"QvAccountCreator: a half-made account stays\r\n");
  SetQvMiddleError(failure);
  return false;
}

}  // namespace

bool QvAccountCreator::CreateFolders(const std::wstring& name) { return MakeFolders(name, L"", false); }

bool QvAccountCreator::CreateFeedFolders(const std::wstring& name, const std::wstring& key) {
  return MakeFolders(name, key, true);
}
