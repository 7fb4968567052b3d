#include "engine/content/AddressField.h"

#include "engine/public/content/CharsetText.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"

namespace content {
namespace {

std::string Trimmed(std::string_view text) { return TrimBlanks(text); }
std::wstring Trimmed(std::wstring_view text) { return TrimBlanksW(text); }

template <typename Char>
void Split(std::basic_string_view<Char> field, std::basic_string<Char>& address, std::basic_string<Char>& name) {
  using View = std::basic_string_view<Char>;
  constexpr size_t npos = View::npos;
  address.clear();
  name.clear();
  size_t lt = field.rfind(Char('<'));
  // The ">" that closes the last "<"; a ">" standing before it closes nothing.
  size_t gt = lt == npos ? npos : field.find(Char('>'), lt);
  if (lt != npos && gt != npos) {
    address = Trimmed(field.substr(lt + 1, gt - lt - 1));
    name = Trimmed(field.substr(0, lt));
    if (name.size() >= 2 && ((name.front() == Char('(') && name.back() == Char(')')) ||
                             (name.front() == Char('"') && name.back() == Char('"'))))
      name = name.substr(1, name.size() - 2);
    return;
  }
  size_t open = field.find(Char('('));
  size_t close = open == npos ? npos : field.find(Char(')'), open);
  if (close != npos) name = View(field).substr(open + 1, close - open - 1);
  size_t q1 = field.find(Char('"'));
  size_t q2 = q1 == npos ? npos : field.find(Char('"'), q1 + 1);
  if (q2 != npos) name = View(field).substr(q1 + 1, q2 - q1 - 1);
  std::basic_string<Char> before;
  if (open != npos) before = Trimmed(field.substr(0, open));
  if (before.empty() && q1 != npos) before = Trimmed(field.substr(0, q1));
  address = before.empty() ? Trimmed(field) : before;
  if (name.empty() && lt != npos && lt > 0) name = Trimmed(field.substr(0, lt));
}

}  // namespace

void SplitAddress(std::string_view field, std::string& address, std::string& name) { Split(field, address, name); }
void SplitAddressW(std::wstring_view field, std::wstring& address, std::wstring& name) {
  Split(field, address, name);
}

void BareAddressOf(std::string_view field, std::string& address) {
  std::string name;
  Split(field, address, name);
}

std::string AddressOf(std::string_view field) {
  std::string address;
  BareAddressOf(field, address);
  return address;
}

std::wstring AddressOfW(std::wstring_view field) {
  std::wstring address, name;
  Split(field, address, name);
  return address;
}

std::list<std::string> AddressListOf(const std::list<std::string>& fields) {
  std::list<std::string> out;
  for (const auto& f : fields) out.push_back(AddressOf(f));
  return out;
}

std::list<std::string> AddressListOfW(const std::list<std::wstring>& fields) {
  std::list<std::string> out;
  for (const auto& f : fields) {
    std::string narrow;
    WStringToSjis(AddressOfW(f), narrow);
    out.push_back(std::move(narrow));
  }
  return out;
}

std::list<std::string> SplitCommaList(std::string_view value) {
  std::list<std::string> out;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i <= value.size(); ++i) {
    if (i < value.size() && value[i] == '"') quoted = !quoted;
    if (i == value.size() || (value[i] == ',' && !quoted)) {
      std::string_view field = value.substr(start, i - start);
      if (!TrimBlanks(field).empty()) out.emplace_back(field);
      start = i + 1;
    }
  }
  return out;
}

std::string MakeAddressField(std::wstring_view addressIn, std::wstring_view nameIn, bool b) {
  std::wstring address = WithoutLineBreaksW(addressIn), name = WithoutLineBreaksW(nameIn);
  std::string narrowAddress;
  WStringToSjis(address, narrowAddress);
  if (name.empty()) return narrowAddress;
  std::string coded = EncodeHeaderWord(name, b);
  if (IsAsciiW(name) && coded.find('"') == std::string::npos) coded = "\"" + coded + "\"";
  std::string bare;
  BareAddressOf(narrowAddress, bare);
  return coded + " <" + bare + ">";
}

}  // namespace content
