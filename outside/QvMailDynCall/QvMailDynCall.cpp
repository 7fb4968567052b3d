// Stand-in for the maker's phone-application bridge. The second-ring setting
// the mail program switches is not the phone's here: each call is recorded
// under HKCU "Software\Norvale\QvMailDynCall" as the last argument
// ("Last2ndRing") and the number of calls ("Calls2ndRing"). Saving into the
// phone book writes the device's contacts database: a new entry holds just
// the text; adding to an entry lets the user pick it in the phone book's
// chooser.
#include <string>

#include "platform/kernel/Library.h"
#include "platform/pim/ChooseContact.h"
#include "platform/registry/Registry.h"

#define QVMAILDYNCALL_API __attribute__((visibility("default")))

namespace {

constexpr wchar_t kKey[] = L"Software\\Norvale\\QvMailDynCall";

enum SaveKind { kPhone = 0, kMail = 1, kUrl = 2 };

HWND Owner = nullptr;

// The entry the user picks in the phone book's chooser; 0 when none.
CEOID PickContact() {
  HMODULE book = LoadLibraryW(L"Dialbook.dll");
  if (book == nullptr) return 0;
  CEOID picked = 0;
  if (auto choose = reinterpret_cast<ChooseContactProc>(
          reinterpret_cast<void (*)()>(GetProcAddressW(book, MAKEINTRESOURCEW(1))))) {
    CHOOSECONTACT request;
    request.cbStruct = kChooseContactRecordSize;
    request.hwndOwner = Owner;
    request.dwFlags = CCF_HIDENEW;
    request.lpstrTitle = L"連絡先選択";
    if (choose(&request) == S_OK) picked = request.oidContactID;
    PimFreeString(request.bstrContactName);
    PimFreeString(request.bstrPropertyValueSelected);
  }
  FreeLibrary(book);
  return picked;
}

// Puts the text into its field; a mail address takes the first free one
// of the three. False when there is no room.
bool Place(qv::pim::Contact* contact, const std::wstring& text, int kind) {
  if (kind == kUrl) return contact->SetProp(PIMPR_WEB_PAGE, text);
  if (kind == kPhone) return contact->SetProp(PIMPR_MOBILE_TELEPHONE_NUMBER, text);
  for (std::wstring& mail : contact->email) {
    if (mail == text) return true;
    if (mail.empty()) {
      mail = text;
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" {

QVMAILDYNCALL_API int PhonelibSet2ndRingFrEmailApp(int on) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      &disposition) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD calls = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof calls;
  if (RegQueryValueExW(key, L"Calls2ndRing", nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_DWORD ||
      size != sizeof calls ||
      RegQueryValueExW(key, L"Calls2ndRing", nullptr, &type, reinterpret_cast<BYTE*>(&calls), &size) != ERROR_SUCCESS) {
    calls = 0;
  }
  ++calls;
  const DWORD last = static_cast<DWORD>(on);
  const bool recorded =
      RegSetValueExW(key, L"Last2ndRing", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&last), sizeof last) ==
          ERROR_SUCCESS &&
      RegSetValueExW(key, L"Calls2ndRing", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&calls), sizeof calls) ==
          ERROR_SUCCESS;
  RegCloseKey(key);
  return recorded ? 1 : 0;
}

QVMAILDYNCALL_API int CKxPhoneAppExportSetApp(int /*app*/, HWND owner) {
  Owner = owner;
  return 0;
}

// 0 when the text was saved.
QVMAILDYNCALL_API int CKxPhoneAppExportSaveContact(const wchar_t* text, int kind, int existing) {
  if (text == nullptr || *text == L'\0' || kind < kPhone || kind > kUrl) return -1;
  qv::pim::PimApplication book;
  if (!book.Logon()) return -1;
  qv::pim::Contact contact;
  if (existing != 0) {
    std::optional<qv::pim::Contact> found = book.GetItemFromOid(PickContact());
    if (!found) return 1;
    contact = *found;
  }
  if (!Place(&contact, text, kind)) return -1;
  if (existing != 0) return book.Save(contact) ? 0 : -1;
  return book.Add(contact) != 0 ? 0 : -1;
}

}  // extern "C"
