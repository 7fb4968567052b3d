// What belongs to the device rather than to one account: the carrier's own
// mail account, the feed reader's account, whether this system is the
// default mailer, and the device's phone number. The carrier account's name
// is kept in "SystemInfo.ini" of the system folder ("SystemInfoPath"); the
// device's set-up tools create the carrier and feed accounts through here.
#pragma once

#include <cstddef>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/store/QvAccountInfoInterface.h"

class QvProfileManipulator;

class QVMIDDLE_API QvSystemInfoInterface {
 public:
  // The sender address the feed account is given; the connection controller
  // recognises the feed account by exactly this value.
  static constexpr wchar_t kFeedSenderAddress[] = L"server@rivulet.invalid";
  // The POP server of the one-string feed set-up: the carrier's sign-up page.
  static constexpr wchar_t kSignUpAddress[] = L"http://signup.tvela.invalid/setup/setup.asp";

  // A new object (the caller deletes it).
  static QvSystemInfoInterface* GetSystemInfo();
  QvSystemInfoInterface();
  ~QvSystemInfoInterface();
  QvSystemInfoInterface(const QvSystemInfoInterface&) = delete;
  QvSystemInfoInterface& operator=(const QvSystemInfoInterface&) = delete;

  // The carrier account's name from "SystemInfo.ini" of the folder `key`
  // names (empty: "Software\Norvale\QvMail"), in either form the file is
  // written: the bare name or the key "strAccountName". False when there is
  // none.
  static bool GetTAccount(std::wstring& name, const std::wstring& key = L"");
  // Makes (or takes over) the account of the phone number `number` as the
  // carrier's account, with the carrier's settings forced into `attributes`.
  bool SetTAccount(const std::wstring& number, QvAccountInfoInterface::Attributes& attributes,
                   const std::wstring& key = L"");
  // Writes `text` as the whole of "SystemInfo.ini"; false when the folder is
  // not named or the file cannot be written (0x2000002).
  bool ChangeSystemIni(const std::wstring& text);
  // Writes the name as the key "strAccountName" into the default folder's file.
  static bool SetSystemInfo(const std::wstring& name);
  // The feed reader's account "Server", in the feed reader's data folder.
  bool SetFAccount(QvAccountInfoInterface::Attributes& attributes);
  bool SetFAccount(const std::wstring& smtpServer);
  bool SetFAccount(const std::wstring& popServer, const std::wstring& smtpServer);
  bool ChangeDefMail(int value);
  // 0 when not the default mailer (or unknown), 1 when it is, 2 otherwise.
  static int IsDefMail();
  // The device's phone number into a buffer of `size` units; false (and the
  // buffer empty) when it is not set.
  bool GetPhonenum(wchar_t* buffer, size_t size);
  // The same for the 130-unit buffer callers have always handed.
  bool GetPhonenum(wchar_t* buffer);

 private:
  QvProfileManipulator* profile_;  // the shared "SystemInfo.ini" object, not owned
  std::wstring systemFolder_;  // ending with "\"
};
