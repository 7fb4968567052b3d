// The engine's public face for accounts: static operations create, list,
// find, open, rename and delete the accounts of a data folder, and an
// instance wraps one open account to read and write its settings and UID
// files and to open its storage, signatures and classification rules. The
// settings record is shared with every layer; the operations are built with
// the message store (engine/store), which they open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

class QvAccountInfo;
class QvClassificationParamInterface;
class QvSignatureInterface;
class QvStorageInterface;

class QVMIDDLE_API QvAccountInfoInterface {
 public:
  // One account's settings: a 64-bit mask, then the fields. Mask bit i selects
  // field i (in the order below) to be read or written; every read and write
  // clears the mask. Bits 32 and 39 (the virtual tray ids) and 43-63 select
  // nothing that is stored.
  struct Attributes {
    enum Bit : uint32_t {
      kSenderName = 0,
      kSenderAddress,
      kPopServerName,
      kPopServerPort,
      kPopUserName,
      kPopPasswd,
      kAPOPEnabled,
      kPopPasswdSavingEnabled,
      kMessageLeavingEnabled,
      kPartialRetrievingEnabled,
      kPartialRetrievingLines,
      kSmtpServerName,
      kSmtpServerPort,
      kUseSameUserPass,
      kSmtpUserName,
      kSmtpPasswd,
      kSmtpPasswdSavingEnabled,
      kNetworkSetting,
      kAutoMailRetrievingEnabled,
      kPopBeforeSmtpEnabled,
      kPopBeforeSmtpLatencySec,
      kSmtpAuthEnabled,
      kSendMessageInAMinuteEnabled,
      kRemoveOldMessageEnabled,
      kRemoveOldMessageCnt,
      kLastUid,
      kAutoMailRetrievingRetryEnabled,
      kAutoMailRetrievingRetryCnt,
      kJusinTrayID,
      kSousinTrayID,
      kSousinZumiTrayID,
      kSitagakiTrayID,
      kPartialTrayID,
      kTaccount,
      kUseSignatureIndex,
      kUseSignature,
      kJunkaiJushinEnabled,
      kSmtpSvrAuthEnabled,
      kUseQuotationEnabled,
      kUnreadTrayID,
      kPeriodicRetrievingEnabled,
      kSSLEnabled,
      kAccountName,
      kFieldCount
    };

    void Select(uint32_t bit) {
      if (bit < 64) mask[bit / 32] |= 1u << (bit % 32);
    }
    bool Selected(uint32_t bit) const { return bit < 64 && (mask[bit / 32] & (1u << (bit % 32))) != 0; }
    void SelectAll() {
      for (uint32_t bit = 0; bit < kFieldCount; ++bit) Select(bit);
    }
    void ClearMask() { mask[0] = mask[1] = 0; }
    bool MaskEmpty() const { return mask[0] == 0 && mask[1] == 0; }

    uint32_t mask[2] = {0, 0};  // low word first
    std::wstring strSenderName;
    std::wstring strSenderAddress;
    std::wstring strPopServerName;
    uint32_t uiPopServerPort = 0;
    std::wstring strPopUserName;
    std::wstring strPopPasswd;
    bool bAPOPEnabled = false;
    bool bPopPasswdSavingEnabled = false;
    // Handed to the POP3 client as its delete flag: true deletes received mail on the server.
    bool bMessageLeavingEnabled = false;
    bool bPartialRetrievingEnabled = false;
    uint32_t uiPartialRetrievingLines = 0;
    std::wstring strSmtpServerName;
    uint32_t uiSmtpServerPort = 0;
    bool bUseSameUserPass = false;
    std::wstring strSmtpUserName;
    std::wstring strSmtpPasswd;
    bool bSmtpPasswdSavingEnabled = false;
    GUID guidNetworkSetting = {};
    bool bAutoMailRetrievingEnabled = false;
    bool bPopBeforeSmtpEnabled = false;
    uint32_t ulPopBeforeSmtpLatencySec = 0;
    bool bSmtpAuthEnabled = false;
    bool bSendMessageInAMinuteEnabled = false;
    bool bRemoveOldMessageEnabled = false;
    uint32_t ulRemoveOldMessageCnt = 0;
    std::wstring strLastUid;
    bool bAutoMailRetrievingRetryEnabled = false;
    uint32_t uiAutoMailRetrievingRetryCnt = 0;
    uint32_t ulJusinTrayID = 0;
    uint32_t ulSousinTrayID = 0;
    uint32_t ulSousinZumiTrayID = 0;
    uint32_t ulSitagakiTrayID = 0;
    uint32_t ulPartialTrayID = 0x10001;  // not stored
    bool bTaccount = false;
    int32_t iUseSignature = 0;
    bool bUseSignature = false;
    bool bJunkaiJushinEnabled = false;
    bool bSmtpSvrAuthEnabled = false;
    bool bUseQuotationEnabled = false;
    uint32_t ulUnreadTrayID = 0x10002;  // not stored
    bool bPeriodicRetrievingEnabled = false;
    bool bSSLEnabled = false;
    std::wstring strAccountName;
  };

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
