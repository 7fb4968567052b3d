// The device's contacts database, shaped after the device's personal
// information store: one application object that logs on, the contacts
// folder's item collection, restriction by a small query language, items
// by object id, string properties, and the find-matching-contact call.
// The database is one UTF-16 file under the device root, rewritten whole
// through a "_tmp" copy and an atomic replace; readers take the complete
// records of whatever file they find, so a cut file loses at most its tail.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/WinTypes.h"

typedef DWORD CEOID;
typedef DWORD CEPROPID;

// String properties of a contact (the low word 0x1F marks a wide string).
constexpr CEPROPID PIMPR_FIRST_NAME = 0x0082001Fu;
constexpr CEPROPID PIMPR_LAST_NAME = 0x0084001Fu;
constexpr CEPROPID PIMPR_FILEAS = 0x0086001Fu;
constexpr CEPROPID PIMPR_EMAIL1_ADDRESS = 0x0090001Fu;
constexpr CEPROPID PIMPR_EMAIL2_ADDRESS = 0x0091001Fu;
constexpr CEPROPID PIMPR_EMAIL3_ADDRESS = 0x0092001Fu;
constexpr CEPROPID PIMPR_WEB_PAGE = 0x0095001Fu;
constexpr CEPROPID PIMPR_MOBILE_TELEPHONE_NUMBER = 0x0096001Fu;
// Any of the three e-mail addresses (what a chooser asks a contact to have).
constexpr CEPROPID PIMPR_ALL_EMAIL = 0x1801001Fu;

constexpr int olFolderContacts = 10;
// Flags of FindMatchingContact: match the e-mail addresses.
constexpr DWORD FMCF_FINDEMAIL = 2;

namespace qv::pim {

// The database file, below the device root.
constexpr const wchar_t* kContactsFile = L"\\pim.vol";

struct QV_PLATFORM_API Contact {
  CEOID oid = 0;
  std::wstring firstName;
  std::wstring lastName;
  std::wstring fileAs;
  std::wstring email[3];
  std::wstring webPage;
  std::wstring mobilePhone;

  // The string property `id`; false for a property a contact does not have.
  bool GetProp(CEPROPID id, std::wstring* out) const;
  bool SetProp(CEPROPID id, const std::wstring& value);
  // Null for a property a contact does not have.
  std::wstring* Field(CEPROPID id);
  bool operator==(const Contact&) const = default;
  bool HasEmail() const { return !email[0].empty() || !email[1].empty() || !email[2].empty(); }
};

// The file's records: complete, well-formed ones only, first of each oid.
QV_PLATFORM_API std::vector<Contact> ParseContacts(std::string_view bytes);
QV_PLATFORM_API std::string FormatContacts(const std::vector<Contact>& contacts);

class QV_PLATFORM_API ItemCollection {
 public:
  explicit ItemCollection(std::vector<Contact> items) : items_(std::move(items)) {}
  int Count() const { return static_cast<int>(items_.size()); }
  // 1-based, as the device's collections count; null outside.
  const Contact* Item(int index) const;
  // The items the query keeps: conditions [Property] = "text" or
  // [Property] <> "text" (letter case ignored), joined by AND (binding
  // first) and OR. None for a query it cannot read or when no item is kept.
  std::optional<ItemCollection> Restrict(std::wstring_view query) const;

 private:
  std::vector<Contact> items_;
};

// The application object. Every read takes the file as it stands, so what
// another process saved is seen at once.
class QV_PLATFORM_API PimApplication {
 public:
  // False when the database exists but cannot be read.
  bool Logon();
  void Logoff() { loggedOn_ = false; }
  bool LoggedOn() const { return loggedOn_; }

  // The items of a default folder; only the contacts folder is kept here.
  std::optional<ItemCollection> Items(int folder) const;
  std::optional<Contact> GetItemFromOid(CEOID oid) const;
  // The first contact (by oid) holding `address` in one of its e-mail
  // fields, letter case ignored; 0 when none or `flags` asks for no e-mail.
  CEOID FindMatchingContact(std::wstring_view address, DWORD flags) const;

  // Adds a contact under a new oid (returned; 0 on failure).
  CEOID Add(Contact contact);
  // Replaces the stored contact of the same oid; false when it is gone.
  bool Save(const Contact& contact);

 private:
  bool loggedOn_ = false;
};

}  // namespace qv::pim
