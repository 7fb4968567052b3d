#include "app/foundation/Contacts.h"

#include <map>
#include <memory>

#include "app/foundation/MessageBoxes.h"
#include "platform/kernel/Library.h"
#include "platform/pim/ChooseContact.h"

namespace {

using qv::pim::Contact;
using qv::pim::PimApplication;

constexpr wchar_t kEmailQuery[] =
    L" [Email1Address] <> \"\" OR [Email2Address] <> \"\" OR [Email3Address] <> \"\" ";

ContactsHooks Hooks;
std::unique_ptr<PimApplication> Session;  // set while a session is held
bool SessionFlag = false;

// Text to text, at most 100 entries; the lowest key goes first.
class NameCache {
 public:
  bool Get(const std::wstring& key, std::wstring* name) const {
    auto found = map_.find(key);
    if (found == map_.end() || found->second.empty()) return false;
    *name = found->second;
    return true;
  }
  void Put(const std::wstring& key, const std::wstring& name) {
    map_[key] = name;
    if (map_.size() > kContactCacheSize) map_.erase(map_.begin());
  }
  void Clear() { map_.clear(); }

 private:
  std::map<std::wstring, std::wstring> map_;
};

NameCache ListCache;
NameCache LookupCache;

// The contact's name when one of its addresses is exactly `address`.
bool NameOf(const PimApplication& app, const std::wstring& address, std::optional<CEOID> oid, std::wstring* name) {
  name->clear();
  const CEOID id = oid ? *oid : app.FindMatchingContact(address, FMCF_FINDEMAIL);
  if (id == 0) return false;
  std::optional<Contact> contact = app.GetItemFromOid(id);
  if (!contact) return false;
  std::wstring mail[3];
  const CEPROPID fields[] = {PIMPR_EMAIL1_ADDRESS, PIMPR_EMAIL2_ADDRESS, PIMPR_EMAIL3_ADDRESS};
  bool matched = false;
  for (size_t i = 0; i < 3; ++i) matched |= contact->GetProp(fields[i], &mail[i]) && mail[i] == address;
  if (!matched) return false;
  // Family name first, as the phone book shows Japanese names.
  std::wstring last, first;
  contact->GetProp(PIMPR_LAST_NAME, &last);
  contact->GetProp(PIMPR_FIRST_NAME, &first);
  *name = last + first;
  return !name->empty();
}

bool CachedLookup(NameCache& cache, const std::wstring& address, std::wstring* name, std::optional<CEOID> oid) {
  if (!SessionFlag) {
    PimApplication temporary;
    return temporary.Logon() && NameOf(temporary, address, oid, name);
  }
  if (cache.Get(address, name)) return true;
  if (!NameOf(*Session, address, std::nullopt, name)) return false;
  cache.Put(address, *name);
  return true;
}

bool ChooseFromContacts(HWND owner, std::wstring* address) {
  if (!HasContactsWithEmail()) {
    ShowNoticeBoxRes(owner, kNoContactsNotice);
    return false;
  }
  HMODULE book = LoadLibraryW(L"Dialbook.dll");
  if (book == nullptr) return false;
  auto choose = reinterpret_cast<ChooseContactProc>(
      reinterpret_cast<void (*)()>(GetProcAddressW(book, MAKEINTRESOURCEW(1))));
  bool chosen = false;
  if (choose != nullptr) {
    const CEPROPID required[] = {PIMPR_ALL_EMAIL};
    CHOOSECONTACT request;
    request.cbStruct = kChooseContactRecordSize;
    HWND active = GetActiveWindow();
    request.hwndOwner = active != nullptr ? active : owner;
    request.dwFlags = CCF_HIDENEW | CCF_CHOOSEPROPERTY;
    request.lpstrTitle = L"連絡先選択";
    request.lpstrChoosePropertyText = L"E-Mail選択";
    request.cRequiredProperties = 1;
    request.rgpropidRequiredProperties = required;
    if (choose(&request) == S_OK && request.bstrPropertyValueSelected != nullptr) {
      const std::wstring value = request.bstrPropertyValueSelected;
      std::wstring name;
      *address = FindContactByEmail(value, &name, request.oidContactID) ? FormatNamedAddress(name, value) : value;
      chosen = true;
    }
    PimFreeString(request.bstrPropertyValueSelected);
    PimFreeString(request.bstrContactName);
  }
  FreeLibrary(book);
  return chosen;
}

bool ChooseFromHistory(HWND owner, std::wstring* address, int mode) {
  if (Hooks.chooseHistory == nullptr) return false;
  std::wstring name, mail;
  const int result = Hooks.chooseHistory(owner, mode, &name, &mail);
  if (result < 0) {
    ShowNoticeBoxRes(owner, mode == 0 ? kRecvHistoryLoadFailed : kSendHistoryLoadFailed);
    return false;
  }
  if (result == 0 || (name.empty() && mail.empty())) return false;
  *address = FormatNamedAddress(name, mail);
  return true;
}

// Loads the bridge, tells it who asks, hands the text over.
bool SaveToPhoneBook(HWND owner, const std::wstring& text, int kind, int existing) {
  HMODULE bridge = LoadLibraryW(L"QvMailDynCall.dll");
  if (bridge == nullptr) return false;
  using SetApp = int (*)(int, HWND);
  using SaveContact = int (*)(const wchar_t*, int, int);
  auto setApp = reinterpret_cast<SetApp>(
      reinterpret_cast<void (*)()>(GetProcAddressA(bridge, "CKxPhoneAppExportSetApp")));
  auto save = reinterpret_cast<SaveContact>(
      reinterpret_cast<void (*)()>(GetProcAddressA(bridge, "CKxPhoneAppExportSaveContact")));
  bool saved = false;
  if (setApp != nullptr && save != nullptr) {
    setApp(4, owner);
    saved = save(text.c_str(), kind, existing) == 0;
  }
  FreeLibrary(bridge);
  if (saved) NotifyContactsChanged();
  return saved;
}

}  // namespace

void SetContactsHooks(const ContactsHooks& hooks) { Hooks = hooks; }

bool AcquirePoomSession() {
  if (!Session) {
    auto app = std::make_unique<PimApplication>();
    if (!app->Logon()) return false;
    Session = std::move(app);
  }
  SessionFlag = true;
  return true;
}

void ReleasePoomSession() {
  SessionFlag = false;
  if (Session) Session->Logoff();
  Session.reset();
}

bool HasContactsWithEmail() {
  PimApplication temporary;
  PimApplication* app = Session ? Session.get() : &temporary;
  if (!Session && !temporary.Logon()) return false;
  std::optional<qv::pim::ItemCollection> items = app->Items(olFolderContacts);
  return items && items->Restrict(kEmailQuery).has_value();
}

bool FindContactByEmail(const std::wstring& address, std::wstring* name, std::optional<CEOID> oid) {
  return CachedLookup(ListCache, address, name, oid);
}

bool LookupContactName(const std::wstring& address, std::wstring* name) {
  return CachedLookup(LookupCache, address, name, std::nullopt);
}

bool ReadItemString(const Contact& item, std::wstring* text) { return item.GetProp(PIMPR_FILEAS, text); }

void NotifyContactsChanged() {
  if (Hooks.clearHeaderCache != nullptr) Hooks.clearHeaderCache();
  ListCache.Clear();
  LookupCache.Clear();
  HWND main = Hooks.mainWindow != nullptr ? Hooks.mainWindow() : nullptr;
  if (main != nullptr) PostMessageW(main, kContactsChangedMessage, 0, 0);
}

bool ChooseContactAddress(HWND owner, std::wstring* address, int source) {
  switch (source) {
    case kFromContacts: return ChooseFromContacts(owner, address);
    case kFromRecvHistory: return ChooseFromHistory(owner, address, 0);
    case kFromSendHistory: return ChooseFromHistory(owner, address, 1);
    default: return false;
  }
}

std::wstring FormatNamedAddress(const std::wstring& name, const std::wstring& address) {
  std::wstring out;
  if (!name.empty()) {
    out = L"\"";
    for (wchar_t c : name) {
      if (c == L'"' || c == L'\\') out += L'\\';
      out += (c < L' ' || c == 0x7F) ? L' ' : c;
    }
    out += L"\"";
  }
  out += L'<';
  for (wchar_t c : address) {
    if (c >= L' ' && c != 0x7F) out += c;
  }
  out += L'>';
  return out;
}

bool SaveAddressToNewContact(HWND owner, const std::wstring& address) { return SaveToPhoneBook(owner, address, 1, 0); }
bool SaveAddressToExistingContact(HWND owner, const std::wstring& address) {
  return SaveToPhoneBook(owner, address, 1, 1);
}
bool SaveUrlToContact(HWND owner, const std::wstring& url, int existing) {
  return SaveToPhoneBook(owner, url, 2, existing);
}
bool SavePhoneToContact(HWND owner, const std::wstring& number, int existing) {
  return SaveToPhoneBook(owner, number, 0, existing);
}
