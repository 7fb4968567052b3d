// The common controls in one include: their shared vocabulary, the header,
// list view and tab controls, and property sheets.
#pragma once

#include "platform/ui/commctrl/CommCtrl.h"
#include "platform/ui/commctrl/Header.h"
#include "platform/ui/commctrl/ListView.h"
#include "platform/ui/commctrl/ProgressBar.h"
#include "platform/ui/commctrl/Tab.h"
#include "platform/ui/dialog/PropertySheet.h"
