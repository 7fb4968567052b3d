// Command ids of the box screens (the folder screen and the settings
// launcher): from their soft keys, menus and keys to the screen, and from
// the folder list's tap-and-hold menu.
#pragma once

#include <span>

#include "platform/base/WinTypes.h"

// Open the chosen item (a folder's mail list, or a launcher item's action).
constexpr UINT kOpenItemCommand = 40123;
// The folder screen's folder work.
constexpr UINT kNewFolderCommand = 40111;
constexpr UINT kRenameFolderCommand = 40082;
constexpr UINT kDeleteFolderCommand = 2528;
constexpr UINT kFolderOrderCommand = 40188;
constexpr UINT kReclassifyCommand = 40084;
constexpr UINT kMarkFolderReadCommand = 40142;

struct BoxCommandName {
  UINT number;
  const char* name;
};

// For the tests' message recorder.
inline std::span<const BoxCommandName> BoxCommandNames() {
  static constexpr BoxCommandName kNames[] = {
      {kOpenItemCommand, "kOpenItemCommand"},         {kNewFolderCommand, "kNewFolderCommand"},
      {kRenameFolderCommand, "kRenameFolderCommand"}, {kDeleteFolderCommand, "kDeleteFolderCommand"},
      {kFolderOrderCommand, "kFolderOrderCommand"},   {kReclassifyCommand, "kReclassifyCommand"},
      {kMarkFolderReadCommand, "kMarkFolderReadCommand"},
  };
  return kNames;
}
