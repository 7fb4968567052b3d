// A property sheet that hosts one page, run modally: the result pages and
// the single settings pages. A page handed to a setup belongs to the sheet
// and is deleted with it. Each kind of use keeps its caption in a
// program-wide string that the sheet's title callback puts in when the
// sheet asks for its title.
#pragma once

#include <memory>
#include <string>

#include "platform/framework/CPropertySheet.h"

class QvSinglePropertySheet : public CPropertySheet {
 public:
  enum class Use { kAccountMenu, kSignature, kSendServer, kClassify, kAccountName, kPage, kCount };

  explicit QvSinglePropertySheet(LPCWSTR caption, CWnd* parent = nullptr, UINT selectPage = 0)
      : CPropertySheet(caption, parent, selectPage) {}
  ~QvSinglePropertySheet() override;

  // Keeps `caption` as the use's title, hooks the title callback and adds
  // `page` (none when null), which the sheet then owns.
  void Setup(Use use, const std::wstring& caption, CPropertyPage* page);
  // The setup for any page with the given title.
  void SetupPage(const std::wstring& caption, CPropertyPage* page) { Setup(Use::kPage, caption, page); }

  CPropertyPage* OwnedPage() const { return owned_.get(); }
  // The title a use puts in; empty until a setup of it ran.
  static const std::wstring& Caption(Use use);

 private:
  std::unique_ptr<CPropertyPage> owned_;
};
