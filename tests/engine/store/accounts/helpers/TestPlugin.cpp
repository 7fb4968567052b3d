// The engine plug-ins of the plug-in discovery test, one source built three
// ways: a plug-in of this system, one that answers another identification,
// and a library without "GetPluginInfo". The texts live on the heap and are
// scribbled over and freed when the library unloads, so a caller that reads
// them after freeing the library reads freed memory.
#include <cwchar>

#define TEST_PLUGIN_API extern "C" __attribute__((visibility("default")))

#if defined(QV_TEST_PLUGIN_VALID) || defined(QV_TEST_PLUGIN_OTHER_ID)
namespace {

wchar_t* g_texts[2] = {nullptr, nullptr};

wchar_t* Copy(const wchar_t* text) {
  const size_t length = std::wcslen(text);
  auto* out = new wchar_t[length + 1];
  std::wmemcpy(out, text, length + 1);
  return out;
}

__attribute__((destructor)) void Scribble() {
  for (wchar_t*& text : g_texts) {
    if (text == nullptr) continue;
    for (wchar_t* p = text; *p != 0; ++p) *p = L'#';
    delete[] text;
    text = nullptr;
  }
}

}  // namespace

TEST_PLUGIN_API int GetPluginInfo(int which, wchar_t** text) {
  if (which < 0 || which > 1 || text == nullptr) return 0;
#ifdef QV_TEST_PLUGIN_VALID
  const wchar_t* const answers[2] = {L"QuvoMailPlugIn 01", L"地図で開く"};
#else
  const wchar_t* const answers[2] = {L"QuvoMailPlugIn 02", L"別の版"};
#endif
  if (g_texts[which] == nullptr) g_texts[which] = Copy(answers[which]);
  *text = g_texts[which];
  return 1;
}
#else
TEST_PLUGIN_API int ExecutePlugIn(void*, void*) { return 0; }
#endif
