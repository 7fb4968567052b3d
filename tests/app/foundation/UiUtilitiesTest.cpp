// The UI utilities over the device's own registry, files and menus: state
// values with their defaults, the messaging registration as the platform
// reads it, address and pictograph text, list files and folder deletion,
// and menus changed, copied and updated through the framework's routing.
#include "app/foundation/PictureChars.h"
#include "app/foundation/UiFiles.h"
#include "app/foundation/UiMenus.h"
#include "app/foundation/UiRegistry.h"
#include "app/foundation/UiText.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"
#include "platform/registry/Registry.h"
#include "platform/shell/MenuBar.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {
namespace {

class UiUtilities : public UiTest {
 protected:
  static std::wstring Value(HKEY root, const std::wstring& key, const wchar_t* name, DWORD* type = nullptr,
                            DWORD* bytes = nullptr) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return L"<no key>";
    WCHAR text[256] = {};
    DWORD t = 0, size = 2 * 255;
    const LONG rc = RegQueryValueExW(h, name, nullptr, &t, reinterpret_cast<LPBYTE>(text), &size);
    RegCloseKey(h);
    if (type) *type = t;
    if (bytes) *bytes = size;
    if (rc != ERROR_SUCCESS) return L"<none>";
    return t == REG_DWORD ? std::to_wstring(*reinterpret_cast<DWORD*>(text)) : std::wstring(text);
  }
};

TEST_F(UiUtilities, StateValuesKeepTheirDefaultsUntilWritten) {
  int x = 1, y = 1, column = 7;
  DWORD option = 9;
  EXPECT_FALSE(GetMainSplitPos(&x, &y));
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(400, 299));
  EXPECT_FALSE(GetSortColumn(&column));
  EXPECT_EQ(column, 7) << "the caller keeps its column";
  EXPECT_FALSE(GetSortOption(&option));
  EXPECT_EQ(option, 0u);
  CString version;
  ASSERT_TRUE(GetRegistryVersion(version));
  EXPECT_EQ(version, L"4.2");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kProgramKey, L"Version"), L"4.2") << "written when absent";

  ASSERT_TRUE(SetMainSplitPos(120, 655) && SetSortColumn(3) && SetSortOption(0x11));
  ASSERT_TRUE(SetPictureCharCursor(42) && SetAccountNoRead(L"仕事", 5));
  EXPECT_TRUE(GetMainSplitPos(&x, &y));
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(120, 655));
  EXPECT_TRUE(GetSortColumn(&column) && GetSortOption(&option));
  EXPECT_EQ(std::make_pair(column, option), std::make_pair(3, DWORD{0x11}));
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kKeyglideKey, L"PictureChar"), L"42");
  const std::wstring account = std::wstring(kProgramKey) + L"\\accounts\\仕事";
  EXPECT_EQ(Value(HKEY_CURRENT_USER, account, L"NoRead"), L"5");
  // Names that would reach another key are refused: the list stays.
  EXPECT_FALSE(DeleteAccountRegKey(L"") || DeleteAccountRegKey(L"x\\..") || SetAccountNoRead(L"", 1));
  EXPECT_TRUE(DeleteAccountRegKey(L"仕事"));
  EXPECT_EQ(Value(HKEY_CURRENT_USER, account, L"NoRead"), L"<no key>");
}

TEST_F(UiUtilities, TextValuesAreStoredWithoutTerminatorAndReadBack) {
  struct Case {
    bool (*set)(LPCWSTR);
    bool (*get)(CString&);
    const wchar_t* name;
  };
  const Case cases[] = {{SetLastSelectAccount, GetLastSelectAccount, L"LastSelectAccount"},
                        {SetLastImportDir, GetLastImportDir, L"LastImportDir"},
                        {SetLastExportDir, GetLastExportDir, L"LastExportDir"},
                        {SetCmdArgs, GetCmdArgs, L"CmdArgs"}};
  for (const Case& c : cases) {
    CString out = L"前の値";
    EXPECT_FALSE(c.get(out)) << c.name;
    EXPECT_EQ(out, L"前の値") << c.name;
    ASSERT_TRUE(c.set(L"\\My Documents\\受信 𠮷")) << c.name;
    DWORD type = 0, bytes = 0;
    Value(HKEY_CURRENT_USER, kProgramKey, c.name, &type, &bytes);
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_EQ(bytes, 2u * 19) << c.name << ": UTF-16 units, no terminator";
    EXPECT_TRUE(c.get(out)) << c.name;
    EXPECT_EQ(out, L"\\My Documents\\受信 𠮷") << c.name;
  }
  CString name;
  ASSERT_TRUE(SetLastSelectAccount(L""));
  EXPECT_FALSE(GetLastSelectAccount(name)) << "an empty account name is none";
  // 2048 units fill the 4096-byte buffer; one more does not fit.
  for (int units : {2048, 2049}) {
    ASSERT_TRUE(SetCmdArgs(std::wstring(static_cast<size_t>(units), L'a').c_str()));
    CString args;
    EXPECT_EQ(GetCmdArgs(args), units == 2048) << units;
    EXPECT_EQ(args.GetLength(), units == 2048 ? 2048 : 0);
  }
}

TEST_F(UiUtilities, InboxRegistrationWritesBothKeysAsThePlatformReadsThem) {
  const std::wstring first = std::wstring(kExternalAccountsKey) + L"仕事";
  const std::wstring second = first + L"________-1";
  EXPECT_FALSE(IsInboxAccountRegistered(L"仕事"));
  ASSERT_TRUE(RegisterInboxAccount(L"仕事", L"taro@example.jp"));
  ASSERT_TRUE(RegisterInboxAccount(L"趣味", L"hobby@example.jp"));
  const std::vector<std::tuple<std::wstring, const wchar_t*, std::wstring>> values = {
      {first, L"DisplayName", L"T-VELA4メールで送信 (仕事)"},
      {first, L"Address", L"taro@example.jp"},
      {first, L"Handler", L"{B93E6627-7CD4-415E-8DFE-5CA41C43573C}"},
      {first, L"AccountName", L"仕事"},
      {first, L"SendMode", L"<none>"},
      {second, L"DisplayName", L"手書きメールを送信 (仕事)"},
      {second, L"Address", L"taro@example.jp"},
      {second, L"Handler", L"{B93E6627-7CD4-415E-8DFE-5CA41C43573C}"},
      {second, L"AccountName", L"仕事"},
      {second, L"SendMode", L"1"}};
  for (const auto& [key, name, want] : values) EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key, name), want) << name;
  EXPECT_TRUE(IsInboxAccountRegistered(L"仕事"));
  EXPECT_FALSE(RegisterInboxAccount(L"", L"x@example.jp") || UnregisterInboxAccount(L""));
  EXPECT_TRUE(UnregisterInboxAccount(L"仕事"));
  EXPECT_FALSE(IsInboxAccountRegistered(L"仕事"));
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, second, L"AccountName"), L"<no key>");
  EXPECT_TRUE(UnregisterInboxAccount(L"仕事")) << "keys already gone";
  EXPECT_TRUE(IsInboxAccountRegistered(L"趣味")) << "the other account stays";
}

TEST_F(UiUtilities, AddressesAreFoundCheckedAndSplit) {
  struct Check {
    const wchar_t* entry;
    int result;
    int start, length;
  };
  const std::wstring tooLong = std::wstring(60, L'a') + L"@example.jp";
  const Check checks[] = {
      {L"taro@example.jp", 0, 0, 15},
      {L"  山田 太郎 <taro@example.jp> ", 0, 9, 15},
      {L"<taro@example.jp> x", 3, 1, 15},
      {L"taro@example.jp x", 2, 0, 15},
      {L"山田 太郎", 1, 0, 0},
      {L"name taro@example.jp", 2, 5, 15},
      {L"<taro@example.jp", 2, 1, 15},
      {L"taro@localhost", 1, 0, 0},  // no dot after the at-sign
      {L"@example.jp", 1, 0, 0},     // no local part
      {tooLong.c_str(), 1, 0, 0},  // longer than 64
  };
  for (const Check& c : checks) {
    QvAddressRange found;
    EXPECT_EQ(CheckAddressSyntax(c.entry, &found), c.result) << c.entry;
    EXPECT_EQ(std::make_pair(found.start, found.length), std::make_pair(c.start, c.length)) << c.entry;
  }
  // The search starts at `start`, reports from `base`, and without the length
  // check takes a long address too.
  const CString text = L"to: a@b.jp, " + CString(std::wstring(70, L'x').c_str()) + L"@example.jp";
  QvAddressRange range;
  EXPECT_EQ(GetAddressRange(text, 100, 0, &range, false), text.GetLength());
  EXPECT_EQ(std::make_tuple(range.start, range.length, range.kind), std::make_tuple(112, 81, 1));
  range = {};
  EXPECT_EQ(GetAddressRange(text, 100, 0, &range, true), text.GetLength());
  EXPECT_EQ(range.kind, 0);
  EXPECT_EQ(GetAddressRange(L"to: a@b.jp, c", 0, 0, &range, true), 10);
  EXPECT_EQ(std::make_tuple(range.start, range.length), std::make_tuple(4, 6));
  EXPECT_EQ(GetAddressRange(L"a@b.jp no at", 0, 7, &range, true), 12);

  struct Split {
    const wchar_t* text;
    std::vector<std::pair<int, int>> ranges;
  };
  const Split splits[] = {
      {L"\"山田, 太郎\" <taro@example.jp>, hana@example.jp", {{0, 26}, {28, 15}}},
      {L" a@b.jp ;\u3000c@d.jp\u3000", {{1, 6}, {10, 6}}},
      {L"x (a, b) <y@z.jp>; ", {{0, 17}, {19, 0}}},
      {L"\"a\\\", b\" <c@d.jp>", {{0, 17}}},
      {L"\"unterminated, a@b.jp", {{0, 21}}},
      {L"(unterminated, a@b.jp", {{0, 21}}},
      {L"", {}},
  };
  for (const Split& s : splits) {
    CArray<QvAddressRange> ranges;
    SplitAddressList(s.text, ranges);
    std::vector<std::pair<int, int>> got;
    for (INT_PTR i = 0; i < ranges.GetSize(); ++i) got.emplace_back(ranges[i].start, ranges[i].length);
    EXPECT_EQ(got, s.ranges) << s.text;
  }
}

TEST_F(UiUtilities, PictographsAreTheTwoSetsInSheetOrder) {
  const std::pair<wchar_t, int> picture[] = {{0xE000, 0},  {0xE057, 1},  {0xE05F, 5},   {0xE0CC, 26},
                                             {0xE04A, 162}, {0xE0A0, -1}, {0xE0CD, -1}, {0xE63E, -1}, {L'A', -1}};
  for (const auto& [c, index] : picture) EXPECT_EQ(GetPictureCharIndex(c), index) << std::hex << int(c);
  const std::pair<wchar_t, int> web[] = {{0xE63E, 0},   {0xE6A5, 103}, {0xE6CE, 104}, {0xE70B, 134},
                                         {0xE6EC, 135}, {0xE757, 251}, {0xE6A6, -1},  {0xE000, -1}};
  for (const auto& [c, index] : web) EXPECT_EQ(GetWebPictureCharIndex(c), index) << std::hex << int(c);

  struct Removal {
    const wchar_t* text;
    bool lineBreaks;
    const wchar_t* left;
    bool removed;
  };
  const Removal removals[] = {{L"A\uE000B\r\nC", true, L"ABC", true},
                              {L"A\uE000B\r\nC", false, L"AB\r\nC", true},
                              {L"晴れ\uE63E\r\n", true, L"晴れ\uE63E", false},
                              {L"", true, L"", false}};
  CStringArray all;
  for (const Removal& r : removals) {
    CString text = r.text;
    all.Add(text);
    EXPECT_EQ(RemovePictureChars(text, r.lineBreaks), r.removed) << r.text;
    EXPECT_EQ(text, r.left);
  }
  EXPECT_TRUE(RemovePictureCharsFromArray(all, true));
  EXPECT_EQ(all[1], L"ABC");
  EXPECT_FALSE(RemovePictureCharsFromArray(all, true)) << "nothing left to remove";

  for (const auto& [text, printable] : std::vector<std::pair<const wchar_t*, bool>>{
           {L" ~azAZ09", true}, {L"", true}, {L"tab\t", false}, {L"\x7F", false}, {L"全角", false}}) {
    EXPECT_EQ(IsPrintableAscii(text), printable) << text;
  }
}

TEST_F(UiUtilities, StringListsKeepWholeLines) {
  CString temp;
  ASSERT_TRUE(GetTempFolderPath(temp));
  EXPECT_EQ(temp, L"\\Temp\\");
  const CString path = temp + L"_tmpQvMailAttachFiles";
  CStringArray list;
  for (const wchar_t* s : {L"\\My Documents\\マイ ピクチャ\\写真.jpg", L"", L"\\a.txt"}) list.Add(s);
  ASSERT_TRUE(SaveStringListFile(path, list));
  EXPECT_EQ(ReadBytes(path.str()).substr(0, 14), "\\My Documents\\");
  const std::string longest(260, 'p'), tooLong(261, 'q'), huge(5000, 'h');
  WriteBytes(path.str(), "one\r\n" + longest + "\n" + tooLong + "\n" + huge + "\nlast");
  CStringArray read;
  read.Add(L"前の行");
  ASSERT_TRUE(LoadStringListFile(path, read));
  std::vector<std::wstring> lines;
  for (INT_PTR i = 0; i < read.GetSize(); ++i) lines.push_back(read[i].str());
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"one", std::wstring(260, L'p'), L"last"}));
  ASSERT_TRUE(SaveStringListFile(path, list) && LoadStringListFile(path, read));
  ASSERT_EQ(read.GetSize(), 3);
  EXPECT_EQ(read[0], list[0]);

  list.Add(L"\\絵文字\U0001F600.jpg");  // no Shift_JIS form: the path would change
  EXPECT_FALSE(SaveStringListFile(path, list));
  EXPECT_FALSE(LoadStringListFile(L"\\Temp\\missing", read));
  EXPECT_EQ(read.GetSize(), 0);
  EXPECT_FALSE(SaveStringListFile(L"\\no folder\\list", list));
}

TEST_F(UiUtilities, FolderTreesGoEvenWithReadOnlyFilesAndStopOnlyAtOpenOnes) {
  MakeDir(L"\\tree");
  MakeDir(L"\\tree\\sub");
  MakeDir(L"\\tree\\sub\\deeper");
  // A folder whose name starts with a dot is hidden as well: its attributes
  // are more than the directory bit.
  MakeDir(L"\\tree\\.hidden");
  MakeDir(L"\\tree\\.hidden\\.inner");
  for (const wchar_t* f : {L"\\tree\\a.txt", L"\\tree\\sub\\b.txt", L"\\tree\\sub\\deeper\\c.txt", L"\\tree\\z.txt",
                           L"\\tree\\.hidden\\d.txt", L"\\tree\\.hidden\\.inner\\e.txt"}) {
    WriteBytes(f, "x");
  }
  ASSERT_EQ(GetFileAttributesW(L"\\tree\\.hidden"), DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN});
  ASSERT_TRUE(SetFileAttributesW(L"\\tree\\.hidden\\d.txt", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW(L"\\tree\\sub\\b.txt", FILE_ATTRIBUTE_READONLY));
  HANDLE open = CreateFileW(L"\\tree\\sub\\deeper\\c.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DeleteFolderTree(L"\\tree"), kFolderTreeFileKept);
  EXPECT_FALSE(DeleteLocalFolderTree(L"\\tree"));
  EXPECT_TRUE(Exists(L"\\tree\\sub\\deeper\\c.txt"));
  for (const wchar_t* gone : {L"\\tree\\a.txt", L"\\tree\\sub\\b.txt", L"\\tree\\z.txt", L"\\tree\\.hidden"}) {
    EXPECT_FALSE(Exists(gone)) << qv::WideToUtf8(gone);
  }
  CloseHandle(open);
  EXPECT_TRUE(DeleteLocalFolderTree(L"\\tree"));
  EXPECT_FALSE(Exists(L"\\tree"));
  MakeDir(L"\\kept");
  EXPECT_EQ(DeleteFolderTree(L""), kFolderTreeFolderKept) << "never the whole device";
  EXPECT_TRUE(Exists(L"\\kept"));
}

// An owner that greys command 101 and a parent that answers 102 and the
// system command, which must never reach it.
class MenuParent : public CWnd {
 public:
  std::vector<UINT> asked;
  void OnUpdate(CCmdUI* ui) {
    asked.push_back(ui->m_nID);
    ui->Enable(ui->m_nID == 102);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MenuParent, CWnd)
  ON_UPDATE_COMMAND_UI_RANGE(101, 104, &MenuParent::OnUpdate)
  ON_UPDATE_COMMAND_UI(0xF060, &MenuParent::OnUpdate)
END_MESSAGE_MAP()

class MenuOwner : public CWnd {
 public:
  void OnUpdate(CCmdUI* ui) { ui->Enable(FALSE); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MenuOwner, CWnd)
  ON_UPDATE_COMMAND_UI(101, &MenuOwner::OnUpdate)
END_MESSAGE_MAP()

class Menus : public UiUtilities {
 protected:
  void SetUp() override {
    UiUtilities::SetUp();
    ASSERT_NE(LoadProgramResources(), nullptr);
    const LPCWSTR cls = AfxRegisterWndClass(0, nullptr, GetSysColorBrush(COLOR_WINDOW));
    ASSERT_TRUE(parent_.CreateEx(0, cls, L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr));
    ASSERT_TRUE(owner_.CreateEx(0, cls, L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, parent_.m_hWnd, nullptr));
  }
  void TearDown() override {
    parent_.DestroyWindow();
    CWnd::DeleteTempMap();
    UiUtilities::TearDown();
  }
  static HMENU Popup(std::initializer_list<std::pair<UINT, const wchar_t*>> items) {
    HMENU m = CreatePopupMenu();
    for (const auto& [id, text] : items) AppendMenuW(m, id ? MF_STRING : MF_SEPARATOR, id, text);
    return m;
  }
  // Each item as "text:id" ("-" a separator, "text>" a submenu), "~" when grey.
  static std::wstring Items(HMENU m) {
    std::wstring out;
    for (int i = 0; i < GetMenuItemCount(m); ++i) {
      WCHAR text[64] = {};
      GetMenuStringW(m, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
      const UINT state = GetMenuState(m, static_cast<UINT>(i), MF_BYPOSITION);
      out += state & MF_SEPARATOR ? L"-"
             : GetSubMenu(m, i)   ? std::wstring(text) + L">"
                                  : std::wstring(text) + L":" + std::to_wstring(GetMenuItemID(m, i));
      out += state & MF_GRAYED ? L"~ " : L" ";
    }
    return out;
  }

  MenuParent parent_;
  MenuOwner owner_;
};

TEST_F(Menus, UpdatesRouteUpwardAndGreyEmptySubmenus) {
  HMENU menu = Popup({{101, L"a"}, {0, nullptr}, {0xF060, L"close"}});
  HMENU allGrey = Popup({{101, L"b"}, {103, L"c"}});
  HMENU someOn = Popup({{102, L"d"}, {101, L"e"}});
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(allGrey), L"灰");
  AppendMenuW(menu, MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(someOn), L"有効");
  UpdatePopupMenuCmdUI(&owner_, menu);
  EXPECT_EQ(Items(menu), L"a:101~ - close:61536 灰>~ 有効> ");
  EXPECT_EQ(Items(allGrey), L"b:101~ c:103~ ");
  EXPECT_EQ(Items(someOn), L"d:102 e:101~ ");
  EXPECT_EQ(parent_.asked, (std::vector<UINT>{103, 102})) << "the owner's own and the system's stay with it";
  DestroyMenu(menu);
}

TEST_F(Menus, CopiesHandSubmenusOverAndListsFillNamedSubmenus) {
  HMENU sub = Popup({{201, L"子"}});
  HMENU source = Popup({{101, L"一"}, {0, nullptr}});
  AppendMenuW(source, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"その他");
  HMENU oldSub = Popup({{301, L"古い子"}});
  HMENU target = Popup({{300, L"古い"}});
  AppendMenuW(target, MF_POPUP, reinterpret_cast<UINT_PTR>(oldSub), L"古い下");
  CopyMenuItems(target, source);
  EXPECT_EQ(Items(target), L"一:101 - その他> ");
  EXPECT_EQ(GetSubMenu(target, 2), sub);
  EXPECT_EQ(Items(source), L"一:101 - ") << "the source let go of its submenu";
  EXPECT_FALSE(IsMenu(oldSub)) << "the target's old submenu went with its item";
  CopyMenuItems(sub, target);  // the target hangs below the source
  CopyMenuItems(target, sub);  // the source hangs below the target
  CopyMenuItems(target, target);
  EXPECT_EQ(Items(target), L"一:101 - その他> ");
  EXPECT_EQ(Items(sub), L"子:201 ");

  EXPECT_EQ(FindSubMenuByName(target, L"その他"), sub);
  EXPECT_EQ(FindSubMenuByName(target, L"一"), nullptr) << "a command is no submenu";
  CStringArray plugins;
  plugins.Add(L"翻訳");
  plugins.Add(L"辞書");
  EXPECT_TRUE(FillSubMenuFromList(target, L"その他", plugins, 40001));
  EXPECT_EQ(Items(sub), L"- 翻訳:40001 辞書:40002 ");
  EXPECT_FALSE(FillSubMenuFromList(target, L"ない", plugins, 40001));
  ClearMenu(target);
  EXPECT_EQ(GetMenuItemCount(target), 0);
  EXPECT_FALSE(IsMenu(sub));
  DestroyMenu(source);
  DestroyMenu(target);
}

TEST_F(Menus, PopupsBarsAndPostedCommands) {
  int nested = -1;
  CurrentHandler() = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_ENTERIDLE || w != MSGF_MENU) return std::nullopt;
    if (nested < 0) nested = TrackPopupMenuRes(&owner_, 159, {10, 10}, 0);
    EndMenu();
    return 0;
  };
  // The idle hook answers for windows of the test class.
  HWND idle = Make();
  CWnd* idleWnd = CWnd::FromHandle(idle);
  log_.Clear();
  EXPECT_TRUE(TrackPopupMenuRes(idleWnd, 159, {10, 10}, 0));
  EXPECT_EQ(nested, FALSE) << "a second popup waits for the first";
  Pump();
  const std::vector<UINT> seen = log_.MessagesOf(idle);
  const auto end = std::find(seen.begin(), seen.end(), UINT{WM_EXITMENULOOP});
  EXPECT_NE(std::find(end, seen.end(), UINT{WM_NULL}), seen.end()) << "posted once the menu is gone";
  EXPECT_FALSE(TrackPopupMenuRes(idleWnd, 159, {10, 10}, 5)) << "no such submenu";
  EXPECT_FALSE(TrackPopupMenuRes(nullptr, 159, {10, 10}, 0));

  EXPECT_TRUE(CreateMenuBar(parent_.m_hWnd, 159));
  EXPECT_NE(SHFindMenuBar(parent_.m_hWnd), nullptr);
  EXPECT_FALSE(CreateMenuBar(parent_.m_hWnd, 9999));
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kProgramKey, L"DetailCode"), std::to_wstring(kMenuBarFailedCode));

  log_.Ignore({WM_PAINT, WM_ERASEBKGND});
  log_.Clear();
  PostCommand(40001, &owner_);
  PostCommand(0, &owner_);
  PostCommand(40002, nullptr);
  Pump();
  EXPECT_EQ(log_.Compare(owner_, {{WM_COMMAND, seq::posted | seq::wparam | seq::lparam, 40001, L(owner_)}}), "");
  DestroyWindow(idle);
}

}  // namespace
}  // namespace qv::test
