// A property sheet that hosts one page, run modally: the result pages and
// the single settings pages.
#pragma once

#include "platform/framework/CPropertySheet.h"

class QvSinglePropertySheet : public CPropertySheet {
 public:
  explicit QvSinglePropertySheet(LPCWSTR caption, CWnd* parent = nullptr) : CPropertySheet(caption, parent) {}
};
