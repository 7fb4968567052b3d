// The contact chooser's contract: the request a program hands the phone
// book's chooser (exported by ordinal 1) and what comes back. The chooser
// is the phone book's own; this layer only fixes the record and owns the
// strings it returns, which the caller frees with PimFreeString.
#pragma once

#include <string_view>

#include "platform/pim/Pim.h"

// The record's size on the device, kept as its version tag.
constexpr UINT kChooseContactRecordSize = 0x34;
// Leave out the "new contact" entry.
constexpr DWORD CCF_HIDENEW = 0x01;
// Choose one value of the required property rather than a whole contact.
constexpr DWORD CCF_CHOOSEPROPERTY = 0x10;

struct CHOOSECONTACT {
  UINT cbStruct = 0;
  HWND hwndOwner = nullptr;
  DWORD dwFlags = 0;
  LPCWSTR lpstrTitle = nullptr;
  LPCWSTR lpstrChoosePropertyText = nullptr;
  UINT cRequiredProperties = 0;
  const CEPROPID* rgpropidRequiredProperties = nullptr;
  // Out: the chosen contact, its name and the chosen value.
  CEOID oidContactID = 0;
  LPWSTR bstrContactName = nullptr;
  CEPROPID propidSelected = 0;
  LPWSTR bstrPropertyValueSelected = nullptr;
  LPCWSTR lpstrRestrictContacts = nullptr;
  LPCWSTR lpstrIncrementalFilter = nullptr;
};

// The chooser's entry: S_OK with the out fields set, E_ABORT when the user
// cancelled, E_INVALIDARG for a record it does not know.
using ChooseContactProc = HRESULT (*)(CHOOSECONTACT* request);

QV_PLATFORM_API LPWSTR PimAllocString(std::wstring_view text);
QV_PLATFORM_API void PimFreeString(LPWSTR text);
