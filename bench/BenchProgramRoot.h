// What a benchmark of the program's screens starts from, as the program's
// own tests make it: the data folder of an installed program, named in the
// registry, and the program's resource library from the build folder.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/framework/AfxResource.h"
#include "platform/kernel/Library.h"
#include "tests/app/support/ProgramRoot.h"

// The build folder: $QV_BINARY_DIR when set, else the one this program was
// built in (<build>/bench/bench_x), so that a run from anywhere finds it.
inline std::string BenchBuildFolder() {
  const char* bin = getenv("QV_BINARY_DIR");
  if (bin != nullptr && *bin != '\0') return bin;
  std::error_code ignored;
  return std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path().parent_path().string();
}

// Loads the program's resources and makes them the framework's; null when
// the library is not there.
inline HMODULE LoadBenchProgramResources() {
  setenv("QVMAIL_LIBRARY_PATH", (BenchBuildFolder() + "/outside/QvMailRes").c_str(), 1);
  HMODULE resources = LoadLibraryW(L"QvMailRes.dll");
  AfxSetResourceHandle(resources);
  return resources;
}

// The data folder and its registry value in the current device root, then
// the resources.
inline HMODULE MakeBenchProgramRoot() {
  qv::test::MakeDataFolder();
  return LoadBenchProgramResources();
}
