// The names of the private messages and commands, for the tests' message
// recorder: a failed sequence prints "kBackMessage", not "WM_USER+142".
#pragma once

#include <span>

#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"

struct ProtocolName {
  UINT number;
  const char* name;
};

inline std::span<const ProtocolName> PrivateMessageNames() {
  static constexpr ProtocolName kNames[] = {
      {kCloseRequestMessage, "kCloseRequestMessage"},
      {kSystemBoxMessage, "kSystemBoxMessage"},
      {kRefreshMessage, "kRefreshMessage"},
      {kContactsChangedMessage, "kContactsChangedMessage"},
      {kBackMessage, "kBackMessage"},
      {kMoveFocusMessage, "kMoveFocusMessage"},
      {kMoveFocusSelectingMessage, "kMoveFocusSelectingMessage"},
      {kStepMessageRequest, "kStepMessageRequest"},
      {kAreaSelectMessage, "kAreaSelectMessage"},
      {kSplitMovedMessage, "kSplitMovedMessage"},
      {kThumbnailReadyMessage, "kThumbnailReadyMessage"},
      {kComposeFromArgsMessage, "kComposeFromArgsMessage"},
      {kEnterAutoReceiveMessage, "kEnterAutoReceiveMessage"},
      {kAccountListMessage, "kAccountListMessage"},
      {kSetStateBitsMessage, "kSetStateBitsMessage"},
      {kClearStateBitsMessage, "kClearStateBitsMessage"},
      {kTestStateBitsMessage, "kTestStateBitsMessage"},
      {kGetStateWordMessage, "kGetStateWordMessage"},
      {kActiveWindowQueryMessage, "kActiveWindowQueryMessage"},
      {kOpenBoxFromArgsMessage, "kOpenBoxFromArgsMessage"},
      {kEnterUnattendedMessage, "kEnterUnattendedMessage"},
      {kOpenAndComposeMessage, "kOpenAndComposeMessage"},
      {kClearContactCachesMessage, "kClearContactCachesMessage"},
      {kHandwrittenToMessage, "kHandwrittenToMessage"},
      {kSelectLauncherItemMessage, "kSelectLauncherItemMessage"},
      {kAccountListChangedMessage, "kAccountListChangedMessage"},
      {kOpenReceiveBoxMessage, "kOpenReceiveBoxMessage"},
      {kOpenSendBoxMessage, "kOpenSendBoxMessage"},
      {kFramePingMessage, "kFramePingMessage"},
      {kComeToFrontMessage, "kComeToFrontMessage"},
      {kCloseSequenceEndMessage, "kCloseSequenceEndMessage"},
      {kConnectionStateMessage, "kConnectionStateMessage"},
      {kProgressCountMessage, "kProgressCountMessage"},
      {kPartProgressMessage, "kPartProgressMessage"},
      {kPreviousMessageMessage, "kPreviousMessageMessage"},
      {kNextMessageMessage, "kNextMessageMessage"},
      {kShowFolderTreeMessage, "kShowFolderTreeMessage"},
      {kHideFolderTreeMessage, "kHideFolderTreeMessage"},
      {kHistoryRowChosenMessage, "kHistoryRowChosenMessage"},
      {kNoAccountMessage, "kNoAccountMessage"},
      {kWarnNoNetworkMessage, "kWarnNoNetworkMessage"},
      {kFirstPaintDoneMessage, "kFirstPaintDoneMessage"},
      {kLeaveBodyDownMessage, "kLeaveBodyDownMessage"},
      {kPageFlagMessage, "kPageFlagMessage"},
      {kPageKindQuery, "kPageKindQuery"},
      {kCloseSheetMessage, "kCloseSheetMessage"},
      {kDecorationChangedMessage, "kDecorationChangedMessage"},
      {kOpenPaletteMessage, "kOpenPaletteMessage"},
      {kBodyGotFocusMessage, "kBodyGotFocusMessage"},
      {kBodyLostFocusMessage, "kBodyLostFocusMessage"},
      {kReleaseHtmlViewMessage, "kReleaseHtmlViewMessage"},
      {kAddressCheckFailedMessage, "kAddressCheckFailedMessage"},
      {kPadInsertMessage, "kPadInsertMessage"},
      {kOtherPadMessage, "kOtherPadMessage"},
  };
  return kNames;
}

inline std::span<const ProtocolName> CommandNames() {
  static constexpr ProtocolName kNames[] = {
      {kEndOkCommand, "kEndOkCommand"}, {kDoneCommand, "kDoneCommand"}, {kCutCommand, "kCutCommand"},
      {kAddAttachmentCommand, "kAddAttachmentCommand"}, {kChooseAddressCommand, "kChooseAddressCommand"},
      {kCopyCommand, "kCopyCommand"},   {kPasteCommand, "kPasteCommand"},
      {kNewMessageCommand, "kNewMessageCommand"}, {kReceiveCommand, "kReceiveCommand"},
      {kSendOutboxCommand, "kSendOutboxCommand"}, {kSendReceiveCommand, "kSendReceiveCommand"},
      {kRulesCommand, "kRulesCommand"}, {kImportCommand, "kImportCommand"},
      {kVersionCommand, "kVersionCommand"}, {kAccountMenuItem, "kAccountMenuItem"},
      {kTaskFailedCommand, "kTaskFailedCommand"},
      {kBackToPlainCommand, "kBackToPlainCommand"}, {kDecorateCommand, "kDecorateCommand"},
      {kAddHandwritingCommand, "kAddHandwritingCommand"}, {kSaveDraftCommand, "kSaveDraftCommand"},
      {kSendAgainMessageCommand, "kSendAgainMessageCommand"}, {kReceiveRestCommand, "kReceiveRestCommand"},
      {kReplySenderCommand, "kReplySenderCommand"}, {kReplyEveryoneCommand, "kReplyEveryoneCommand"},
      {kReplySenderQuotedCommand, "kReplySenderQuotedCommand"},
      {kReplyEveryoneQuotedCommand, "kReplyEveryoneQuotedCommand"},
      {kForwardMessageCommand, "kForwardMessageCommand"}, {kOtherPadCommand, "kOtherPadCommand"},
      {kPadCloseCommand, "kPadCloseCommand"}, {kPadInsertCommand, "kPadInsertCommand"},
      {kToWebPadCommand, "kToWebPadCommand"}, {kToPicturePadCommand, "kToPicturePadCommand"},
  };
  return kNames;
}
