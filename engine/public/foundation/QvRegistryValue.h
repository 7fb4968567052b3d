// Registry values read and written by the engine's settings: text read into
// the 260-byte buffer callers have always used, numbers only from DWORD values.
#pragma once

#include <string>

#include "engine/public/QvMiddleExport.h"
#include "platform/registry/Registry.h"

QVMIDDLE_API bool GetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* out);
bool GetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* out);
bool SetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text);
bool SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
