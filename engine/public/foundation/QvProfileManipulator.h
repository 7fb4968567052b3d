// Profile files: the engine's settings files ("AccountInfo.ini",
// "CommonSetting.ini", "SystemInfo.ini"...). A profile file is UTF-16LE: a
// byte-order-mark line, a key line, then name=value lines, each line's text
// scrambled with the key the file carries. One system-wide named mutex
// serialises every profile operation of every process; rewrites go through a
// "_tmp" copy that replaces the file in one step.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <string_view>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/foundation/QvNamedMutex.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WinTypes.h"

// One entry of a batch read or write. On a read the text, number or flag holds
// the default on entry and the result on return.
struct ProfileItem {
  enum Kind : uint32_t { kText = 0, kNumber = 1, kBool = 2 };

  std::wstring name;
  std::wstring text;
  uint32_t number = 0;
  bool flag = false;
  uint32_t kind = kText;
};

class QVMIDDLE_API QvProfileManipulator {
 public:
  explicit QvProfileManipulator(std::wstring path);
  ~QvProfileManipulator();
  QvProfileManipulator(const QvProfileManipulator&) = delete;
  QvProfileManipulator& operator=(const QvProfileManipulator&) = delete;

  // True when the file could be read, whether or not the name was found; an
  // absent or empty value gives the default.
  bool GetPrivateProfileString(const std::wstring& name, const std::wstring& defaultValue, std::wstring* result);
  bool GetPrivateProfileInt(const std::wstring& name, const uint32_t* defaultValue, uint32_t* result);
  bool GetPrivateProfileBool(const std::wstring& name, const bool* defaultValue, bool* result);
  // Sets one line, keeping the file's key and the order of its lines; a new
  // name is appended as the last line.
  bool WritePrivateProfileString(const std::wstring& name, const std::wstring& value);
  bool WritePrivateProfileInt(const std::wstring& name, const uint32_t* value);
  bool WritePrivateProfileBool(const std::wstring& name, const bool* value);
  // Fills every item from the file in one pass.
  bool ReadValues(std::deque<ProfileItem>& items);
  // Sets every item and rewrites the whole file once, sorted by name, under a
  // freshly drawn key.
  bool WriteValues(std::deque<ProfileItem> items);
  // Creates (or truncates) the file with its byte-order-mark line and a key
  // line. Runs outside the mutex: callers create a file before sharing it.
  bool CreateProfileFile();

  const std::wstring& Path() const { return path_; }

  // The scrambling routine. It is its own inverse for every UTF-16 unit a
  // line's text can hold (all but NUL, CR and LF, which it leaves alone) and
  // never yields NUL, CR or LF, so one call scrambles on write and
  // unscrambles on read, and line ends stay unambiguous.
  static char16_t ConvertUnit(char16_t unit, uint32_t key);
  static std::u16string ConvertValue(std::u16string_view units, uint32_t key);
  static void ConvertValueInPlace(std::u16string& units, uint32_t key);

  // The key that scrambles every file's key line.
  static constexpr uint32_t kInitialKey = 37;
  // The number readers' conversion: base-10 over 32 bits, except that a 0
  // parsed from a text not exactly one character long gives the default.
  static uint32_t ParseNumber(std::wstring_view text, uint32_t defaultValue);

 private:
  enum Mode : int { kModeRead = 0, kModeWrite = 1 };

  bool SettleTemp(bool writing);
  bool OpenPass(int mode);
  bool ClosePass(bool commit);
  bool LoadAllValues();
  bool FileHasRoom(uint32_t refusal);
  bool WriteValuesLocked(std::deque<ProfileItem>& items);
  bool WriteStringLocked(const std::wstring& name, const std::wstring& value);

  std::wstring path_;
  QvNamedMutex mutex_;
  qv::ScopedFile readStream_;
  qv::ScopedFile writeStream_;
  std::map<std::u16string, std::u16string> cache_;
  std::wstring tempPath_;
  int mode_ = kModeRead;
};
