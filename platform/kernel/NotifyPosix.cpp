// User notifications, one file per record in the kernel's folder below the
// device root ("<id>.ntf"), so that they outlive the process. Handles are the
// record numbers. Records are written through a temp file and a rename, under
// a flock()ed lock file shared with other processes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <locale>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/base/HexBytes.h"
#include "platform/base/WideText.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/Notify.h"
#include "platform/kernel/PosixError.h"

namespace {

using qv::kernel::Fail;

struct Record {
  DWORD type = 0;
  DWORD event = 0;
  std::optional<std::wstring> application, arguments;
  SYSTEMTIME start{}, end{};
  bool hasUser = false;
  DWORD actionFlags = 0, maxSound = 0;
  std::optional<std::wstring> title, text, sound;
};

class DirLock {
 public:
  DirLock() : fd_(qv::kernel::OpenOwnHostFile(Dir() + "/lock", O_RDWR | O_CREAT)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~DirLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  DirLock(const DirLock&) = delete;
  DirLock& operator=(const DirLock&) = delete;
  static std::string Dir() { return qv::kernel::KernelDir("notify"); }

 private:
  int fd_;
};

std::string RecordPath(DWORD id) { return DirLock::Dir() + "/" + std::to_string(id) + ".ntf"; }

// Text fields are kept as hex of their UTF-8 ("-" for none), one per line.
std::string Encode(const std::optional<std::wstring>& s) {
  if (!s) return "-";
  std::string out = "=";
  qv::AppendHex(qv::WideToUtf8(*s), &out);
  return out;
}

// A damaged record file must read as no text, never throw out of the call.
std::optional<std::wstring> Decode(const std::string& s, bool* damaged) {
  if (s == "-") return std::nullopt;
  std::string bytes;
  if (s.empty() || s[0] != '=' || !qv::UnHex(std::string_view(s).substr(1), &bytes)) {
    *damaged = true;
    return std::nullopt;
  }
  return qv::Utf8ToWide(bytes);
}

std::optional<std::wstring> Text(LPCWSTR s) { return s ? std::optional<std::wstring>(s) : std::nullopt; }

void PutTime(std::ostream& out, const SYSTEMTIME& t) {
  out << t.wYear << ' ' << t.wMonth << ' ' << t.wDayOfWeek << ' ' << t.wDay << ' ' << t.wHour << ' ' << t.wMinute
      << ' ' << t.wSecond << ' ' << t.wMilliseconds << '\n';
}

void GetTime(std::istream& in, SYSTEMTIME* t) {
  WORD* f[] = {&t->wYear, &t->wMonth, &t->wDayOfWeek, &t->wDay, &t->wHour, &t->wMinute, &t->wSecond, &t->wMilliseconds};
  for (WORD* w : f) {
    unsigned v = 0;
    in >> v;
    *w = static_cast<WORD>(v);
  }
}

bool Save(DWORD id, const Record& r) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << r.type << ' ' << r.event << '\n';
  PutTime(out, r.start);
  PutTime(out, r.end);
  out << Encode(r.application) << '\n' << Encode(r.arguments) << '\n';
  out << r.hasUser << ' ' << r.actionFlags << ' ' << r.maxSound << '\n';
  out << Encode(r.title) << '\n' << Encode(r.text) << '\n' << Encode(r.sound) << '\n';
  const std::string path = RecordPath(id);
  return qv::kernel::ReplaceOwnHostFile(path, out.str());
}

std::optional<Record> Load(DWORD id) {
  std::ifstream in(RecordPath(id), std::ios::binary);
  if (!in) return std::nullopt;
  in.imbue(std::locale::classic());
  Record r;
  in >> r.type >> r.event;
  GetTime(in, &r.start);
  GetTime(in, &r.end);
  std::string app, args, title, text, sound;
  in >> app >> args >> r.hasUser >> r.actionFlags >> r.maxSound >> title >> text >> sound;
  if (!in) return std::nullopt;
  bool damaged = false;
  r.application = Decode(app, &damaged);
  r.arguments = Decode(args, &damaged);
  r.title = Decode(title, &damaged);
  r.text = Decode(text, &damaged);
  r.sound = Decode(sound, &damaged);
  if (damaged) return std::nullopt;
  return r;
}

std::vector<DWORD> Ids() {
  std::vector<DWORD> ids;
  DIR* d = ::opendir(DirLock::Dir().c_str());
  if (!d) return ids;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ntf") == 0 &&
        name.find_first_not_of("0123456789") == name.size() - 4) {
      // A number past 32 bits is no record of ours.
      DWORD id = 0;
      const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size() - 4, id);
      if (ec == std::errc() && end == name.data() + name.size() - 4) ids.push_back(id);
    }
  }
  ::closedir(d);
  std::sort(ids.begin(), ids.end());
  return ids;
}

DWORD IdOf(HANDLE h) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(h)); }

size_t Align(size_t n) { return (n + alignof(void*) - 1) & ~(alignof(void*) - 1); }

}  // namespace

extern "C" {

HANDLE CeSetUserNotificationEx(HANDLE replace, CE_NOTIFICATION_TRIGGER* trigger, CE_USER_NOTIFICATION* notification) {
  if (!trigger || trigger->dwType < CNT_EVENT || trigger->dwType > CNT_CLASSICTIME ||
      (trigger->dwType == CNT_EVENT && !trigger->lpszApplication)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Record r;
  r.type = trigger->dwType;
  r.event = trigger->dwEvent;
  r.application = Text(trigger->lpszApplication);
  r.arguments = Text(trigger->lpszArguments);
  r.start = trigger->stStartTime;
  r.end = trigger->stEndTime;
  if (notification) {
    r.hasUser = true;
    r.actionFlags = notification->ActionFlags;
    r.maxSound = notification->nMaxSound;
    r.title = Text(notification->pwszDialogTitle);
    r.text = Text(notification->pwszDialogText);
    r.sound = Text(notification->pwszSound);
  }
  DirLock lock;
  const std::vector<DWORD> ids = Ids();
  DWORD id = IdOf(replace);
  if (!replace || !std::binary_search(ids.begin(), ids.end(), id)) id = ids.empty() ? 1 : ids.back() + 1;
  if (!Save(id, r)) {
    SetLastError(ERROR_DISK_FULL);
    return nullptr;
  }
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(id));
}

BOOL CeClearUserNotification(HANDLE notification) {
  DirLock lock;
  if (!notification || std::remove(RecordPath(IdOf(notification)).c_str()) != 0) return Fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

BOOL CeGetUserNotificationHandles(HANDLE* handles, DWORD capacity, LPDWORD needed) {
  std::vector<DWORD> ids;
  {
    DirLock lock;
    ids = Ids();
  }
  if (needed) *needed = static_cast<DWORD>(ids.size());
  if (ids.size() > capacity || (!handles && !ids.empty())) return Fail(ERROR_INSUFFICIENT_BUFFER);
  for (size_t i = 0; i < ids.size(); ++i) handles[i] = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(ids[i]));
  return TRUE;
}

BOOL CeGetUserNotification(HANDLE notification, DWORD bufferSize, LPDWORD needed, LPBYTE buffer) {
  std::optional<Record> r;
  {
    DirLock lock;
    if (notification) r = Load(IdOf(notification));
  }
  if (!r) return Fail(ERROR_INVALID_HANDLE);
  // Header, trigger, user notification, then the strings.
  const size_t triggerAt = Align(sizeof(CE_NOTIFICATION_INFO_HEADER));
  const size_t userAt = Align(triggerAt + sizeof(CE_NOTIFICATION_TRIGGER));
  size_t size = r->hasUser ? Align(userAt + sizeof(CE_USER_NOTIFICATION)) : userAt;
  const std::optional<std::wstring>* strings[] = {&r->application, &r->arguments, &r->title, &r->text, &r->sound};
  for (const auto* s : strings) {
    if (*s) size += ((*s)->size() + 1) * sizeof(WCHAR);
  }
  if (needed) *needed = static_cast<DWORD>(size);
  if (!buffer || bufferSize < size) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::fill(buffer, buffer + size, BYTE{0});
  auto* header = reinterpret_cast<CE_NOTIFICATION_INFO_HEADER*>(buffer);
  auto* trigger = reinterpret_cast<CE_NOTIFICATION_TRIGGER*>(buffer + triggerAt);
  auto* user = r->hasUser ? reinterpret_cast<CE_USER_NOTIFICATION*>(buffer + userAt) : nullptr;
  auto* cursor = reinterpret_cast<WCHAR*>(buffer + (r->hasUser ? Align(userAt + sizeof(CE_USER_NOTIFICATION)) : userAt));
  auto place = [&cursor](const std::optional<std::wstring>& s) -> LPWSTR {
    if (!s) return nullptr;
    WCHAR* at = cursor;
    std::copy(s->begin(), s->end(), at);
    at[s->size()] = 0;
    cursor += s->size() + 1;
    return at;
  };
  header->hNotification = notification;
  header->dwStatus = 0;
  header->pcent = trigger;
  header->pceun = user;
  trigger->dwSize = sizeof(CE_NOTIFICATION_TRIGGER);
  trigger->dwType = r->type;
  trigger->dwEvent = r->event;
  trigger->lpszApplication = place(r->application);
  trigger->lpszArguments = place(r->arguments);
  trigger->stStartTime = r->start;
  trigger->stEndTime = r->end;
  if (user) {
    user->ActionFlags = r->actionFlags;
    user->nMaxSound = r->maxSound;
    user->pwszDialogTitle = place(r->title);
    user->pwszDialogText = place(r->text);
    user->pwszSound = place(r->sound);
  }
  return TRUE;
}

}  // extern "C"
