// Part names from mail that try to leave the folder they are saved in, to
// hide, or to break the file system's rules, in every form a mail can carry
// them: plain, raw Shift_JIS, RFC 2047 words in ISO-2022-JP, Shift_JIS,
// EUC-JP and UTF-8, and RFC 2231 values. Each one is decoded, shown and
// saved through the decoder's public face, and the shown name and the saved
// file must be the same one safe base name.
#include <filesystem>
#include <set>

#include "engine/content/HeaderText.h"
#include "engine/content/MimeSupport.h"
#include "tests/engine/content/mime/MimeTestSupport.h"

using namespace mimetest;

namespace {

struct HostileName {
  const char* what;
  std::string params;  // the part's header lines after "Content-Type: application/octet-stream"
  std::wstring safe;   // the name shown and saved
};

const std::wstring kLong = std::wstring(196, L'n') + L".jpg";

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

const HostileName kNames[] = {
    {"plain climb", "; name=\"../../x.sh\"", L"x.sh"},
    {"backslash climb", "; name=\"..\\\\..\\\\x.sh\"", L"x.sh"},
    {"dot", "; name=\".\"", L"NoName"},
    {"dot dot", "; name=\"..\"", L"NoName"},
    {"dots and blanks", "; name=\". . .\"", L"NoName"},
    {"only a slash", "; name=\"/\"", L"NoName"},
    {"hidden", "; name=\".profile\"", L"profile"},
    {"trailing dot and blank", "; name=\"a.txt. \"", L"a.txt"},
    {"reserved set", "; name=\"a<b>c:d\\\"e|f?g*h.txt\"", L"abcdefgh.txt"},
    {"raw Shift_JIS lone leads", "; name=\"\x81/..\x81/x.sh\"", L"・..・x.sh"},
    {"raw Shift_JIS backslash after a lead", "; name=\"\x81\\\\..\\\\x.sh\"", L"―..x.sh"},
    {"raw Shift_JIS trail 5C", "; name=\x95\x5C.txt", L"表.txt"},
    {"RFC 2047 ISO-2022-JP", "; name=\"=?ISO-2022-JP?B?GyRCO3FOQRsoQi8uLi94LnNo?=\"", L"資料..x.sh"},
    {"RFC 2047 Shift_JIS lone lead", "; name=\"=?Shift_JIS?B?gS8uLi94LnNo?=\"", L"・..x.sh"},
    {"RFC 2047 EUC-JP", "; name=\"=?EUC-JP?Q?=BB=F1=CE=C1/../x.sh?=\"", L"資料..x.sh"},
    {"RFC 2047 UTF-8", "; name=\"=?UTF-8?B?Li4vLi4veC5zaA==?=\"", L"x.sh"},
    {"RFC 2047 UTF-8 dot dot", "; name=\"=?UTF-8?B?Li4=?=\"", L"NoName"},
    {"RFC 2047 UTF-8 controls", "; name=\"=?UTF-8?B?YQFiCX9jwpsudHh0?=\"", L"abc〓.txt"},  // what CP932 lacks is 〓
    {"RFC 2047 UTF-8 direction override", "; name=\"=?UTF-8?B?4oCuaHMueHQu?=\"", L"〓hs.xt"},
    {"RFC 2231 UTF-8", "\nContent-Disposition: attachment; filename*=UTF-8''..%2F..%2Fx.sh", L"x.sh"},
    {"RFC 2231 ISO-2022-JP",
     "\nContent-Disposition: attachment; filename*=iso-2022-jp''%1B%24B%3BqNA%1B%28B/../x.sh", L"資料..x.sh"},
    {"RFC 2231 Shift_JIS lone lead", "\nContent-Disposition: attachment; filename*=shift_jis''%81/..%5Cx.sh",
     L"・..x.sh"},
    {"RFC 2231 pieces", "\nContent-Disposition: attachment; filename*0=\"..\"; filename*1=\"/x.sh\"", L"x.sh"},
    {"RFC 2231 dot dot", "\nContent-Disposition: attachment; filename*=UTF-8''%2E%2E", L"NoName"},
    {"disposition", "\nContent-Disposition: attachment; filename=\"../../y.sh\"", L"y.sh"},
    {"long", "; name=\"" + std::string(400, 'n') + ".jpg\"", kLong},
    // 150 Japanese characters are 450 bytes of UTF-8, beyond any file system's
    // 255 a name: cut to what fits, the extension kept.
    {"long Japanese", "\nContent-Disposition: attachment; filename*=UTF-8''" + Repeat("%E8%B3%87", 150) + ".jpg",
     std::wstring(78, L'資') + L".jpg"},
};

// A base name any folder can hold: what every row's result must be, beside
// its exact value.
::testing::AssertionResult IsSafeBaseName(const std::wstring& name) {
  if (name.empty()) return ::testing::AssertionFailure() << "empty";
  if (name.size() > content::kFileNameLimit) return ::testing::AssertionFailure() << "too long";
  size_t bytes = 0;
  for (wchar_t c : name) bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  if (bytes > 255) return ::testing::AssertionFailure() << bytes << " bytes: longer than a file system holds";
  if (name.front() == L'.' || name.back() == L'.' || name.back() == L' ')
    return ::testing::AssertionFailure() << "dot or blank at an end";
  for (wchar_t c : name) {
    if (c < 0x20 || c == 0x7F || std::wstring_view(L"/\\<>:\"|?*").find(c) != std::wstring_view::npos)
      return ::testing::AssertionFailure() << "holds U+" << std::hex << static_cast<unsigned>(c);
  }
  return ::testing::AssertionSuccess();
}

// Every host file below the root, by its path relative to the root.
std::set<std::string> HostFiles(const std::string& root) {
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.insert(std::filesystem::relative(entry.path(), root).string());
  }
  return files;
}

class HostileNames : public MimeTest {};

TEST_F(HostileNames, EveryFormIsShownAndSavedAsOneSafeBaseName) {
  const std::wstring folder = DeviceFolder(L"Save/Deep");
  for (const HostileName& row : kNames) {
    SCOPED_TRACE(row.what);
    std::string raw = "Content-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n"
                      "--b\nContent-Type: application/octet-stream" +
                      row.params + "\nContent-Transfer-Encoding: base64\n\naGFja2Vk\n--b--\n";
    Email mail;
    ASSERT_TRUE(eml_.Decode(&mail, &raw)) << std::hex << eml_.GetErrorInfo();
    ASSERT_EQ(mail.attachments.size(), 1u);
    Enclosure part = mail.attachments.front();
    EXPECT_EQ(part.displayName, row.safe);
    EXPECT_TRUE(IsSafeBaseName(part.displayName));

    const std::set<std::string> before = HostFiles(root_);
    part.folder = folder;
    ASSERT_TRUE(eml_.GetEnclosure(raw, part)) << std::hex << eml_.GetErrorInfo();
    std::set<std::string> added;
    for (const std::string& file : HostFiles(root_)) {
      if (!before.contains(file)) added.insert(file);
    }
    // One new file, straight inside the folder, under the name shown.
    ASSERT_EQ(added.size(), 1u);
    const std::filesystem::path made(*added.begin());
    EXPECT_EQ(made.parent_path(), std::filesystem::path("Save/Deep"));
    EXPECT_EQ(W(S(folder + row.safe)), folder + row.safe);  // the name survives the device code page
    EXPECT_EQ(ReadDeviceFile(folder + row.safe), "hacked");
    std::filesystem::remove(std::filesystem::path(root_) / made);
  }
}

// The same names as Shift_JIS bytes, through the file-name maker.
TEST_F(HostileNames, ShiftJisNamesMakeOneSafeBaseName) {
  const std::pair<std::string, std::wstring> names[] = {
      {"\x81/x.sh", L"・x.sh"},  // a lone lead byte must not carry the "/" into a pair
      {"\x81\\x.sh", L"―x.sh"},  // 5C after a lead byte is a trail byte
      {"../../x.sh", L"x.sh"},
      {"..\\..\\x.sh", L"x.sh"},
      {".", L"NoName"},
      {"..", L"NoName"},
      {"", L"NoName"},
      {"\x81", L"・"},
      {std::string("a\0/../b", 7), L"a"},  // the name ends at its NUL
      {"a\x01\x1F\x7F" "b<>:\"|?*.txt", L"ab.txt"},
      {"\x8E\xA1/", L"治"},                 // a "/" after a whole pair
      {std::string(250, 'n') + ".txt", std::wstring(196, L'n') + L".txt"},
  };
  for (const auto& [sjis, want] : names) {
    std::wstring out;
    EXPECT_EQ(content::MakeFileName(sjis, out), QVMDL_SUCCESS);
    EXPECT_EQ(out, want) << sjis;
    EXPECT_TRUE(IsSafeBaseName(out)) << sjis;
  }
}

}  // namespace
