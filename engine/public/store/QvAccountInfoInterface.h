// The engine's public face for accounts: static operations create, list,
// find, open, rename and delete the accounts of a data folder, and an
// instance wraps one open account to read and write its settings and UID
// files and to open its storage, signatures and classification rules. The
// operations are built with the message store (engine/store), which they
// open; the settings record is QvAccountAttributes, which the engine's
// foundation reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/foundation/QvAccountAttributes.h"
#include "platform/base/WinTypes.h"

class QvAccountInfo;
class QvClassificationParamInterface;
class QvSignatureInterface;
class QvStorageInterface;

class QVMIDDLE_API QvAccountInfoInterface {
 public:
  // One account's settings (shared with every layer of the engine).
  using Attributes = QvAccountAttributes;

  // Takes over one reference of the open-account cache's object.
  explicit QvAccountInfoInterface(QvAccountInfo* account);
  ~QvAccountInfoInterface();
  QvAccountInfoInterface(const QvAccountInfoInterface&) = delete;
  QvAccountInfoInterface& operator=(const QvAccountInfoInterface&) = delete;

  // Every static operation takes the registry key below HKCU that holds
  // "DataPath"; empty means "Software\Norvale\QvMail".
  static bool CheckValidChar(const std::wstring& name);
  static QvAccountInfoInterface* Create(const std::wstring& name, const std::wstring& key);
  static QvAccountInfoInterface* CreateFeed(const std::wstring& name, const std::wstring& key);
  static bool Rename(const std::wstring& oldName, const std::wstring& newName, const std::wstring& key = L"");
  static bool Delete(const std::wstring& name, const std::wstring& key);
  static QvAccountInfoInterface* OpenAccountInfo(const std::wstring& name, const std::wstring& key);
  static QvAccountInfoInterface* OpenAccountInfoFromFolder(const std::wstring& folder, const std::wstring& key);
  static QvAccountInfoInterface* OpenAccountInfoFromPhoneNumber(const std::wstring& number,
                                                                const std::wstring& key);
  // Writes at most size - 1 units and the NUL; false when the name does not fit.
  static bool GetAccountNameFromPhoneNumber(const std::wstring& number, wchar_t* out, size_t size);
  static bool GetAccountNameList(std::vector<std::wstring>* names, const std::wstring& key);
  static bool GetAccountFolderPath(const std::wstring& name, std::wstring* path, const std::wstring& key = L"");
  static bool IsExistAccount(const std::wstring& name, const std::wstring& key);
  static bool GetAccountPhoneNumberFromName(const std::wstring& name, std::wstring* number,
                                            const std::wstring& key);

  bool GetAccountInfoAttributes(Attributes* attributes);
  bool SetAccountInfoAttributes(Attributes& attributes);
  // The account's folder path without the data folder's part.
  bool GetAccountName(std::wstring* name);
  bool GetLastUID(std::wstring* uid);
  bool SaveLastUID(const std::string& uid);
  bool GetUIDL(std::list<std::wstring>* uids);
  bool SaveUIDL(const std::list<std::wstring>& uids);
  QvStorageInterface* OpenStorage();
  QvSignatureInterface* OpenSignature();
  QvClassificationParamInterface* OpenClassificationParamInterface();

  QvAccountInfo* Account() const { return account_; }

 private:
  QvAccountInfo* account_;
};
