// The account sheet's first page: sender, signature switch, servers, user
// and password (template 115, menu bar 151).
#pragma once

#include <string>
#include <vector>

#include "app/shell/account/QvAccountScrollPage.h"
#include "platform/framework/CString.h"

class QvSetAccountMainPage : public QvAccountScrollPage {
 public:
  static constexpr UINT kTemplate = 115;
  enum Control {
    kSenderName = 1062, kSenderAddress = 1061, kUseSignature = 1044, kSignatureButton = 1019,
    kPopServer = 1057, kSmtpServer = 1067, kPopUser = 1058, kPopPassword = 1055, kSavePassword = 1036,
  };
  static constexpr int kNameLimit = 128;
  static constexpr int kServerLimit = 256;
  static constexpr UINT kRequiredText = 20046;
  static constexpr UINT kBlankInServerText = 20391;

  QvSetAccountMainPage() : QvAccountScrollPage(kTemplate, 151, true) {}

  CString senderName, senderAddress, popServer, smtpServer, popUser, popPassword;
  int useSignature = BST_CHECKED;
  int savePassword = BST_UNCHECKED;
  // Carried for the signature page and the sheet.
  CString accountName;
  bool carrier = false;
  std::vector<std::wstring> signatures;
  int signatureChoice = 0;  // 0 the first, 1 the second
  bool periodic = false;
  bool periodicReceiveOn = false;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  // The checks of OK: the required fields, then ASCII, then the server names.
  BOOL OnApply() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnSignature();
};
