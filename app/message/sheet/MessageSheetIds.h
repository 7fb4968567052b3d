// The message sheet's resources and the temporary sub-folders of its kinds.
#pragma once

#include "platform/base/WinTypes.h"

namespace qv::message_sheet {

// The sub-folders a viewing and an editing sheet unpack into, and the
// templates' (shared by the compose sheets).
constexpr const wchar_t* kViewFolder = L"_V";
constexpr const wchar_t* kEditFolder = L"_E";
constexpr const wchar_t* kTemplateFolder = L"_T";

constexpr UINT kSheetAccelerators = 147;
// The plain compose page's menu alone, and beside a handwriting page.
constexpr UINT kTextMenuAlone = 181;
constexpr UINT kTextMenuWithHandwriting = 182;

// Strings.
constexpr UINT kAskStoreOnClose = 20061;
constexpr UINT kErrorNotStored = 20060;
constexpr UINT kWarnNoRecipient = 20143;
constexpr UINT kNoticeAutoReceiveBusy = 20148;
constexpr UINT kNoticePeriodicBusy = 20149;
constexpr UINT kNoticeOtherTaskBusy = 20243;
constexpr UINT kAskStoreHandwriting = 20171;
constexpr UINT kAskAddHandwriting = 20172;
constexpr UINT kAskDropHandwriting = 20173;
constexpr UINT kAskPictographsDropped = 20182;
constexpr UINT kAskDropDecoration = 20201;
constexpr UINT kAskDecorate = 20202;
constexpr UINT kAskDecorateDropsPictographs = 20203;

// Which answer an answering entry builds.
enum Answer : int { kAnswerSender = 0, kAnswerAll = 1, kAnswerForward = 2 };

}  // namespace qv::message_sheet
