// The device's phone-status indicator items (the new-mail mark, the input
// mode...), set and read through the maker's phone-status library, which is
// loaded by name on first use. Without the library every call answers 0.
#pragma once

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

QVMIDDLE_API void LoadPhoneStatusDLL();
// The library stays loaded until the engine library unloads: another thread
// may be inside one of its functions at any moment.
QVMIDDLE_API void FreePhoneStatusDLL();
QVMIDDLE_API int SetPhoneStatus(unsigned int item, unsigned int value);
QVMIDDLE_API unsigned int GetPhoneStatus(unsigned int item);
QVMIDDLE_API int SetPhoneStatus(unsigned int item, const wchar_t* text);
QVMIDDLE_API unsigned int GetPhoneStatus(unsigned int item, wchar_t* buffer);
