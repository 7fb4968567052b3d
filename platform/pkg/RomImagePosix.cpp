#include "platform/pkg/RomImage.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/kernel/DevicePath.h"

namespace {

thread_local bool tKernelMode = false;

std::string RomDir() { return qv::kernel::KernelDir("rom"); }

// A region file is named by its start address in hexadecimal.
bool ParseStart(const char* name, DWORD* start) {
  if (std::strlen(name) != 8) return false;
  char* end = nullptr;
  const unsigned long value = std::strtoul(name, &end, 16);
  if (end == nullptr || *end != '\0') return false;
  *start = static_cast<DWORD>(value);
  return true;
}

bool ReadRegion(const std::string& path, DWORD offset, void* out, DWORD size) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const bool ok = std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
                  std::fread(out, 1, size, file) == size;
  std::fclose(file);
  return ok;
}

}  // namespace

extern "C" BOOL SetKMode(BOOL kernelMode) {
  const BOOL previous = tKernelMode ? TRUE : FALSE;
  tKernelMode = kernelMode != FALSE;
  return previous;
}

namespace qv::pkg {

bool ReadKernelMemory(DWORD address, void* out, DWORD size) {
  if (!tKernelMode) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const std::string dir = RomDir();
  DIR* d = ::opendir(dir.c_str());
  bool found = false;
  while (d != nullptr && !found) {
    dirent* e = ::readdir(d);
    if (e == nullptr) break;
    DWORD start = 0;
    if (!ParseStart(e->d_name, &start) || address < start) continue;
    found = ReadRegion(dir + "/" + e->d_name, address - start, out, size);
  }
  if (d != nullptr) ::closedir(d);
  if (!found) SetLastError(ERROR_NOACCESS);
  return found;
}

bool WriteRomRegion(DWORD address, const std::string& bytes) {
  char name[16];
  std::snprintf(name, sizeof name, "%08X", static_cast<unsigned>(address));
  const int fd = qv::kernel::OpenOwnHostFile(RomDir() + "/" + name, O_WRONLY | O_CREAT | O_TRUNC);
  FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
  if (file == nullptr) {
    if (fd >= 0) ::close(fd);
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

void EraseRom() {
  const std::string dir = RomDir();
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  while (dirent* e = ::readdir(d)) {
    DWORD start = 0;
    if (ParseStart(e->d_name, &start)) std::remove((dir + "/" + e->d_name).c_str());
  }
  ::closedir(d);
}

}  // namespace qv::pkg
