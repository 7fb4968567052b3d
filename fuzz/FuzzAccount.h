// For targets whose reader belongs to an account: the account "F" in a data
// folder below the scratch device root, made once per run.
#pragma once

#include <cstdlib>
#include <memory>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "fuzz/FuzzDeviceFile.h"
#include "platform/kernel/Files.h"

inline QvAccountInfoInterface* FuzzAccount() {
  static std::unique_ptr<QvAccountInfoInterface> account = [] {
    UseFuzzDeviceRoot();
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(L"\\Application Data\\QuvoMail", nullptr);
    SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"DataPath", L"\\Application Data\\QuvoMail\\");
    std::unique_ptr<QvAccountInfoInterface> made(QvAccountInfoInterface::Create(L"F", L""));
    if (!made) abort();
    return made;
  }();
  return account.get();
}
