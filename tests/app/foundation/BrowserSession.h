// What the file browser's tests share (here, in the shell's and in the
// display's): the browser run modally over a scripted owner with the
// program's resources, boxes brought up for real and recorded, files laid
// on the device's disk, and the list read back as the user sees it.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/foundation/filebrowser/QvFileBrowser.h"
#include "platform/kernel/Resource.h"
#include "platform/registry/Registry.h"
#include "platform/shell/ShellUi.h"
#include "tests/app/foundation/BoxSession.h"

namespace qv::test {

using Names = std::vector<std::wstring>;

class BrowserTest : public ProgramFrameTest {
 protected:
  void SetUp() override {
    ProgramFrameTest::SetUp();
    request_.lStructSize = sizeof(request_);
    request_.hwndOwner = frame_->m_hWnd;
    request_.lpstrFile = file_;
    request_.nMaxFile = MAX_PATH;
    SetExplorer(L"ShowExt", 1);
    qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
    qv::seams::SetQuestionHandler([this](const std::wstring& text, const std::wstring&) {
      boxes_.push_back(text);
      return answer_;
    });
    qv::seams::SetMessageBoxShownHandler([this](HWND box) {
      WCHAR text[512] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 512);
      boxes_.push_back(text);
      PressKey(VK_RETURN);
    });
  }
  static void SetExplorer(const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Explorer", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
  }
  // A file of `size` bytes (sparse) at a device path, last written `age` seconds ago.
  void Lay(const std::wstring& device, uintmax_t size, int age = 0) {
    const std::string host = HostOf(device);
    std::ofstream(host, std::ios::binary).flush();
    std::filesystem::resize_file(host, size);
    std::filesystem::last_write_time(host, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(age));
  }
  void LayBytes(const std::wstring& device, const Bytes& bytes) {
    std::ofstream(HostOf(device), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static void Folder(const std::wstring& device) { CreateDirectoryW(device.c_str(), nullptr); }

  // Runs the browser with the steps taken one at a time while it waits.
  INT_PTR Run(QvFileBrowser& browser, int mode, std::vector<std::function<void()>> steps) {
    for (auto& s : steps) Script().push_back(std::move(s));
    const INT_PTR end = browser.DoModal(mode);
    Script().clear();  // steps left over belong to this run only
    return end;
  }
  INT_PTR Run(int mode, std::vector<std::function<void(QvFileBrowser&)>> steps) {
    QvFileBrowser browser(&request_);
    std::vector<std::function<void()>> bound;
    for (auto& s : steps) bound.push_back([&browser, s] { s(browser); });
    return Run(browser, mode, std::move(bound));
  }

  static HWND ListOf(const QvFileBrowser& b) { return GetDlgItem(b.Window(), QvFileBrowser::kList); }
  // Column `column` of every item, in list order.
  static std::vector<std::wstring> Listed(const QvFileBrowser& b, int column = 0) {
    std::vector<std::wstring> out;
    HWND list = ListOf(b);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      WCHAR text[260] = {};
      LVITEMW item{};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = 260;
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      out.push_back(text);
    }
    return out;
  }
  static std::wstring TextOf(HWND control) {
    WCHAR text[1024] = {};
    GetWindowTextW(control, text, 1024);
    return text;
  }
  static std::wstring NameField(const QvFileBrowser& b) { return TextOf(GetDlgItem(b.Window(), QvFileBrowser::kNameField)); }
  // A tap on item `index`, with Ctrl held when `add`.
  static void TapItem(const QvFileBrowser& b, int index, bool add = false) {
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageW(ListOf(b), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(ListOf(b), nullptr, reinterpret_cast<POINT*>(&r), 2);
    if (add) qv::seams::InjectKey(VK_CONTROL, true);
    qv::seams::InjectTap({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    if (add) qv::seams::InjectKey(VK_CONTROL, false);
  }
  static void PressOk(const QvFileBrowser& b) { EXPECT_TRUE(qv::shell::PressOkButton(b.Window())); }

  OPENFILENAMEW request_{};
  WCHAR file_[MAX_PATH] = {};
  std::vector<std::wstring> boxes_;  // every box's text, in order
  int answer_ = IDNO;                // to questions
};

}  // namespace qv::test
