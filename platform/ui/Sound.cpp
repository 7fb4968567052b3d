#include "platform/ui/Sound.h"

#include <mutex>

#include "platform/kernel/Files.h"

namespace {

struct Record {
  std::mutex lock;
  std::vector<std::wstring> sounds;
};

Record& R() {
  static Record r;
  return r;
}

}  // namespace

namespace qv::sound_seam {

std::vector<std::wstring> SoundsPlayed() {
  std::lock_guard g(R().lock);
  return R().sounds;
}

void Reset() {
  std::lock_guard g(R().lock);
  R().sounds.clear();
}

}  // namespace qv::sound_seam

BOOL PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
  if (!sound || (flags & SND_PURGE)) return TRUE;  // stops what plays
  {
    std::lock_guard g(R().lock);
    R().sounds.push_back((flags & SND_MEMORY) ? std::wstring(L"<memory>") : std::wstring(sound));
  }
  if (flags & (SND_MEMORY | SND_ALIAS)) return FALSE;  // no sounds in memory, no sound aliases
  const DWORD attributes = GetFileAttributesW(sound);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? TRUE : FALSE;
}
