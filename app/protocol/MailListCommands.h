// Command ids of the mail-list screen: from its soft keys, menus, keys and
// the list's taps to the screen. Several numbers are shared with other
// screens (40125 is the frame's send, 2528 the folder screen's delete), each
// meaning its own screen's command.
#pragma once

#include <span>

#include "platform/base/WinTypes.h"

// On the selected message.
constexpr UINT kViewMessageCommand = 40130;
constexpr UINT kReplyOrEditCommand = 40189;
constexpr UINT kReplyOrEditKeyCommand = 2562;
constexpr UINT kReplyQuoteCommand = 40207;
constexpr UINT kReplyAllCommand = 40121;
constexpr UINT kReplyAllQuoteCommand = 40208;
constexpr UINT kForwardCommand = 2539;
constexpr UINT kSendAgainCommand = 40214;
constexpr UINT kSendSelectedCommand = 40125;
constexpr UINT kMoveSelectedCommand = 40109;
constexpr UINT kExportSelectedCommand = 40103;
constexpr UINT kProtectCommand = 40115;
constexpr UINT kMarkUnreadCommand = 40140;
constexpr UINT kMarkReadCommand = 40141;
constexpr UINT kDeleteSelectedCommand = 2528;
constexpr UINT kRuleFromMessageCommand = 40128;
// On every message of the list.
constexpr UINT kMoveAllCommand = 40213;
constexpr UINT kExportAllCommand = 40112;
constexpr UINT kDeleteAllCommand = 40210;
// Sorting.
constexpr UINT kSortByDateCommand = 40131;
constexpr UINT kSortByCorrespondentCommand = 40132;
constexpr UINT kSortBySubjectCommand = 40133;
constexpr UINT kUnreadFirstCommand = 40211;
// Marking modes: enter one, mark or unmark the selected rows, select all,
// finish.
constexpr UINT kMarkToDeleteCommand = 40209;
constexpr UINT kMarkToMoveCommand = 40212;
constexpr UINT kMarkToExportCommand = 40104;
constexpr UINT kToggleMarksCommand = 40123;
constexpr UINT kSelectAllCommand = 2502;
constexpr UINT kFinishMarkingCommand = 40102;
// The first item of a popup that the list kind's popup menu replaces.
constexpr UINT kKindPopupPlaceholder = 40095;

struct MailListCommandName {
  UINT number;
  const char* name;
};

// For the tests' message recorder.
inline std::span<const MailListCommandName> MailListCommandNames() {
  static constexpr MailListCommandName kNames[] = {
      {kViewMessageCommand, "kViewMessageCommand"},       {kReplyOrEditCommand, "kReplyOrEditCommand"},
      {kReplyOrEditKeyCommand, "kReplyOrEditKeyCommand"}, {kReplyQuoteCommand, "kReplyQuoteCommand"},
      {kReplyAllCommand, "kReplyAllCommand"},             {kReplyAllQuoteCommand, "kReplyAllQuoteCommand"},
      {kForwardCommand, "kForwardCommand"},               {kSendAgainCommand, "kSendAgainCommand"},
      {kSendSelectedCommand, "kSendSelectedCommand"},     {kMoveSelectedCommand, "kMoveSelectedCommand"},
      {kExportSelectedCommand, "kExportSelectedCommand"}, {kProtectCommand, "kProtectCommand"},
      {kMarkUnreadCommand, "kMarkUnreadCommand"},         {kMarkReadCommand, "kMarkReadCommand"},
      {kDeleteSelectedCommand, "kDeleteSelectedCommand"}, {kRuleFromMessageCommand, "kRuleFromMessageCommand"},
      {kMoveAllCommand, "kMoveAllCommand"},               {kExportAllCommand, "kExportAllCommand"},
      {kDeleteAllCommand, "kDeleteAllCommand"},           {kSortByDateCommand, "kSortByDateCommand"},
      {kSortByCorrespondentCommand, "kSortByCorrespondentCommand"},
      {kSortBySubjectCommand, "kSortBySubjectCommand"},   {kUnreadFirstCommand, "kUnreadFirstCommand"},
      {kMarkToDeleteCommand, "kMarkToDeleteCommand"},     {kMarkToMoveCommand, "kMarkToMoveCommand"},
      {kMarkToExportCommand, "kMarkToExportCommand"},     {kToggleMarksCommand, "kToggleMarksCommand"},
      {kSelectAllCommand, "kSelectAllCommand"},           {kFinishMarkingCommand, "kFinishMarkingCommand"},
  };
  return kNames;
}
