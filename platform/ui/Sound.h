// Sounds. The device this platform runs on has no speaker of its own:
// PlaySoundW finds the sound as the system would (a device path with
// SND_FILENAME or none of the name flags) and answers whether it could be
// played, and nothing is heard. A null name stops what is playing.
#pragma once

#include <string>
#include <vector>

#include "platform/base/WinTypes.h"

#define SND_SYNC 0x00000000u
#define SND_ASYNC 0x00000001u
#define SND_NODEFAULT 0x00000002u
#define SND_MEMORY 0x00000004u
#define SND_LOOP 0x00000008u
#define SND_NOSTOP 0x00000010u
#define SND_PURGE 0x00000040u
#define SND_ALIAS 0x00010000u
#define SND_FILENAME 0x00020000u

extern "C" QV_PLATFORM_API BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);

// The sounds asked for since the last reset, for the tests (through
// platform/testing).
namespace qv::sound_seam {
QV_PLATFORM_API std::vector<std::wstring> SoundsPlayed();
QV_PLATFORM_API void Reset();
}  // namespace qv::sound_seam
