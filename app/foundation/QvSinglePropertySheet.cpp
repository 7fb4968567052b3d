#include "app/foundation/QvSinglePropertySheet.h"

#include <array>
#include <cwchar>

namespace {

std::array<std::wstring, static_cast<size_t>(QvSinglePropertySheet::Use::kCount)>& Captions() {
  static std::array<std::wstring, static_cast<size_t>(QvSinglePropertySheet::Use::kCount)> captions;
  return captions;
}

// The title request (4) takes the use's caption when it has one; the
// framework's callback then runs as usual.
template <QvSinglePropertySheet::Use kUse>
int TitleCallback(HWND hwnd, UINT message, LPARAM lParam) {
  if (message == PSCB_GETTITLE && lParam) {
    const std::wstring& caption = Captions()[static_cast<size_t>(kUse)];
    if (!caption.empty()) {
      auto* title = reinterpret_cast<wchar_t*>(lParam);
      std::wcsncpy(title, caption.c_str(), PROPSHEET_TITLE_CHARS - 1);
      title[PROPSHEET_TITLE_CHARS - 1] = L'\0';
    }
  }
  return AfxPropSheetCallback(hwnd, message, lParam);
}

PFNPROPSHEETCALLBACK CallbackFor(QvSinglePropertySheet::Use use) {
  using Use = QvSinglePropertySheet::Use;
  switch (use) {
    case Use::kAccountMenu: return TitleCallback<Use::kAccountMenu>;
    case Use::kSignature: return TitleCallback<Use::kSignature>;
    case Use::kSendServer: return TitleCallback<Use::kSendServer>;
    case Use::kClassify: return TitleCallback<Use::kClassify>;
    case Use::kAccountName: return TitleCallback<Use::kAccountName>;
    default: return TitleCallback<Use::kPage>;
  }
}

}  // namespace

QvSinglePropertySheet::~QvSinglePropertySheet() {
  // The page's window goes with the sheet's, before the page object.
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

void QvSinglePropertySheet::Setup(Use use, const std::wstring& caption, CPropertyPage* page) {
  if (use >= Use::kCount) use = Use::kPage;
  Captions()[static_cast<size_t>(use)] = caption;
  m_psh.dwFlags |= PSH_USECALLBACK;
  m_psh.pfnCallback = CallbackFor(use);
  if (!page) return;
  if (owned_) RemovePage(owned_.get());
  owned_.reset(page);
  AddPage(page);
}

const std::wstring& QvSinglePropertySheet::Caption(Use use) {
  if (use >= Use::kCount) use = Use::kPage;
  return Captions()[static_cast<size_t>(use)];
}
