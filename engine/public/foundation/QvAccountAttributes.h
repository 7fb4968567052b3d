// One account's settings record, as the account's settings file holds it and
// the engine's account facade hands it out.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/WinTypes.h"

// One account's settings: a 64-bit mask, then the fields. Mask bit i selects
// field i (in the order below) to be read or written; every read and write
// clears the mask. Bits 32 and 39 (the virtual tray ids) and 43-63 select
// nothing that is stored.
struct QvAccountAttributes {
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
