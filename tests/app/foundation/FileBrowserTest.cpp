// The program's file browser through its real dialog: listing, filters and
// hidden files, sorting by each key and direction, the name checks of OK in
// each mode, the keys that leave it, and the thumbnails' timing against the
// list's paints (on the UI clock) and against a change of folder.
#include "app/foundation/FileChoosers.h"
#include "platform/gdi/Surface.h"
#include "platform/shell/ShellFiles.h"
#include "platform/kernel/Resource.h"
#include "platform/ui/window/Screen.h"
#include "tests/app/foundation/BrowserSession.h"

namespace qv::test {
namespace {



class FileBrowserTest : public BrowserTest {
 protected:
  // \Docs with two folders and five files of different sizes, types and ages.
  void LayDocs() {
    Folder(L"\\Docs");
    Folder(L"\\Docs\\zeta");
    Folder(L"\\Docs\\Alpha");
    Lay(L"\\Docs\\readme", 10, 50);
    Lay(L"\\Docs\\a.txt", 3000, 40);
    Lay(L"\\Docs\\x.tar.gz", 5000000, 30);
    Lay(L"\\Docs\\b.jpg", 500, 20);
    Lay(L"\\Docs\\big.bin", 5368709120ull, 10);  // 5 GiB, beyond 32 bits
    request_.lpstrInitialDir = L"\\Docs";
  }
  // Taps the head of column `c` in the details view.
  // A column past the list's right edge is scrolled into view first.
  static void TapColumn(const QvFileBrowser& b, int c) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(ListOf(b), LVM_GETHEADER, 0, 0));
    RECT r{};
    RECT list{};
    GetWindowRect(ListOf(b), &list);
    const auto place = [&] {
      SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&r));
      MapWindowPoints(header, nullptr, reinterpret_cast<POINT*>(&r), 2);
    };
    place();
    if (r.left >= list.right - 10) {
      SendMessageW(ListOf(b), LVM_SCROLL, static_cast<WPARAM>(r.left - list.left), 0);
      UpdateWindow(ListOf(b));
      place();
    }
    qv::seams::InjectTap({(r.left + std::min(r.right, list.right)) / 2, (r.top + r.bottom) / 2});
  }
};

TEST_F(FileBrowserTest, SortsByEveryKeyWithFoldersFirst) {
  LayDocs();
  struct Case {
    std::vector<int> clicks;  // columns tapped, in order
    Names order;
  } cases[] = {
      {{}, {L"Alpha", L"zeta", L"a.txt", L"b.jpg", L"big.bin", L"readme", L"x.tar.gz"}},
      {{0}, {L"zeta", L"Alpha", L"x.tar.gz", L"readme", L"big.bin", L"b.jpg", L"a.txt"}},
      // A new key keeps the direction; size keeps folders ascending by name.
      {{0, 1}, {L"Alpha", L"zeta", L"big.bin", L"x.tar.gz", L"a.txt", L"b.jpg", L"readme"}},
      {{1}, {L"Alpha", L"zeta", L"readme", L"b.jpg", L"a.txt", L"x.tar.gz", L"big.bin"}},
      {{1, 1}, {L"Alpha", L"zeta", L"big.bin", L"x.tar.gz", L"a.txt", L"b.jpg", L"readme"}},
      // No extension first when ascending; x.tar.gz sorts under .TAR.GZ.
      {{2}, {L"Alpha", L"zeta", L"readme", L"big.bin", L"b.jpg", L"x.tar.gz", L"a.txt"}},
      {{2, 2}, {L"Alpha", L"zeta", L"a.txt", L"x.tar.gz", L"b.jpg", L"big.bin", L"readme"}},
      {{3}, {L"Alpha", L"zeta", L"readme", L"a.txt", L"x.tar.gz", L"b.jpg", L"big.bin"}},
  };
  for (const Case& c : cases) {
    Names shown;
    std::vector<std::function<void(QvFileBrowser&)>> steps = {
        [](QvFileBrowser& b) { SendMessageW(b.Window(), WM_COMMAND, QvFileBrowser::kDetails, 0); }};
    for (int column : c.clicks) steps.push_back([column](QvFileBrowser& b) { TapColumn(b, column); });
    steps.push_back([&](QvFileBrowser& b) { shown = Listed(b); });
    Run(QvFileBrowser::kOpen, steps);
    // Folders are created at the same moment: by date they keep the order the listing gave.
    if (c.clicks == std::vector<int>{3}) std::sort(shown.begin(), shown.begin() + 2);
    EXPECT_EQ(shown, c.order) << "clicks " << c.clicks.size() << (c.clicks.empty() ? -1 : c.clicks.back());
  }
}

TEST_F(FileBrowserTest, ThumbnailCaptionsKeepTheEndThatTellsFilesApart) {
  Folder(L"\\Shots");
  const std::vector<std::wstring> names = {L"holiday-photograph-1001.jpg", L"holiday-photograph-1002.jpg", L"a.jpg"};
  for (const std::wstring& name : names) Lay(L"\\Shots\\" + name, 100);
  request_.lpstrInitialDir = L"\\Shots";
  Names captions;
  std::vector<LONG> room, widths;
  Run(QvFileBrowser::kOpen, {[&](QvFileBrowser& b) {
        captions = Listed(b);
        for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
          RECT label{};
          label.left = LVIR_LABEL;
          SendMessageW(ListOf(b), LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&label));
          room.push_back(label.right - label.left);
          widths.push_back(static_cast<LONG>(
              SendMessageW(ListOf(b), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(captions[i].c_str()))));
        }
      }});
  ASSERT_EQ(captions.size(), 3u);
  EXPECT_EQ(captions[0], L"a.jpg") << "a caption that fits stays whole";
  EXPECT_NE(captions[1], captions[2]);
  for (int i : {1, 2}) {
    const std::wstring& c = captions[static_cast<size_t>(i)];
    EXPECT_EQ(c.substr(0, 3), L"ho…");
    EXPECT_EQ(c.substr(c.size() - 5), i == 1 ? L"1.jpg" : L"2.jpg") << "the end is kept";
    EXPECT_LE(widths[static_cast<size_t>(i)], room[static_cast<size_t>(i)]);
  }
}

TEST_F(FileBrowserTest, DetailTextsFromAllSixtyFourBits) {
  LayDocs();
  Names sizes, types, names;
  std::vector<int> icons;
  Run(QvFileBrowser::kOpen, {[&](QvFileBrowser& b) {
        SendMessageW(b.Window(), WM_COMMAND, QvFileBrowser::kDetails, 0);
        names = Listed(b);
        sizes = Listed(b, 1);
        types = Listed(b, 2);
        for (int i = 0; i < static_cast<int>(names.size()); ++i) {
          LVITEMW item{};
          item.mask = LVIF_IMAGE;
          item.iItem = i;
          SendMessageW(ListOf(b), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
          icons.push_back(item.iImage);
        }
        // Sizes show whole beside the names, and types as far as the name leaves room.
        HWND list = ListOf(b);
        RECT client{};
        GetClientRect(list, &client);
        const auto column = [&](int c) { return static_cast<LONG>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0)); };
        for (int c : {1, 2}) {
          for (const std::wstring& text : Listed(b, c)) {
            EXPECT_LE(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())), column(c))
                << "column " << c << " cuts " << std::string(text.begin(), text.end());
          }
        }
        EXPECT_LE(column(0) + column(1), client.right);
        EXPECT_GE(column(0), client.right / 4);
        EXPECT_GE(client.right - column(0) - column(1), column(2) * 3 / 4) << "most of the type shows";
        UpdateWindow(b.Window());
        EXPECT_TRUE(qv::seams::SaveScreenPng(BuildFile("app-filebrowser-details.png")));
      }});
  // Folders share image 0; each kind of file gets its own, past the list's first three.
  EXPECT_EQ(icons, (std::vector<int>{0, 0, 1, 2, 3, 4, 5}));
  const Names expected = {L"", L"", L"2.93 KB", L"0.49 KB", L"5,120.00 MB", L"0.01 KB", L"4.77 MB"};
  EXPECT_EQ(sizes, expected);
  EXPECT_EQ(types[0], L"ファイル フォルダ");
  EXPECT_EQ(types[3], L"JPEG イメージ");
  SetExplorer(L"ShowExt", 0);
  Run(QvFileBrowser::kOpen, {[&](QvFileBrowser& b) { names = Listed(b); }});
  EXPECT_EQ(names, (Names{L"Alpha", L"zeta", L"a", L"b", L"big", L"readme", L"x.tar"}));
}

TEST_F(FileBrowserTest, FiltersHiddenFilesAndFolderMode) {
  Folder(L"\\P");
  Folder(L"\\P\\sub");
  for (const wchar_t* name : {L"\\P\\a.jpg", L"\\P\\b.jpeg", L"\\P\\c.gif", L"\\P\\d.png", L"\\P\\e.JPG"}) Lay(name, 1);
  Lay(L"\\P\\.secret.jpg", 1);  // hidden, as the host marks it
  request_.lpstrInitialDir = L"\\P";
  struct Case {
    const wchar_t* filter;  // display and patterns, each ended by a zero
    size_t length;
    DWORD viewAll, flags;
    Names listed;
  } cases[] = {
      {L"画像\0*.jpg;*.jpeg,*.gif\0", 23, 0, 0, {L"sub", L"a.jpg", L"b.jpeg", L"c.gif", L"e.JPG"}},
      // Two patterns matching one name list it once.
      {L"JPEG\0*.jpg;*.JPG\0", 17, 0, 0, {L"sub", L"a.jpg", L"e.JPG"}},
      {L"JPEG\0*.jpg;*.JPG\0", 17, 1, 0, {L"sub", L".secret.jpg", L"a.jpg", L"e.JPG"}},
      {nullptr, 0, 0, 0, {L"sub", L"a.jpg", L"b.jpeg", L"c.gif", L"d.png", L"e.JPG"}},
      {nullptr, 0, 1, kBrowseFolderFlag, {L"sub"}},
  };
  for (const Case& c : cases) {
    const std::wstring filter(c.filter ? c.filter : L"", c.length);
    request_.lpstrFilter = c.filter ? filter.c_str() : nullptr;
    request_.Flags = c.flags;
    SetExplorer(L"ViewAll", c.viewAll);
    Names listed;
    const INT_PTR end = Run(QvFileBrowser::kOpen, {[&](QvFileBrowser& b) {
                              listed = Listed(b);
                              PressOk(b);
                            }});
    EXPECT_EQ(listed, c.listed) << (c.filter ? c.filter : L"(none)");
    // OK in folder mode gives the folder shown.
    if (c.flags == kBrowseFolderFlag) {
      EXPECT_EQ(end, IDOK);
      EXPECT_STREQ(file_, L"\\P");
    }
  }
}

// The filter index picks the first filter and comes back on OK; another
// filter lists the folder again.
TEST_F(FileBrowserTest, FilterIndexInAndOut) {
  Folder(L"\\F");
  for (const wchar_t* name : {L"\\F\\a.bmp", L"\\F\\b.jpg", L"\\F\\c.jpeg", L"\\F\\d.gif"}) Lay(name, 1);
  const wchar_t filter[] = L"画像\0*.bmp;*.jpg;*.jpeg;*.gif\0 *.bmp\0*.bmp\0 *.jpg\0*.jpg;*.jpeg\0";
  request_.lpstrFilter = filter;
  request_.nFilterIndex = 2;
  request_.lpstrInitialDir = L"\\F";
  Names first, second;
  const INT_PTR end = Run(QvFileBrowser::kOpen, {[&](QvFileBrowser& b) {
                                                   first = Listed(b);
                                                   HWND combo = GetDlgItem(b.Window(), QvFileBrowser::kFilterCombo);
                                                   SendMessageW(combo, CB_SETCURSEL, 2, 0);
                                                   SendMessageW(b.Window(), WM_COMMAND,
                                                                MAKEWPARAM(QvFileBrowser::kFilterCombo, CBN_SELCHANGE),
                                                                reinterpret_cast<LPARAM>(combo));
                                                   second = Listed(b);
                                                   TapItem(b, 0);
                                                 },
                                                 [&](QvFileBrowser& b) { PressOk(b); }});
  EXPECT_EQ(first, (Names{L"a.bmp"}));
  EXPECT_EQ(second, (Names{L"b.jpg", L"c.jpeg"}));
  EXPECT_EQ(end, IDOK);
  EXPECT_STREQ(file_, L"\\F\\b.jpg");
  EXPECT_EQ(request_.nFilterIndex, 3u);
}

// A shortcut to a folder is listed with the folders whatever the filter,
// and opening it enters its target (quoted, as the device writes them).
TEST_F(FileBrowserTest, ShortcutsToFoldersAreEntered) {
  Folder(L"\\L");
  Folder(L"\\Deep");
  Lay(L"\\L\\memo.txt", 1);
  Lay(L"\\L\\photo.jpg", 1);
  std::wstring target = L"\"\\Deep\"";
  std::wstring link = L"\\L\\deep.lnk";
  ASSERT_TRUE(SHCreateShortcut(link.data(), target.data()));
  request_.lpstrFilter = L"テキスト\0*.txt\0";
  request_.lpstrInitialDir = L"\\L";
  Names listed;
  std::wstring entered;
  Run(QvFileBrowser::kOpen, {[&](QvFileBrowser& b) {
                               listed = Listed(b);
                               TapItem(b, 0);
                             },
                             [&](QvFileBrowser& b) { entered = b.CurrentFolder(); }});
  EXPECT_EQ(listed, (Names{L"deep.lnk", L"memo.txt"}));
  EXPECT_EQ(entered, L"\\Deep");
}

// What OK does with the name field in each mode, and where it leaves the browser.
TEST_F(FileBrowserTest, OkChecksTheNameInEveryMode) {
  Folder(L"\\S");
  Folder(L"\\S\\sub");
  Lay(L"\\S\\old.txt", 4);
  struct Case {
    const char* what;
    int mode;
    DWORD flags;
    const wchar_t* typed;  // null: the field as the browser filled it
    int answer;
    INT_PTR end;
    std::wstring buffer, folder, box;
  } cases[] = {
      {"colon refused", QvFileBrowser::kSave, 0, L"a:b", IDNO, IDCANCEL, L"", L"\\S", L"20218"},
      {"empty name", QvFileBrowser::kSave, 0, L"  ", IDNO, IDCANCEL, L"", L"\\S", L"20212"},
      {"too long", QvFileBrowser::kSave, 0, nullptr, IDNO, IDCANCEL, L"", L"\\S", L"20217"},
      {"new file", QvFileBrowser::kSave, OFN_OVERWRITEPROMPT, L" new.txt ", IDNO, IDOK, L"\\S\\new.txt", L"\\S", L""},
      {"existing folder entered", QvFileBrowser::kSave, OFN_OVERWRITEPROMPT, L"sub", IDNO, IDCANCEL, L"", L"\\S\\sub",
       L""},
      {"replace refused", QvFileBrowser::kSave, OFN_OVERWRITEPROMPT, L"old.txt", IDNO, IDCANCEL, L"\\S\\old.txt", L"\\S",
       L"20065"},
      {"replace taken", QvFileBrowser::kSave, OFN_OVERWRITEPROMPT, L"old.txt", IDYES, IDOK, L"\\S\\old.txt", L"\\S",
       L"20065"},
      {"dot-dot goes up", QvFileBrowser::kSave, 0, L"..", IDNO, IDCANCEL, L"", L"", L""},
      {"open, nothing chosen", QvFileBrowser::kOpen, 0, nullptr, IDNO, IDCANCEL, L"", L"\\S", L""},
  };
  for (const Case& c : cases) {
    const std::wstring longName(255, L'n');
    std::fill(std::begin(file_), std::end(file_), L'\0');
    boxes_.clear();
    answer_ = c.answer;
    request_.Flags = c.flags;
    request_.lpstrInitialDir = L"\\S";
    std::wstring folder;
    const INT_PTR end = Run(c.mode, {[&](QvFileBrowser& b) {
                                       const std::wstring typed = c.typed ? c.typed : longName;
                                       if (c.mode == QvFileBrowser::kSave) {
                                         SetDlgItemTextW(b.Window(), QvFileBrowser::kNameField, typed.c_str());
                                       }
                                       PressOk(b);
                                     },
                                     [&](QvFileBrowser& b) { folder = b.CurrentFolder(); }});
    EXPECT_EQ(end, c.end) << c.what;
    EXPECT_EQ(std::wstring(file_), c.buffer) << c.what;
    EXPECT_EQ(folder, c.end == IDOK ? L"" : c.folder) << c.what;
    std::wstring expectedBox;
    if (!c.box.empty()) {
      WCHAR text[512] = {};
      LoadStringW(res_, static_cast<UINT>(std::stoi(c.box)), text, 512);
      expectedBox = qv::FormatW(text, L"\\S\\old.txt");
    }
    EXPECT_EQ(boxes_.empty() ? L"" : boxes_.front(), expectedBox) << c.what;
  }
}

TEST_F(FileBrowserTest, SeveralFilesUpToTheLimit) {
  Folder(L"\\M");
  for (const wchar_t* name : {L"\\M\\a.eml", L"\\M\\b.eml", L"\\M\\c.eml"}) Lay(name, 1);
  request_.lpstrInitialDir = L"\\M";
  request_.Flags = OFN_ALLOWMULTISELECT;
  for (int limit : {3, 2}) {
    boxes_.clear();
    QvFileBrowser browser(&request_);
    browser.SetSelectionLimit(limit);
    std::wstring field;
    const INT_PTR end = Run(browser, QvFileBrowser::kOpen,
                            {[&] {
                               TapItem(browser, 0);
                               TapItem(browser, 1, true);
                               TapItem(browser, 2, true);
                             },
                             [&] {
                               qv::seams::AdvanceUiClock(QvFileBrowser::kTimerDelay);
                               qv::seams::PumpMessages();
                               field = NameField(browser);
                               PressOk(browser);
                             }});
    EXPECT_EQ(field, L"\"a.eml\" \"b.eml\" \"c.eml\" ");
    if (limit == 3) {
      EXPECT_EQ(end, IDOK);
      EXPECT_EQ(browser.ResultList(), (Names{L"\\M\\a.eml", L"\\M\\b.eml", L"\\M\\c.eml"}));
      EXPECT_EQ(browser.ResultPath(), L"\\M");
      EXPECT_TRUE(boxes_.empty());
    } else {
      EXPECT_EQ(end, IDCANCEL);  // the warning keeps it open, the script then cancels
      EXPECT_TRUE(browser.ResultList().empty());
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0], L"選択できるファイルは 2 個までです。");
    }
  }
}

// Back leaves only when the name field is read-only or empty; up stops at the root.
TEST_F(FileBrowserTest, BackUpAndTheRoot) {
  Folder(L"\\A");
  Folder(L"\\A\\B");
  struct Case {
    int mode;
    const wchar_t* typed;
    INT_PTR end;
    const wchar_t* left;  // what the field holds after Back
  } cases[] = {
      {QvFileBrowser::kOpen, L"", IDCANCEL, nullptr},  // read-only
      {QvFileBrowser::kSave, L"", IDCANCEL, nullptr},
      {QvFileBrowser::kSave, L"ab", IDOK, L"a"},
  };
  for (const Case& c : cases) {
    request_.lpstrInitialDir = L"\\A\\B";
    request_.Flags = 0;
    std::wstring left;
    bool stillUp = false;
    const INT_PTR end = Run(c.mode, {[&](QvFileBrowser& b) {
                                       HWND field = GetDlgItem(b.Window(), QvFileBrowser::kNameField);
                                       SetWindowTextW(field, c.typed);
                                       SetFocus(c.mode == QvFileBrowser::kOpen ? ListOf(b) : field);
                                       PressKey(VK_END);
                                       PressKey(VK_BACK);
                                     },
                                     [&](QvFileBrowser& b) {
                                       stillUp = b.Window() != nullptr;
                                       left = NameField(b);
                                       b.EndBrowse(IDOK);
                                     }});
    EXPECT_EQ(end, c.end) << c.mode;
    EXPECT_EQ(stillUp, c.left != nullptr);
    if (c.left) {
      EXPECT_EQ(left, c.left);
    }
  }

  std::vector<std::wstring> folders;
  Run(QvFileBrowser::kOpen, {[&](QvFileBrowser& b) {
        for (int i = 0; i < 3; ++i) {
          SendMessageW(b.Window(), WM_COMMAND, QvFileBrowser::kUp, 0);
          folders.push_back(b.CurrentFolder() + L"|" + TextOf(GetDlgItem(b.Window(), QvFileBrowser::kPathLine)));
        }
      }});
  EXPECT_EQ(folders, (Names{L"\\A|\\A", L"|マイ デバイス", L"|マイ デバイス"}));
}

TEST_F(FileBrowserTest, ChoosersFillTheirRequests) {
  Folder(L"\\My Documents");
  Lay(L"\\My Documents\\note.txt", 5);
  std::wstring path, title;
  Script() = {[&] {
    HWND browser = GetActiveWindow();
    title = TextOf(GetDlgItem(browser, QvFileBrowser::kTitleLine));
    path = TextOf(GetDlgItem(browser, QvFileBrowser::kNameField));
    qv::shell::PressOkButton(browser);
  }};
  std::wstring chosen;
  EXPECT_TRUE(SelectAttachmentSaveFolder(frame_->m_hWnd, L"写真.jpg", &chosen));
  EXPECT_EQ(title, L"添付ファイル保存先選択");
  EXPECT_EQ(path, L"写真.jpg");
  EXPECT_EQ(chosen, L"\\My Documents\\写真.jpg");
}

// ---------------------------------------------------------------------------
// Thumbnails against paints and folder changes.

class ThumbnailViewTest : public FileBrowserTest {
 protected:
  // Dispatches (real time: the loader decodes on its own thread) until the
  // loader has told the browser `count` times in all.
  void AwaitNotices(HWND dialog, size_t count) {
    for (;;) {
      size_t seen = 0;
      for (UINT m : log_.MessagesOf(dialog)) seen += m == WM_USER ? 1 : 0;
      if (seen >= count) return;
      MSG msg;
      if (GetMessageW(&msg, nullptr, 0, 0) <= 0) return;
      DispatchMessageW(&msg);
    }
  }
  // The colour in the middle of item `index`'s thumbnail frame.
  static COLORREF FrameMiddle(const QvFileBrowser& b, int index) {
    RECT r{};
    r.left = LVIR_ICON;
    SendMessageW(ListOf(b), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    POINT p{(r.left + r.right) / 2, r.top + 4 + 61};
    ClientToScreen(ListOf(b), &p);
    return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(p.y)[p.x]);
  }
};

TEST_F(ThumbnailViewTest, TakenOnlyAfterThePaintSettlesAndByPath) {
  const auto solid = [](DWORD argb) {
    Pixels p;
    p.width = p.height = 90;
    p.argb.assign(90 * 90, argb);
    return MakePng(p, PngKind::Rgb);
  };
  for (const wchar_t* folder : {L"\\Red", L"\\Red2", L"\\Blue"}) Folder(folder);
  for (int i = 0; i < 3; ++i) {
    LayBytes(L"\\Red\\r" + std::to_wstring(i) + L".png", solid(0xFFFF0000u));
    LayBytes(L"\\Red2\\s" + std::to_wstring(i) + L".png", solid(0xFFFF0000u));
    LayBytes(L"\\Blue\\b" + std::to_wstring(i) + L".png", solid(0xFF0000FFu));
  }
  request_.lpstrInitialDir = L"\\Red";
  COLORREF during = 0, still = 0, after = 0, moved = 0;
  log_.Clear();
  Run(QvFileBrowser::kOpen, {[&](QvFileBrowser& b) {
                               // The first paint asked for the three pictures.
                               AwaitNotices(b.Window(), 3);
                               qv::seams::PumpMessages();
                               during = FrameMiddle(b, 0);  // the notices came while the paint was on
                               qv::seams::AdvanceUiClock(QvFileBrowser::kTimerDelay - 1);
                               qv::seams::PumpMessages();
                               still = FrameMiddle(b, 0);
                               qv::seams::AdvanceUiClock(1);
                               qv::seams::PumpMessages();
                               after = FrameMiddle(b, 0);
                             },
                             [&](QvFileBrowser& b) {
                               // Pictures of one folder finished after the move to
                               // another land on their own paths, not on the same index.
                               log_.Clear();
                               b.Navigate(L"\\Red2", false);
                               UpdateWindow(ListOf(b));
                               b.Navigate(L"\\Blue", false);
                               UpdateWindow(ListOf(b));
                               AwaitNotices(b.Window(), 6);
                               qv::seams::AdvanceUiClock(QvFileBrowser::kTimerDelay);
                               qv::seams::PumpMessages();
                               moved = FrameMiddle(b, 0);
                             }});
  EXPECT_NE(during, RGB(255, 0, 0)) << std::hex << during;
  EXPECT_EQ(still, during);
  EXPECT_EQ(after, RGB(255, 0, 0)) << std::hex << after;
  EXPECT_EQ(moved, RGB(0, 0, 255)) << std::hex << moved;
}

}  // namespace
}  // namespace qv::test
