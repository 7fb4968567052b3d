// Stand-in for the maker's phone book: the contact chooser. A full-screen
// window of class "MSContactChooser" holds a dialog with the prompt, the
// list of contacts (or of their values of the required property) and OK /
// cancel; a tap selects a row, a double tap or OK chooses it, Back or
// cancel (or WM_CLOSE to the window) gives up. It runs modally over its
// owner and tells the owner it waits for input (WM_ENTERIDLE), as the
// dialog manager does.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/pim/ChooseContact.h"
#include "platform/ui/WinUser.h"
#include "platform/ui/dialog/DialogTemplate.h"

#define DIALBOOK_API __attribute__((visibility("default")))

namespace {

constexpr wchar_t kChooserClass[] = L"MSContactChooser";
constexpr int kPromptId = 100;
constexpr int kListId = 101;
constexpr int kMargin = 8;
constexpr int kButtonHeight = 56;

const CEPROPID kMailProps[] = {PIMPR_EMAIL1_ADDRESS, PIMPR_EMAIL2_ADDRESS, PIMPR_EMAIL3_ADDRESS};

struct Row {
  const qv::pim::Contact* contact = nullptr;
  CEPROPID prop = 0;  // 0: the contact itself
  std::wstring value;
  std::wstring text;
};

struct Chooser {
  const CHOOSECONTACT* request = nullptr;
  std::vector<qv::pim::Contact> contacts;
  std::vector<Row> rows;
  HWND frame = nullptr;
  HWND page = nullptr;
  bool done = false;
  int chosen = -1;
};

std::wstring NameOf(const qv::pim::Contact& c) {
  std::wstring name = c.lastName + c.firstName;
  if (name.empty()) name = c.fileAs;
  return name.empty() ? L"(名前なし)" : name;
}

// The properties a row may offer: the required ones, the three addresses
// standing for "any e-mail address".
std::vector<CEPROPID> Offered(const CHOOSECONTACT& r) {
  std::vector<CEPROPID> props;
  for (UINT i = 0; i < r.cRequiredProperties && r.rgpropidRequiredProperties != nullptr; ++i) {
    const CEPROPID p = r.rgpropidRequiredProperties[i];
    if (p == PIMPR_ALL_EMAIL) props.insert(props.end(), std::begin(kMailProps), std::end(kMailProps));
    else props.push_back(p);
  }
  return props;
}

void BuildRows(Chooser* c) {
  const CHOOSECONTACT& r = *c->request;
  const std::vector<CEPROPID> props = Offered(r);
  std::stable_sort(c->contacts.begin(), c->contacts.end(),
                   [](const qv::pim::Contact& a, const qv::pim::Contact& b) { return NameOf(a) < NameOf(b); });
  for (const qv::pim::Contact& contact : c->contacts) {
    std::vector<Row> own;
    for (CEPROPID p : props) {
      std::wstring value;
      if (contact.GetProp(p, &value) && !value.empty()) own.push_back({&contact, p, value, NameOf(contact) + L"  " + value});
    }
    // A contact lacking every required property is not offered.
    if (!props.empty() && own.empty()) continue;
    if ((r.dwFlags & CCF_CHOOSEPROPERTY) != 0) {
      c->rows.insert(c->rows.end(), own.begin(), own.end());
    } else {
      c->rows.push_back({&contact, 0, L"", NameOf(contact)});
    }
  }
}

void Layout(Chooser* c) {
  RECT client{};
  GetClientRect(c->frame, &client);
  MoveWindow(c->page, 0, 0, client.right, client.bottom, TRUE);
  const int width = client.right - 2 * kMargin;
  const int buttonTop = client.bottom - kMargin - kButtonHeight;
  MoveWindow(GetDlgItem(c->page, kPromptId), kMargin, kMargin, width, 40, TRUE);
  MoveWindow(GetDlgItem(c->page, kListId), kMargin, kMargin + 48, width, buttonTop - 2 * kMargin - 48, TRUE);
  const int half = (width - kMargin) / 2;
  MoveWindow(GetDlgItem(c->page, IDOK), kMargin, buttonTop, half, kButtonHeight, TRUE);
  MoveWindow(GetDlgItem(c->page, IDCANCEL), 2 * kMargin + half, buttonTop, half, kButtonHeight, TRUE);
}

void Finish(Chooser* c, bool choose) {
  if (choose) {
    const LRESULT at = SendDlgItemMessageW(c->page, kListId, LB_GETCURSEL, 0, 0);
    if (at < 0) return;  // nothing selected: the chooser stays
    c->chosen = static_cast<int>(SendDlgItemMessageW(c->page, kListId, LB_GETITEMDATA, static_cast<WPARAM>(at), 0));
  }
  c->done = true;
}

INT_PTR PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* c = reinterpret_cast<Chooser*>(GetWindowLongW(page, DWLP_USER));
  if (message == WM_INITDIALOG) {
    SetWindowLongW(page, DWLP_USER, lParam);
    return TRUE;
  }
  if (c == nullptr || message != WM_COMMAND) return FALSE;
  const int id = LOWORD(wParam);
  if (id == IDOK || id == IDCANCEL) Finish(c, id == IDOK);
  else if (id == kListId && HIWORD(wParam) == LBN_DBLCLK) Finish(c, true);
  return TRUE;
}

LRESULT FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* c = reinterpret_cast<Chooser*>(GetWindowLongW(frame, 0));
  switch (message) {
    case WM_CLOSE:
      if (c != nullptr) Finish(c, false);
      return 0;
    case WM_COMMAND:
      if (c != nullptr && (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)) Finish(c, LOWORD(wParam) == IDOK);
      return 0;
    case WM_SIZE:
      if (c != nullptr && c->page != nullptr) Layout(c);
      return 0;
    default:
      return DefWindowProcW(frame, message, wParam, lParam);
  }
}

HWND MakePage(Chooser* c) {
  qv::ui::DialogTemplate t;
  t.style = WS_CHILD | WS_VISIBLE | DS_CONTROL | DS_SETFONT;
  const std::wstring prompt =
      c->request->lpstrChoosePropertyText != nullptr ? c->request->lpstrChoosePropertyText : L"";
  t.controls = {{SS_LEFT | WS_VISIBLE, 0, {}, kPromptId, L"Static", prompt},
                {LBS_NOTIFY | WS_VISIBLE | WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOINTEGRALHEIGHT, 0, {}, kListId, L"ListBox", L""},
                {BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, {}, IDOK, L"Button", L"OK"},
                {BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, {}, IDCANCEL, L"Button", L"キャンセル"}};
  const std::vector<DWORD> units = t.Build();
  return CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(units.data()), c->frame, PageProc,
                                    reinterpret_cast<LPARAM>(c));
}

void RegisterChooserClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = FrameProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
  wc.lpszClassName = kChooserClass;
  RegisterClassW(&wc);  // a second call finds it there
}

// Runs the chooser over its owner until a row is chosen or it is given up.
void RunModal(Chooser* c) {
  HWND owner = c->request->hwndOwner;
  const bool ownerEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerEnabled) EnableWindow(owner, FALSE);
  ShowWindow(c->page, SW_SHOW);
  ShowWindow(c->frame, SW_SHOW);
  SetFocus(GetDlgItem(c->page, kListId));
  MSG m;
  while (!c->done) {
    if (!PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE) && owner != nullptr)
      SendMessageW(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(c->frame));
    if (c->done) break;
    if (GetMessageW(&m, nullptr, 0, 0) <= 0) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (!IsDialogMessageW(c->page, &m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
  if (ownerEnabled) EnableWindow(owner, TRUE);
}

}  // namespace

extern "C" {

DIALBOOK_API HRESULT ordinal_1(CHOOSECONTACT* request) {
  if (request == nullptr || request->cbStruct != kChooseContactRecordSize) return E_INVALIDARG;
  qv::pim::PimApplication book;
  if (!book.Logon()) return E_FAIL;
  std::optional<qv::pim::ItemCollection> items = book.Items(olFolderContacts);
  if (items && request->lpstrRestrictContacts != nullptr) items = items->Restrict(request->lpstrRestrictContacts);
  Chooser c;
  c.request = request;
  for (int i = 1; items && i <= items->Count(); ++i) c.contacts.push_back(*items->Item(i));
  BuildRows(&c);

  RegisterChooserClass();
  const qv::ui::DeviceProfile& screen = qv::ui::CurrentProfile();
  c.frame = CreateWindowExW(0, kChooserClass, request->lpstrTitle != nullptr ? request->lpstrTitle : L"",
                            WS_POPUP | WS_CAPTION, 0, 0, screen.width, screen.height, request->hwndOwner, nullptr,
                            nullptr, nullptr);
  if (c.frame == nullptr) {
    UnregisterClassW(kChooserClass, nullptr);
    return E_FAIL;
  }
  SetWindowLongW(c.frame, 0, reinterpret_cast<LONG_PTR>(&c));
  c.page = MakePage(&c);
  if (c.page == nullptr) {
    DestroyWindow(c.frame);
    UnregisterClassW(kChooserClass, nullptr);
    return E_FAIL;
  }
  for (size_t i = 0; i < c.rows.size(); ++i) {
    const LRESULT at = SendDlgItemMessageW(c.page, kListId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.rows[i].text.c_str()));
    SendDlgItemMessageW(c.page, kListId, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
  }
  Layout(&c);
  RunModal(&c);
  SetWindowLongW(c.frame, 0, 0);
  DestroyWindow(c.frame);
  // The library may be unloaded next: no class may keep a procedure in it.
  UnregisterClassW(kChooserClass, nullptr);
  if (c.chosen < 0 || static_cast<size_t>(c.chosen) >= c.rows.size()) return E_ABORT;
  const Row& row = c.rows[static_cast<size_t>(c.chosen)];
  request->oidContactID = row.contact->oid;
  request->bstrContactName = PimAllocString(NameOf(*row.contact));
  request->propidSelected = row.prop;
  request->bstrPropertyValueSelected = row.prop != 0 ? PimAllocString(row.value) : nullptr;
  return S_OK;
}

}  // extern "C"
