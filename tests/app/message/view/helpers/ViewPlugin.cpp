// A message-window plug-in for the reading page's tests: an engine plug-in
// by its identification, named after its own file (so that copies under
// other names are other plug-ins), and "ExecutePlugIn" that appends the window it was
// given (0 or 1) and the three texts, UTF-8, one per line, to the host file
// $QV_VIEW_PLUGIN_LOG; a subject "throw" makes it throw instead.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#define VIEW_PLUGIN_API extern "C" __attribute__((visibility("default")))

namespace {

struct Record {
  const wchar_t* subject;
  const wchar_t* body;
  const wchar_t* selection;
};

std::string Utf8(const wchar_t* text) {
  std::string out;
  for (; text && *text; ++text) {
    const auto c = static_cast<unsigned long>(*text);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

VIEW_PLUGIN_API int GetPluginInfo(int which, wchar_t** text) {
  static wchar_t identification[] = L"QuvoMailPlugIn 01";
  static std::wstring title;
  if (text == nullptr || which < 0 || which > 1) return 0;
  if (title.empty()) {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&GetPluginInfo), &info);
    const std::string path = info.dli_fname ? info.dli_fname : "";
    const std::string name = path.substr(path.find_last_of('/') + 1);
    title = L"記録:" + std::wstring(name.begin(), name.end());
  }
  *text = which == 0 ? identification : title.data();
  return 1;
}

VIEW_PLUGIN_API void ExecutePlugIn(void* window, Record* record) {
  if (record == nullptr) return;
  if (std::wstring(record->subject ? record->subject : L"") == L"throw") throw std::runtime_error("plug-in failure");
  const char* log = std::getenv("QV_VIEW_PLUGIN_LOG");
  if (log == nullptr) return;
  if (FILE* f = std::fopen(log, "ab")) {
    const std::string text = std::string(window ? "1" : "0") + "\n" + Utf8(record->subject) + "\n" +
                             Utf8(record->body) + "\n" + Utf8(record->selection) + "\n";
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}
