// The key under which the process-wide caches keep a device path: the host
// path it resolves to, case-folded. Every spelling of one folder, and no
// folder of another device root, gives the same key.
#pragma once

#include <string>

std::wstring QvPathKey(const std::wstring& devicePath);
