// The account the real-program runs work in: made on the device root, chosen
// as the last one used, sending as me@example.com through the tests' postfix
// and receiving from their dovecot where those are given.
#pragma once

#include <memory>
#include <string>

#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "tests/app/support/ProgramRoot.h"
#include "tests/support/DovecotPeer.h"
#include "tests/support/PostfixPeer.h"

namespace qv::test {

struct RunTrays {
  DWORD box = 0;     // the receive box
  DWORD drafts = 0;
};

// False when the engine refused any step. `user` is the dovecot mailbox.
inline bool MakeRunAccount(const std::wstring& name, PostfixPeer* smtp, DovecotPeer* pop, const std::string& user,
                           RunTrays* trays) {
  using Settings = QvAccountInfoInterface::Attributes;
  if (!MakeDataFolder() || !QvAccountCreator().CreateFolders(name) || !SetProgramValue(L"LastSelectAccount", name)) {
    return false;
  }
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  if (!account) return false;
  Settings read, s;
  read.Select(Settings::kJusinTrayID);
  read.Select(Settings::kSitagakiTrayID);
  if (!account->GetAccountInfoAttributes(&read)) return false;
  trays->box = read.ulJusinTrayID;
  trays->drafts = read.ulSitagakiTrayID;
  const auto wide = [](const std::string& t) { return std::wstring(t.begin(), t.end()); };
  // Every server field is written: a peer not given leaves its server empty.
  for (uint32_t bit : {Settings::kSenderAddress, Settings::kSmtpServerName, Settings::kSmtpServerPort,
                       Settings::kSmtpSvrAuthEnabled, Settings::kSmtpAuthEnabled, Settings::kSmtpUserName,
                       Settings::kSmtpPasswd, Settings::kSmtpPasswdSavingEnabled, Settings::kSendMessageInAMinuteEnabled,
                       Settings::kPopServerName, Settings::kPopServerPort, Settings::kPopUserName, Settings::kPopPasswd,
                       Settings::kPopPasswdSavingEnabled}) {
    s.Select(bit);
  }
  s.strSenderAddress = L"me@example.com";
  if (pop) {
    s.strPopServerName = L"localhost";
    s.uiPopServerPort = pop->PlainPort();
    s.strPopUserName = wide(user);
    s.strPopPasswd = wide(pop->Password());
    s.bPopPasswdSavingEnabled = true;
  }
  if (smtp) {
    s.strSmtpServerName = L"localhost";
    s.uiSmtpServerPort = smtp->PlainPort();
    s.bSmtpSvrAuthEnabled = s.bSmtpAuthEnabled = s.bSmtpPasswdSavingEnabled = true;
    s.strSmtpUserName = wide(smtp->User());
    s.strSmtpPasswd = wide(smtp->Password());
    s.bSendMessageInAMinuteEnabled = true;
  }
  return account->SetAccountInfoAttributes(s);
}

}  // namespace qv::test
