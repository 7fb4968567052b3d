// The contacts as the program meets them: the address forms it builds from
// the chooser and the histories (hostile names included), names found by
// address in the device's contacts and kept in the caches, the phone book's
// chooser driven by taps, and saving through the phone program's bridge.
#include <deque>
#include <filesystem>
#include <functional>

#include "app/foundation/Contacts.h"
#include "app/foundation/MessageBoxes.h"
#include "platform/base/WideText.h"
#include "tests/app/foundation/BoxSession.h"

namespace {

using qv::pim::Contact;
using qv::pim::PimApplication;

struct History {
  int result = 0;
  std::wstring name, address;
  int mode = -1;
};
History& TheHistory() {
  static History h;
  return h;
}
int FakeHistoryDialog(HWND, int mode, std::wstring* name, std::wstring* address) {
  TheHistory().mode = mode;
  *name = TheHistory().name;
  *address = TheHistory().address;
  return TheHistory().result;
}
int& HeaderCacheClears() {
  static int n = 0;
  return n;
}
HWND& MainWindow() {
  static HWND h = nullptr;
  return h;
}

class ContactsTest : public qv::test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    resources_ = qv::test::LoadProgramResources();
    MakeDir(L"\\Windows");
    owner_ = Make();
    MainWindow() = owner_;
    HeaderCacheClears() = 0;
    TheHistory() = History{};
    SetContactsHooks({[] { ++HeaderCacheClears(); }, [] { return MainWindow(); }, FakeHistoryDialog});
    // Steps run while the chooser waits for input; none left cancels it.
    qv::test::CurrentHandler() = [this](HWND h, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
      if (h != owner_ || m != WM_ENTERIDLE || w != MSGF_DIALOGBOX) return std::nullopt;
      ++idles_;
      if (steps_.empty()) {
        PostMessageW(reinterpret_cast<HWND>(l), WM_COMMAND, IDCANCEL, 0);
      } else {
        auto step = std::move(steps_.front());
        steps_.pop_front();
        step(reinterpret_cast<HWND>(l));
      }
      return 0;
    };
    ASSERT_TRUE(book_.Logon());
  }
  void TearDown() override {
    ReleasePoomSession();
    NotifyContactsChanged();
    SetContactsHooks({});
    AfxSetResourceHandle(nullptr);
    FreeLibrary(resources_);
    UiTest::TearDown();
  }

  void Install(const std::string& built, const std::string& name) {
    std::filesystem::copy_file(qv::test::BuildFile(built), Host(L"\\Windows") + "/" + name);
  }
  CEOID Add(const std::wstring& last, const std::wstring& first, std::wstring m1, std::wstring m2 = L"",
            std::wstring m3 = L"") {
    Contact c;
    c.lastName = last;
    c.firstName = first;
    c.email[0] = std::move(m1);
    c.email[1] = std::move(m2);
    c.email[2] = std::move(m3);
    return book_.Add(c);
  }
  void Rename(CEOID oid, const std::wstring& last) {
    std::optional<Contact> c = book_.GetItemFromOid(oid);
    ASSERT_TRUE(c);
    c->lastName = last;
    ASSERT_TRUE(book_.Save(*c));
  }
  int BoxesShown() {
    int n = 0;
    for (UINT m : log_.MessagesOf(owner_)) n += m == kSystemBoxMessage;
    return n / 2;
  }
  static std::wstring Name(const std::wstring& address) {
    std::wstring name;
    return FindContactByEmail(address, &name) ? name : L"<none>";
  }

  // The chooser's list and a tap on the row that shows `text`.
  static HWND ListOf(HWND chooser) { return GetDlgItem(GetWindow(chooser, GW_CHILD), 101); }
  static void TapRow(HWND chooser, const std::wstring& text) {
    HWND list = ListOf(chooser);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t row[256] = {};
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row));
      if (std::wstring(row).find(text) == std::wstring::npos) continue;
      RECT r{};
      SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
      POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      ClientToScreen(list, &p);
      qv::seams::InjectTap(p);
      return;
    }
    ADD_FAILURE() << "no row " << qv::WideToUtf8(text);
  }
  static void TapOk(HWND chooser) {
    RECT r{};
    GetWindowRect(GetDlgItem(GetWindow(chooser, GW_CHILD), IDOK), &r);
    qv::seams::InjectTap({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }

  HMODULE resources_ = nullptr;
  HWND owner_ = nullptr;
  PimApplication book_;
  std::deque<std::function<void(HWND chooser)>> steps_;
  int idles_ = 0;
};

// Every form an address takes from the histories; names are quoted as mail
// headers want them, and nothing in them can start a header line.
TEST_F(ContactsTest, HistoryEntriesGiveQuotedNamesAndBareAngleAddresses) {
  struct Case {
    int source, result;
    const wchar_t *name, *address;
    bool ok;
    const wchar_t* expected;
    int boxes;
  } const cases[] = {
      {1, 1, L"山田太郎", L"taro@example.jp", true, L"\"山田太郎\"<taro@example.jp>", 0},
      {2, 1, L"", L"taro@example.jp", true, L"<taro@example.jp>", 0},
      {2, 1, L"", L"", false, L"", 0},
      {1, 0, L"山田太郎", L"taro@example.jp", false, L"", 0},
      {1, -1, L"", L"", false, L"", 1},
      {2, -1, L"", L"", false, L"", 1},
      {1, 1, L"say \"hi\"", L"a@example.jp", true, L"\"say \\\"hi\\\"\"<a@example.jp>", 0},
      {1, 1, L"C:\\dir\\", L"a@example.jp", true, L"\"C:\\\\dir\\\\\"<a@example.jp>", 0},
      {1, 1, L"\\\"", L"a@example.jp", true, L"\"\\\\\\\"\"<a@example.jp>", 0},
      {2, 1, L"evil\r\nBcc: x@example.jp", L"a@example.jp\r\nBcc: y@example.jp", true,
       L"\"evil  Bcc: x@example.jp\"<a@example.jpBcc: y@example.jp>", 0},
  };
  for (const Case& c : cases) {
    TheHistory() = {c.result, c.name, c.address};
    const int before = BoxesShown();
    std::wstring out;
    EXPECT_EQ(ChooseContactAddress(owner_, &out, c.source), c.ok) << qv::WideToUtf8(c.name);
    EXPECT_EQ(out, c.expected) << qv::WideToUtf8(c.name);
    EXPECT_EQ(TheHistory().mode, c.source - 1);
    EXPECT_EQ(BoxesShown() - before, c.boxes);
  }
}

TEST_F(ContactsTest, NamesAreFoundOnlyForAnExactAddressAndCachedWhileASessionIsHeld) {
  const CEOID taro = Add(L"山田", L"太郎", L"taro@example.jp");
  const CEOID hanako = Add(L"佐藤", L"花子", L"", L"", L"Hanako@Work.example");
  Add(L"", L"", L"nameless@example.jp");
  EXPECT_EQ(Name(L"taro@example.jp"), L"山田太郎");
  EXPECT_EQ(Name(L"Hanako@Work.example"), L"佐藤花子");
  EXPECT_EQ(Name(L"hanako@work.example"), L"<none>");
  EXPECT_EQ(Name(L"nameless@example.jp"), L"<none>");
  std::wstring name;
  // Taken by its oid, the contact must still hold the address.
  EXPECT_TRUE(FindContactByEmail(L"taro@example.jp", &name, taro));
  EXPECT_FALSE(FindContactByEmail(L"taro@example.jp", &name, hanako));
  EXPECT_TRUE(LookupContactName(L"Hanako@Work.example", &name));
  EXPECT_TRUE(HasContactsWithEmail());

  // With a session the first answer stays until the contacts are said to change.
  ASSERT_TRUE(AcquirePoomSession());
  EXPECT_EQ(Name(L"taro@example.jp"), L"山田太郎");
  Rename(taro, L"上田");
  EXPECT_EQ(Name(L"taro@example.jp"), L"山田太郎");
  EXPECT_TRUE(LookupContactName(L"taro@example.jp", &name));
  EXPECT_EQ(name, L"上田太郎");
  NotifyContactsChanged();
  EXPECT_EQ(Name(L"taro@example.jp"), L"上田太郎");
  EXPECT_EQ(HeaderCacheClears(), 1);
  MSG m;
  EXPECT_TRUE(PeekMessageW(&m, owner_, kContactsChangedMessage, kContactsChangedMessage, PM_REMOVE));
}

TEST_F(ContactsTest, TheHundredAndFirstCachedNameEvictsTheLowestAddress) {
  std::vector<CEOID> oids;
  for (int i = 0; i <= 100; ++i) oids.push_back(Add(L"名", std::to_wstring(i), L"m" + std::to_wstring(100 + i) + L"@x.jp"));
  ASSERT_TRUE(AcquirePoomSession());
  for (int i = 0; i <= 100; ++i) ASSERT_NE(Name(L"m" + std::to_wstring(100 + i) + L"@x.jp"), L"<none>");
  Rename(oids[0], L"新");
  Rename(oids[1], L"新");
  EXPECT_EQ(Name(L"m100@x.jp"), L"新0");  // evicted, looked up again
  EXPECT_EQ(Name(L"m102@x.jp"), L"名2");  // still cached
}

TEST_F(ContactsTest, WithoutAnyAddressTheNoticeShowsAndTheChooserStaysShut) {
  Install("outside/Dialbook/libDialbook.so", "Dialbook.so");
  Add(L"番号", L"だけ", L"");
  std::wstring out;
  EXPECT_FALSE(HasContactsWithEmail());
  EXPECT_FALSE(ChooseContactAddress(owner_, &out, kFromContacts));
  EXPECT_EQ(BoxesShown(), 1);
  EXPECT_EQ(idles_, 0);
}

TEST_F(ContactsTest, TheChooserListsEveryAddressAndGivesTheTappedOne) {
  Install("outside/Dialbook/libDialbook.so", "Dialbook.so");
  Add(L"山田", L"太郎", L"taro@example.jp");
  Add(L"佐藤", L"花子", L"", L"hanako@example.jp", L"Hanako@Work.example");
  Add(L"番号", L"だけ", L"");
  Add(L"鈴木", L"\"一郎\\", L"ichiro@example.jp");
  std::wstring shown;
  steps_ = {[&](HWND chooser) {
              const qv::seams::WindowState state = qv::seams::ReadWindow(chooser);
              EXPECT_EQ(state.className, L"MSContactChooser");
              EXPECT_EQ(state.text, L"連絡先選択");
              EXPECT_EQ(SendMessageW(ListOf(chooser), LB_GETCOUNT, 0, 0), 4);
              TapRow(chooser, L"Hanako@Work.example");
            },
            [&](HWND chooser) {
              UpdateWindow(chooser);
              EXPECT_TRUE(qv::seams::SaveScreenPng(qv::test::BuildFile("contact-chooser.png")));
              TapOk(chooser);
            }};
  std::wstring out;
  ASSERT_TRUE(ChooseContactAddress(owner_, &out, kFromContacts));
  EXPECT_EQ(out, L"\"佐藤花子\"<Hanako@Work.example>");
  EXPECT_EQ(FindWindowW(L"MSContactChooser", nullptr), nullptr);
  EXPECT_TRUE(IsWindowEnabled(owner_));

  steps_ = {[&](HWND chooser) { TapRow(chooser, L"ichiro"); }, [&](HWND chooser) { TapOk(chooser); }};
  ASSERT_TRUE(ChooseContactAddress(owner_, &out, kFromContacts));
  EXPECT_EQ(out, L"\"鈴木\\\"一郎\\\\\"<ichiro@example.jp>");
  // Closed from outside (as the program closes it), nothing is chosen.
  steps_ = {[&](HWND chooser) { SendMessageW(chooser, WM_CLOSE, 0, 0); }};
  EXPECT_FALSE(ChooseContactAddress(owner_, &out, kFromContacts));
  // Back gives up too, with a row selected.
  steps_ = {[&](HWND chooser) { TapRow(chooser, L"taro"); },
            [&](HWND) {
              qv::seams::InjectKey(VK_ESCAPE, true);
              qv::seams::InjectKey(VK_ESCAPE, false);
            },
            [&](HWND) { ADD_FAILURE() << "still up after Back"; }};
  EXPECT_FALSE(ChooseContactAddress(owner_, &out, kFromContacts));
}

TEST_F(ContactsTest, SavingGoesThroughTheBridgeIntoThePhoneBook) {
  std::wstring name;
  EXPECT_FALSE(SaveAddressToNewContact(owner_, L"new@example.jp"));  // no bridge on the device
  Install("outside/QvMailDynCall/libQvMailDynCall.so", "QvMailDynCall.so");
  Install("outside/Dialbook/libDialbook.so", "Dialbook.so");
  ASSERT_TRUE(SaveAddressToNewContact(owner_, L"new@example.jp"));
  EXPECT_EQ(book_.FindMatchingContact(L"new@example.jp", FMCF_FINDEMAIL), 1u);
  EXPECT_EQ(HeaderCacheClears(), 1);
  const CEOID taro = Add(L"山田", L"太郎", L"taro@example.jp");
  steps_ = {[&](HWND chooser) { TapRow(chooser, L"山田太郎"); }, [&](HWND chooser) { TapOk(chooser); }};
  ASSERT_TRUE(SaveAddressToExistingContact(owner_, L"second@example.jp"));
  steps_ = {[&](HWND chooser) { TapRow(chooser, L"山田太郎"); }, [&](HWND chooser) { TapOk(chooser); }};
  ASSERT_TRUE(SaveUrlToContact(owner_, L"http://example.jp/", 1));
  ASSERT_TRUE(SavePhoneToContact(owner_, L"09012345678", 0));
  EXPECT_FALSE(SavePhoneToContact(owner_, L"09012345678", 1));  // the chooser was cancelled
  const std::optional<Contact> got = book_.GetItemFromOid(taro);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->email[1], L"second@example.jp");
  EXPECT_EQ(got->webPage, L"http://example.jp/");
  EXPECT_EQ(book_.Items(olFolderContacts)->Count(), 3);
}

}  // namespace
