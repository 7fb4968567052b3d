#include "engine/store/QvPathKey.h"

#include "platform/base/WideText.h"
#include "platform/kernel/DeviceFs.h"

std::wstring QvPathKey(const std::wstring& devicePath) {
  std::string host;
  if (!qv::DeviceToHostPath(devicePath, &host)) return qv::FoldCase(devicePath);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  return qv::FoldCase(qv::Utf8ToWide(host));
}
