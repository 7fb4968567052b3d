#include "platform/pim/Pim.h"

#include <algorithm>
#include <cstdint>

#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"

namespace qv::pim {
namespace {

// First line of the file; each record then is one line of nine fields (oid,
// first, last, file-as, three addresses, web page, mobile) apart by tabs,
// ended by CR LF.
constexpr std::wstring_view kMagic = L"QvPim 1";
constexpr size_t kFields = 9;
constexpr wchar_t kTmpFile[] = L"\\pim.vol_tmp";
// Bounds what a hostile file can make us hold.
constexpr size_t kMaxFileBytes = 16u << 20;

std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\t': out += L"\\t"; break;
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      default: out += c;
    }
  }
  return out;
}

bool Unescape(std::wstring_view text, std::wstring* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\\') {
      *out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case L'\\': *out += L'\\'; break;
      case L't': *out += L'\t'; break;
      case L'r': *out += L'\r'; break;
      case L'n': *out += L'\n'; break;
      default: return false;
    }
  }
  return true;
}

bool ParseOid(std::wstring_view text, CEOID* oid) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
  }
  if (value == 0 || value > 0xFFFFFFFFu) return false;
  *oid = static_cast<CEOID>(value);
  return true;
}

std::optional<Contact> ParseRecord(std::wstring_view line) {
  std::wstring_view fields[kFields];
  size_t count = 0;
  for (size_t start = 0;;) {
    const size_t tab = line.find(L'\t', start);
    if (count == kFields) return std::nullopt;
    fields[count++] = line.substr(start, tab == std::wstring_view::npos ? std::wstring_view::npos : tab - start);
    if (tab == std::wstring_view::npos) break;
    start = tab + 1;
  }
  Contact c;
  if (count != kFields || !ParseOid(fields[0], &c.oid)) return std::nullopt;
  std::wstring* targets[] = {&c.firstName, &c.lastName, &c.fileAs,  &c.email[0],
                             &c.email[1],   &c.email[2],  &c.webPage, &c.mobilePhone};
  for (size_t i = 0; i < kFields - 1; ++i) {
    if (!Unescape(fields[i + 1], targets[i])) return std::nullopt;
  }
  return c;
}

// Holds the writers' mutex, shared by every process on the device.
class WriterLock {
 public:
  WriterLock() : mutex_(CreateMutexW(nullptr, FALSE, L"QvPim Mutex")) {
    if (mutex_ != nullptr) WaitForSingleObject(mutex_, INFINITE);
  }
  ~WriterLock() {
    if (mutex_ == nullptr) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  bool Held() const { return mutex_ != nullptr; }

 private:
  HANDLE mutex_;
};

// The file's bytes; an absent file is an empty database.
bool ReadStore(std::string* bytes) {
  bytes->clear();
  HANDLE file = CreateFileW(kContactsFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetFileAttributesW(kContactsFile) == INVALID_FILE_ATTRIBUTES;
  char buffer[16384];
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    bytes->append(buffer, got);
    if (bytes->size() > kMaxFileBytes) {
      ok = false;
      break;
    }
  }
  CloseHandle(file);
  return ok;
}

bool LoadStore(std::vector<Contact>* contacts) {
  std::string bytes;
  if (!ReadStore(&bytes)) return false;
  *contacts = ParseContacts(bytes);
  return true;
}

bool WriteStore(const std::vector<Contact>& contacts) {
  const std::string bytes = FormatContacts(contacts);
  HANDLE file = CreateFileW(kTmpFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (!ok || !DeleteAndRenameFile(kContactsFile, kTmpFile)) {
    DeleteFileW(kTmpFile);
    return false;
  }
  return true;
}

struct Condition {
  CEPROPID prop = 0;
  bool equal = true;
  std::wstring value;
};
using Clause = std::vector<Condition>;  // joined by AND

CEPROPID PropOfName(std::wstring_view name) {
  static constexpr std::pair<std::wstring_view, CEPROPID> kNames[] = {
      {L"FirstName", PIMPR_FIRST_NAME},         {L"LastName", PIMPR_LAST_NAME},
      {L"FileAs", PIMPR_FILEAS},                {L"Email1Address", PIMPR_EMAIL1_ADDRESS},
      {L"Email2Address", PIMPR_EMAIL2_ADDRESS}, {L"Email3Address", PIMPR_EMAIL3_ADDRESS},
      {L"WebPage", PIMPR_WEB_PAGE},             {L"MobileTelephoneNumber", PIMPR_MOBILE_TELEPHONE_NUMBER}};
  for (const auto& [n, id] : kNames) {
    if (EqualsNoCase(n, name)) return id;
  }
  return 0;
}

class QueryReader {
 public:
  explicit QueryReader(std::wstring_view q) : q_(q) {}

  bool Read(std::vector<Clause>* clauses) {
    clauses->emplace_back();
    for (;;) {
      Condition c;
      if (!ReadCondition(&c)) return false;
      clauses->back().push_back(std::move(c));
      Blanks();
      if (pos_ == q_.size()) return true;
      if (Word(L"AND")) continue;
      if (!Word(L"OR")) return false;
      clauses->emplace_back();
    }
  }

 private:
  void Blanks() {
    while (pos_ < q_.size() && (q_[pos_] == L' ' || q_[pos_] == L'\t')) ++pos_;
  }
  bool Word(std::wstring_view w) {
    if (q_.size() - pos_ < w.size() || !EqualsNoCase(q_.substr(pos_, w.size()), w)) return false;
    pos_ += w.size();
    return true;
  }
  bool ReadCondition(Condition* c) {
    Blanks();
    if (pos_ == q_.size() || q_[pos_] != L'[') return false;
    const size_t close = q_.find(L']', pos_);
    if (close == std::wstring_view::npos) return false;
    c->prop = PropOfName(q_.substr(pos_ + 1, close - pos_ - 1));
    if (c->prop == 0) return false;
    pos_ = close + 1;
    Blanks();
    if (Word(L"<>")) c->equal = false;
    else if (!Word(L"=")) return false;
    Blanks();
    if (pos_ == q_.size() || q_[pos_] != L'"') return false;
    // A doubled quote stands for one inside the text.
    for (++pos_; pos_ < q_.size(); ++pos_) {
      if (q_[pos_] != L'"') {
        c->value += q_[pos_];
      } else if (pos_ + 1 < q_.size() && q_[pos_ + 1] == L'"') {
        c->value += L'"';
        ++pos_;
      } else {
        ++pos_;
        return true;
      }
    }
    return false;
  }

  std::wstring_view q_;
  size_t pos_ = 0;
};

bool Matches(const Contact& item, const std::vector<Clause>& clauses) {
  return std::any_of(clauses.begin(), clauses.end(), [&](const Clause& clause) {
    return std::all_of(clause.begin(), clause.end(), [&](const Condition& c) {
      std::wstring value;
      item.GetProp(c.prop, &value);
      return EqualsNoCase(value, c.value) == c.equal;
    });
  });
}

}  // namespace

// The field of a property, for a contact that may be const.
template <typename Self>
static auto FieldOf(Self& c, CEPROPID id) -> decltype(&c.firstName) {
  switch (id) {
    case PIMPR_FIRST_NAME: return &c.firstName;
    case PIMPR_LAST_NAME: return &c.lastName;
    case PIMPR_FILEAS: return &c.fileAs;
    case PIMPR_EMAIL1_ADDRESS: return &c.email[0];
    case PIMPR_EMAIL2_ADDRESS: return &c.email[1];
    case PIMPR_EMAIL3_ADDRESS: return &c.email[2];
    case PIMPR_WEB_PAGE: return &c.webPage;
    case PIMPR_MOBILE_TELEPHONE_NUMBER: return &c.mobilePhone;
    default: return nullptr;
  }
}

std::wstring* Contact::Field(CEPROPID id) { return FieldOf(*this, id); }

bool Contact::GetProp(CEPROPID id, std::wstring* out) const {
  const std::wstring* field = FieldOf(*this, id);
  if (field == nullptr) return false;
  *out = *field;
  return true;
}

bool Contact::SetProp(CEPROPID id, const std::wstring& value) {
  std::wstring* field = Field(id);
  if (field == nullptr) return false;
  *field = value;
  return true;
}

std::vector<Contact> ParseContacts(std::string_view bytes) {
  std::vector<Contact> contacts;
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE)
    return contacts;
  const std::wstring text = Utf16LEToWide(bytes.substr(2, (bytes.size() - 2) & ~size_t{1}));
  size_t start = 0;
  bool first = true;
  // Only lines ended by CR LF count: a line cut short is never taken.
  for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    const std::wstring_view line(text.data() + start, end - start);
    if (first) {
      if (line != kMagic) return contacts;
      first = false;
      continue;
    }
    std::optional<Contact> c = ParseRecord(line);
    if (!c) continue;
    const bool seen = std::any_of(contacts.begin(), contacts.end(), [&](const Contact& o) { return o.oid == c->oid; });
    if (!seen) contacts.push_back(std::move(*c));
  }
  return contacts;
}

std::string FormatContacts(const std::vector<Contact>& contacts) {
  std::wstring text(kMagic);
  text += L"\r\n";
  for (const Contact& c : contacts) {
    text += std::to_wstring(c.oid);
    for (const std::wstring* f :
         {&c.firstName, &c.lastName, &c.fileAs, &c.email[0], &c.email[1], &c.email[2], &c.webPage, &c.mobilePhone}) {
      text += L'\t';
      text += Escape(*f);
    }
    text += L"\r\n";
  }
  return "\xFF\xFE" + WideToUtf16LE(text);
}

const Contact* ItemCollection::Item(int index) const {
  if (index < 1 || index > Count()) return nullptr;
  return &items_[static_cast<size_t>(index - 1)];
}

std::optional<ItemCollection> ItemCollection::Restrict(std::wstring_view query) const {
  std::vector<Clause> clauses;
  if (!QueryReader(query).Read(&clauses)) return std::nullopt;
  std::vector<Contact> kept;
  for (const Contact& c : items_) {
    if (Matches(c, clauses)) kept.push_back(c);
  }
  if (kept.empty()) return std::nullopt;
  return ItemCollection(std::move(kept));
}

bool PimApplication::Logon() {
  std::string bytes;
  loggedOn_ = ReadStore(&bytes);
  return loggedOn_;
}

std::optional<ItemCollection> PimApplication::Items(int folder) const {
  std::vector<Contact> contacts;
  if (!loggedOn_ || folder != olFolderContacts || !LoadStore(&contacts)) return std::nullopt;
  return ItemCollection(std::move(contacts));
}

std::optional<Contact> PimApplication::GetItemFromOid(CEOID oid) const {
  std::vector<Contact> contacts;
  if (!loggedOn_ || !LoadStore(&contacts)) return std::nullopt;
  for (Contact& c : contacts) {
    if (c.oid == oid) return std::move(c);
  }
  return std::nullopt;
}

CEOID PimApplication::FindMatchingContact(std::wstring_view address, DWORD flags) const {
  std::vector<Contact> contacts;
  if (!loggedOn_ || (flags & FMCF_FINDEMAIL) == 0 || address.empty() || !LoadStore(&contacts)) return 0;
  CEOID best = 0;
  for (const Contact& c : contacts) {
    for (const std::wstring& e : c.email) {
      if (EqualsNoCase(e, address) && (best == 0 || c.oid < best)) best = c.oid;
    }
  }
  return best;
}

CEOID PimApplication::Add(Contact contact) {
  WriterLock lock;
  std::vector<Contact> contacts;
  if (!loggedOn_ || !lock.Held() || !LoadStore(&contacts)) return 0;
  CEOID top = 0;
  for (const Contact& c : contacts) top = std::max(top, c.oid);
  if (top == 0xFFFFFFFFu) return 0;
  contact.oid = top + 1;
  contacts.push_back(std::move(contact));
  return WriteStore(contacts) ? contacts.back().oid : 0;
}

bool PimApplication::Save(const Contact& contact) {
  WriterLock lock;
  std::vector<Contact> contacts;
  if (!loggedOn_ || !lock.Held() || !LoadStore(&contacts)) return false;
  for (Contact& c : contacts) {
    if (c.oid == contact.oid) {
      c = contact;
      return WriteStore(contacts);
    }
  }
  return false;
}

}  // namespace qv::pim
