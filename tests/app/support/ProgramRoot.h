// A device root with the accounts a person would have, made through the
// engine: the program's tests, its display tests and its benchmarks start
// from it. The first account has the three folders every account starts
// with below its receive box and mail spread over the box and them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/Files.h"
#include "platform/registry/Registry.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"

namespace qv::test {

struct SeededAccount {
  std::wstring name;
  int messages = 0;  // spread over the receive box and its child folders
  int unread = 0;    // the first ones stored are unread
};

// The two accounts of the program's tests: 120 messages, 17 unread, and a
// small second one.
inline const std::vector<SeededAccount>& TwoAccounts() {
  static const std::vector<SeededAccount> accounts = {{L"仕事", 120, 17}, {L"個人", 6, 2}};
  return accounts;
}

// Makes the account and stores its mail; false when the engine refused.
inline bool MakeSeededAccount(const SeededAccount& a) {
  if (!QvAccountCreator().CreateFolders(a.name)) {
    return false;
  }
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(a.name, L""));
  if (!account) return false;
  QvAccountInfoInterface::Attributes s;
  s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  if (!account->GetAccountInfoAttributes(&s)) return false;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  if (!storage) return false;
  std::unique_ptr<QvFolderInterface> inbox(storage->OpenFolder(s.ulJusinTrayID));
  std::vector<unsigned long> folders = {s.ulJusinTrayID};
  std::vector<unsigned long> children;
  if (!inbox || !inbox->GetFolderIds(&children)) return false;
  folders.insert(folders.end(), children.begin(), children.end());
  for (int i = 0; i < a.messages; ++i) {
    std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(folders[static_cast<size_t>(i) % folders.size()]));
    if (!folder) return false;
    QvMessageInterface::Attributes attributes;
    attributes.mask = QvMessageInterface::kUnread | QvMessageInterface::kKind | QvMessageInterface::kDate;
    attributes.unread = i < a.unread;
    attributes.kind = QvMessageInterface::kReceived;
    attributes.date = SYSTEMTIME{2026, 12, 3, 8, 9, static_cast<WORD>(i % 60), 0, 0};
    const std::string raw = "From: sender" + std::to_string(i) + "@example.jp\r\nSubject: message " +
                            std::to_string(i) + "\r\n\r\nbody\r\n";
    unsigned long id = 0;
    if (!folder->CreateMessage(&id, attributes, raw)) return false;
  }
  return true;
}

// A text value under the program's key.
inline bool SetProgramValue(const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", 0, nullptr, 0, 0, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG set = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>((text.size() + 1) * 2));
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

// How many messages a folder of an account holds; -1 when it cannot be read.
inline size_t CountStored(const std::wstring& name, DWORD folderId) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  std::unique_ptr<QvStorageInterface> storage(account ? account->OpenStorage() : nullptr);
  std::unique_ptr<QvFolderInterface> folder(storage ? storage->OpenFolder(folderId) : nullptr);
  std::vector<unsigned long> ids;
  return folder && folder->GetMessageIds(&ids) ? ids.size() : static_cast<size_t>(-1);
}

// The raw text of every message of a folder of an account, oldest first.
inline std::vector<std::string> RawStored(const std::wstring& name, DWORD folderId) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  std::unique_ptr<QvStorageInterface> storage(account ? account->OpenStorage() : nullptr);
  std::unique_ptr<QvFolderInterface> folder(storage ? storage->OpenFolder(folderId) : nullptr);
  std::vector<unsigned long> ids;
  std::vector<std::string> out;
  if (!folder || !folder->GetMessageIds(&ids)) return out;
  for (unsigned long id : ids) {
    std::unique_ptr<QvMessageInterface> m(folder->OpenMessage(id));
    std::string raw;
    if (m && m->Read(&raw)) out.push_back(raw);
  }
  return out;
}

// The data folder an installed program has, named in the registry.
inline bool MakeDataFolder() {
  CreateDirectoryW(L"\\Application Data", nullptr);
  CreateDirectoryW(L"\\Application Data\\QuvoMail\\", nullptr);
  return SetProgramValue(L"DataPath", L"\\Application Data\\QuvoMail\\");
}

// Both accounts, the first one the last selected.
inline bool MakeTwoAccountRoot() {
  if (!MakeDataFolder()) return false;
  for (const SeededAccount& a : TwoAccounts()) {
    if (!MakeSeededAccount(a)) return false;
  }
  return SetProgramValue(L"LastSelectAccount", TwoAccounts()[0].name);
}

}  // namespace qv::test
