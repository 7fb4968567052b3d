// The contacts as the program meets them: names of known contacts beside
// mail addresses (answered from two caches while a session is held), the
// choice of an address from the phone book's chooser or the histories, and
// saving addresses, links and numbers into the phone book through the
// phone program's bridge. UI thread only.
#pragma once

#include <optional>
#include <string>

#include "app/protocol/WindowMessages.h"
#include "platform/pim/Pim.h"
#include "platform/ui/WinUser.h"

constexpr UINT kNoContactsNotice = 20150;
constexpr UINT kRecvHistoryLoadFailed = 20219;
constexpr UINT kSendHistoryLoadFailed = 20220;
constexpr size_t kContactCacheSize = 100;

enum ContactSource { kFromContacts = 0, kFromRecvHistory = 1, kFromSendHistory = 2 };

// What the mail operations and the shell lend the contacts: the mail lists'
// header cache, the main window, and the history dialog (mode 0 receive, 1
// send: -1 when its list could not be loaded, 1 with the chosen entry's
// name and address when it ended with OK and one was chosen, else 0).
struct ContactsHooks {
  void (*clearHeaderCache)() = nullptr;
  HWND (*mainWindow)() = nullptr;
  int (*chooseHistory)(HWND owner, int mode, std::wstring* name, std::wstring* address) = nullptr;
};
void SetContactsHooks(const ContactsHooks& hooks);

bool AcquirePoomSession();
void ReleasePoomSession();
bool HasContactsWithEmail();
bool FindContactByEmail(const std::wstring& address, std::wstring* name, std::optional<CEOID> oid = std::nullopt);
bool LookupContactName(const std::wstring& address, std::wstring* name);
bool ReadItemString(const qv::pim::Contact& item, std::wstring* text);
void NotifyContactsChanged();
bool ChooseContactAddress(HWND owner, std::wstring* address, int source);

// "name"<address>, the name quoted as RFC 5322 wants it ('"' and '\'
// escaped); line ends and other control characters, which would break the
// header the text lands in, become blanks in the name and go from the
// address. An empty name gives <address>.
std::wstring FormatNamedAddress(const std::wstring& name, const std::wstring& address);

bool SaveAddressToNewContact(HWND owner, const std::wstring& address);
bool SaveAddressToExistingContact(HWND owner, const std::wstring& address);
bool SaveUrlToContact(HWND owner, const std::wstring& url, int existing);
bool SavePhoneToContact(HWND owner, const std::wstring& number, int existing);
