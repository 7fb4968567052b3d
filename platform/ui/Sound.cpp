#include "platform/ui/Sound.h"

#include "platform/kernel/Files.h"

BOOL PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
  if (!sound) return TRUE;
  if (flags & (SND_MEMORY | SND_ALIAS)) return FALSE;  // no sounds in memory, no sound aliases
  const DWORD attributes = GetFileAttributesW(sound);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? TRUE : FALSE;
}
