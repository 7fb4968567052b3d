// Profile files: the scrambling routine, the file's bytes, single-value and
// batch operations, their quirks and their failure codes.
#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FoundationFixture.h"
#include "engine/public/foundation/QvProfileManipulator.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Sync.h"

namespace {

const std::wstring kPath = L"\\Settings.ini";

std::u16string UnitsOf(const std::string& bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return units;
}

// What a reader of the format sees: the key, the lines in plain text, and
// whether the last line ends with CR LF.
struct Decoded {
  bool bom = false;
  uint32_t key = 0;
  std::vector<std::wstring> lines;  // after the key line
  bool endsWithCrLf = false;
};

Decoded Decode(const std::string& bytes) {
  Decoded out;
  std::u16string units = UnitsOf(bytes);
  out.endsWithCrLf = units.size() >= 2 && units.substr(units.size() - 2) == u"\r\n";
  size_t pos = 0;
  if (units.substr(0, 3) == u"\xFEFF\r\n") {
    out.bom = true;
    pos = 3;
  }
  uint32_t key = QvProfileManipulator::kInitialKey;
  bool keySeen = false;
  while (pos < units.size()) {
    size_t end = units.find(u"\r\n", pos);
    if (end == std::u16string::npos) end = units.size();
    const std::wstring plain = qv::Utf16ToWide(QvProfileManipulator::ConvertValue(units.substr(pos, end - pos), key));
    if (!keySeen && plain.rfind(L"key1=", 0) == 0) {
      keySeen = true;
      key = static_cast<uint32_t>(std::stoul(plain.substr(5)));
      out.key = key;
    } else {
      out.lines.push_back(plain);
    }
    pos = end + 2;
  }
  return out;
}

class ProfileTest : public FoundationTest {
 protected:
  void SetUp() override {
    FoundationTest::SetUp();
    profile_ = std::make_unique<QvProfileManipulator>(kPath);
  }
  void TearDown() override {
    profile_.reset();
    FoundationTest::TearDown();
  }
  void Create() { ASSERT_TRUE(profile_->CreateProfileFile()); }
  std::wstring Get(const std::wstring& name, const std::wstring& def = L"<default>") {
    std::wstring value;
    EXPECT_TRUE(profile_->GetPrivateProfileString(name, def, &value));
    return value;
  }
  uint32_t GetInt(const std::wstring& name, uint32_t def) {
    uint32_t value = 0xABAB;
    EXPECT_TRUE(profile_->GetPrivateProfileInt(name, &def, &value));
    return value;
  }
  bool GetBool(const std::wstring& name, bool def) {
    bool value = !def;
    EXPECT_TRUE(profile_->GetPrivateProfileBool(name, &def, &value));
    return value;
  }
  static ProfileItem Item(const std::wstring& name, uint32_t kind, const std::wstring& text = L"", uint32_t number = 0,
                          bool flag = false) {
    ProfileItem item;
    item.name = name;
    item.kind = kind;
    item.text = text;
    item.number = number;
    item.flag = flag;
    return item;
  }

  std::unique_ptr<QvProfileManipulator> profile_;
};

TEST(ProfileScrambleTest, IsItsOwnInverseForEveryUnitALineCanHold) {
  for (uint32_t key : {0u, 1u, 9u, 37u, 42u, 98u, 99u, 65533u, 4000000000u}) {
    SCOPED_TRACE(key);
    int fixedPoints = 0;
    for (uint32_t u = 0; u <= 0xFFFF; ++u) {
      const auto unit = static_cast<char16_t>(u);
      const char16_t scrambled = QvProfileManipulator::ConvertUnit(unit, key);
      if (unit == 0 || unit == u'\r' || unit == u'\n') {
        EXPECT_EQ(scrambled, unit);
        continue;
      }
      ASSERT_EQ(QvProfileManipulator::ConvertUnit(scrambled, key), unit) << std::hex << u;
      ASSERT_NE(scrambled, 0) << std::hex << u;
      ASSERT_NE(scrambled, u'\r') << std::hex << u;
      ASSERT_NE(scrambled, u'\n') << std::hex << u;
      if (scrambled == unit) ++fixedPoints;
    }
    EXPECT_LE(fixedPoints, 2) << "the text is really scrambled";
  }
  EXPECT_NE(QvProfileManipulator::ConvertValue(u"abc", 1), QvProfileManipulator::ConvertValue(u"abc", 2));
}

TEST_F(ProfileTest, FreshFileBytes) {
  Create();
  const std::string bytes = ReadBytes(kPath);
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFE\x0D\x00\x0A\x00", 6)) << "byte-order-mark line";
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\x0D\x00\x0A\x00", 4));
  // The key line, scrambled with the fixed initial key: "key1=" and one or two digits.
  const std::u16string keyLine = UnitsOf(bytes.substr(6, bytes.size() - 10));
  EXPECT_EQ(keyLine.find(u"key1="), std::u16string::npos) << "not stored in plain text";
  const std::u16string plain = QvProfileManipulator::ConvertValue(keyLine, QvProfileManipulator::kInitialKey);
  ASSERT_GE(plain.size(), 6u);
  ASSERT_LE(plain.size(), 7u);
  EXPECT_EQ(plain.substr(0, 5), u"key1=");
  for (char16_t digit : plain.substr(5)) EXPECT_TRUE(digit >= u'0' && digit <= u'9');
  const Decoded decoded = Decode(bytes);
  EXPECT_TRUE(decoded.lines.empty());
}

TEST_F(ProfileTest, JapaneseNamesAndValuesRoundTrip) {
  Create();
  const std::wstring name = L"署名テキスト";
  const std::wstring value = L"こんにちは、世界＝𠮷野家 ｶﾅ ①";  // a pair above U+FFFF and a full-width equals
  ASSERT_TRUE(profile_->WritePrivateProfileString(name, value));
  EXPECT_EQ(Get(name), value);
  const std::string bytes = ReadBytes(kPath);
  EXPECT_EQ(bytes.find(qv::WideToUtf16LE(L"こんにちは")), std::string::npos) << "stored scrambled";

  std::deque<ProfileItem> items = {Item(L"件名", ProfileItem::kText, L"日本語の値"), Item(name, ProfileItem::kText)};
  ASSERT_TRUE(profile_->WriteValues(items));
  std::deque<ProfileItem> read = {Item(L"件名", ProfileItem::kText), Item(name, ProfileItem::kText),
                                  Item(L"無い", ProfileItem::kText, L"既定")};
  ASSERT_TRUE(profile_->ReadValues(read));
  EXPECT_EQ(read[0].text, L"日本語の値");
  EXPECT_EQ(read[1].text, L"") << "the batch wrote the item's empty text";
  EXPECT_EQ(read[2].text, L"既定");
}

TEST_F(ProfileTest, NumberQuirks) {
  Create();
  const struct {
    const wchar_t* text;
    uint32_t expected;
  } rows[] = {{L"0", 0}, {L"12x", 12}, {L"00", 77}, {L"", 77}, {L"abc", 77}, {L"4294967295", 0xFFFFFFFFu},
              {L"99999999999", 0xFFFFFFFFu}, {L"-1", 0xFFFFFFFFu}, {L" 8", 8}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "text \"" << qv::WideToUtf8(row.text) << "\"");
    ASSERT_TRUE(profile_->WritePrivateProfileString(L"n", row.text));
    EXPECT_EQ(GetInt(L"n", 77), row.expected);
    std::deque<ProfileItem> items = {Item(L"n", ProfileItem::kNumber, L"", 77)};
    ASSERT_TRUE(profile_->ReadValues(items));
    EXPECT_EQ(items[0].number, row.expected);
  }
  EXPECT_EQ(GetInt(L"absent", 5), 5u);
  uint32_t value = 31;
  ASSERT_TRUE(profile_->WritePrivateProfileInt(L"n", &value));
  EXPECT_EQ(Get(L"n"), L"31");
}

TEST_F(ProfileTest, TruthValueQuirks) {
  Create();
  const struct {
    const wchar_t* text;
    bool def;
    bool expected;
  } rows[] = {{L"1", false, true}, {L"0", true, false}, {L"yes", true, true}, {L"yes", false, false},
              {L"", true, true},   {L"01", false, false}, {L"true", false, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "text \"" << qv::WideToUtf8(row.text) << "\" default " << row.def);
    ASSERT_TRUE(profile_->WritePrivateProfileString(L"b", row.text));
    EXPECT_EQ(GetBool(L"b", row.def), row.expected);
    std::deque<ProfileItem> items = {Item(L"b", ProfileItem::kBool, L"", 0, row.def)};
    ASSERT_TRUE(profile_->ReadValues(items));
    EXPECT_EQ(items[0].flag, row.expected);
  }
  bool on = true;
  ASSERT_TRUE(profile_->WritePrivateProfileBool(L"b", &on));
  EXPECT_EQ(Get(L"b"), L"1");
}

TEST_F(ProfileTest, EmptyValueGivesTheDefaultOrTheEmptyText) {
  Create();
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"name", L""));
  EXPECT_EQ(Get(L"name", L"def"), L"def");
  std::deque<ProfileItem> items = {Item(L"name", ProfileItem::kText, L"def")};
  ASSERT_TRUE(profile_->ReadValues(items));
  EXPECT_EQ(items[0].text, L"");
}

TEST_F(ProfileTest, NewNamesAreAppendedWithoutLineEnd) {
  Create();
  const uint32_t key = Decode(ReadBytes(kPath)).key;
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"First", L"1"));
  Decoded decoded = Decode(ReadBytes(kPath));
  EXPECT_EQ(decoded.lines, std::vector<std::wstring>{L"First=1"});
  EXPECT_FALSE(decoded.endsWithCrLf);
  EXPECT_EQ(decoded.key, key) << "single-value writes keep the key";

  ASSERT_TRUE(profile_->WritePrivateProfileString(L"Second", L"2"));
  decoded = Decode(ReadBytes(kPath));
  EXPECT_EQ(decoded.lines, (std::vector<std::wstring>{L"First=1", L"Second=2"}));
  EXPECT_FALSE(decoded.endsWithCrLf) << "the previous line got its CR LF, the new one has none";

  // Replacing a line keeps the order of the others.
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"First", L"one"));
  decoded = Decode(ReadBytes(kPath));
  EXPECT_EQ(decoded.lines, (std::vector<std::wstring>{L"First=one", L"Second=2"}));
  EXPECT_EQ(decoded.key, key);
}

TEST_F(ProfileTest, NamesAreCaseSensitiveAndExact) {
  Create();
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"Key", L"upper"));
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"key", L"lower"));
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"Keys", L"longer"));
  EXPECT_EQ(Get(L"Key"), L"upper");
  EXPECT_EQ(Get(L"key"), L"lower");
  EXPECT_EQ(Get(L"Keys"), L"longer");
  EXPECT_EQ(Get(L"Ke"), L"<default>");
  EXPECT_EQ(Decode(ReadBytes(kPath)).lines.size(), 3u);
}

TEST_F(ProfileTest, BatchWritesSortAndReKey) {
  Create();
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"m", L"kept"));
  std::vector<uint32_t> keys;
  for (int round = 0; round < 12; ++round) {
    std::deque<ProfileItem> items = {Item(L"z", ProfileItem::kNumber, L"", static_cast<uint32_t>(round)),
                                     Item(L"a", ProfileItem::kBool, L"", 0, round % 2 == 1),
                                     Item(L"B", ProfileItem::kText, L"テキスト")};
    ASSERT_TRUE(profile_->WriteValues(items));
    const Decoded decoded = Decode(ReadBytes(kPath));
    EXPECT_TRUE(decoded.bom);
    EXPECT_TRUE(decoded.endsWithCrLf);
    EXPECT_LT(decoded.key, 100u);
    const std::vector<std::wstring> expected = {L"B=テキスト", L"a=" + std::to_wstring(round % 2), L"m=kept",
                                                L"z=" + std::to_wstring(round)};
    EXPECT_EQ(decoded.lines, expected) << "sorted by code unit, lines scrambled under the new key";
    keys.push_back(decoded.key);
  }
  std::sort(keys.begin(), keys.end());
  EXPECT_GT(std::unique(keys.begin(), keys.end()) - keys.begin(), 1) << "each rewrite draws a key";
  // A single-value write after a batch keeps that key.
  const uint32_t key = Decode(ReadBytes(kPath)).key;
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"new", L"x"));
  EXPECT_EQ(Decode(ReadBytes(kPath)).key, key);
  EXPECT_EQ(Get(L"z"), L"11");
}

TEST_F(ProfileTest, FirstAssignmentWinsAndLinesWithoutEqualsAreSkipped) {
  Create();
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"dup", L"first"));
  // Append a second assignment and a stray line by hand, scrambled with the file's key.
  const Decoded decoded = Decode(ReadBytes(kPath));
  std::u16string extra = u"\r\n" + QvProfileManipulator::ConvertValue(u"stray line", decoded.key) + u"\r\n" +
                         QvProfileManipulator::ConvertValue(u"dup=second", decoded.key);
  std::string bytes = ReadBytes(kPath);
  for (char16_t unit : extra) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  WriteBytes(kPath, bytes);
  EXPECT_EQ(Get(L"dup"), L"first");
  std::deque<ProfileItem> items = {Item(L"dup", ProfileItem::kText)};
  ASSERT_TRUE(profile_->ReadValues(items));
  EXPECT_EQ(items[0].text, L"first");
  ASSERT_TRUE(profile_->WriteValues({Item(L"other", ProfileItem::kText, L"x")}));
  EXPECT_EQ(Decode(ReadBytes(kPath)).lines, (std::vector<std::wstring>{L"dup=first", L"other=x"}));
}

TEST_F(ProfileTest, DamagedFilesAreReadWithoutHarm) {
  // An odd byte count, a key far beyond two digits, NUL and lone CR inside
  // lines, a line without "=", and no byte-order mark at all.
  std::u16string units = QvProfileManipulator::ConvertValue(u"key1=99999999999999", QvProfileManipulator::kInitialKey);
  units += u"\r\n";
  units += QvProfileManipulator::ConvertValue(u"a=1", 0xFFFFFFFFu);
  units += u"\r\n";
  units += std::u16string(u"x\0y\rz", 6);
  units += u"\n\n\r\n";
  std::string bytes;
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  bytes.push_back('\x7f');
  WriteBytes(kPath, bytes);
  EXPECT_EQ(Get(L"a"), L"1") << "the saturated key still unscrambles what it scrambled";
  EXPECT_EQ(GetInt(L"missing", 4), 4u);
  std::deque<ProfileItem> items = {Item(L"a", ProfileItem::kNumber), Item(L"b", ProfileItem::kBool, L"", 0, true)};
  ASSERT_TRUE(profile_->ReadValues(items));
  EXPECT_EQ(items[0].number, 1u);
  EXPECT_TRUE(items[1].flag);
  ASSERT_TRUE(profile_->WriteValues({Item(L"b", ProfileItem::kBool, L"", 0, false)}));
  const Decoded decoded = Decode(ReadBytes(kPath));
  EXPECT_TRUE(decoded.bom);
  ASSERT_GE(decoded.lines.size(), 2u);
  EXPECT_EQ(decoded.lines[0], L"a=1");
  EXPECT_EQ(decoded.lines[1], L"b=0");
}

TEST_F(ProfileTest, InterruptedSavesAreRecovered) {
  Create();
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"v", L"saved"));
  const std::string saved = ReadBytes(kPath);
  // The rewrite was written to the temp, then the process died before the replace.
  ASSERT_TRUE(MoveFileW(kPath.c_str(), (kPath + L"_tmp").c_str()));
  EXPECT_EQ(Get(L"v"), L"saved");
  EXPECT_EQ(ReadBytes(kPath), saved);
  EXPECT_FALSE(Exists(kPath + L"_tmp"));

  // A stale temp beside the file is dropped, by single and batch operations.
  WriteBytes(kPath + L"_tmp", "junk");
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"w", L"1"));
  EXPECT_FALSE(Exists(kPath + L"_tmp"));
  EXPECT_EQ(Get(L"v"), L"saved");

  // Batch passes also settle a "_bak".
  ASSERT_TRUE(MoveFileW(kPath.c_str(), (kPath + L"_bak").c_str()));
  std::deque<ProfileItem> items = {Item(L"v", ProfileItem::kText), Item(L"w", ProfileItem::kNumber)};
  ASSERT_TRUE(profile_->ReadValues(items));
  EXPECT_EQ(items[0].text, L"saved");
  EXPECT_EQ(items[1].number, 1u);
  EXPECT_FALSE(Exists(kPath + L"_bak"));
}

TEST_F(ProfileTest, MissingFileCodes) {
  std::wstring value = L"unchanged";
  EXPECT_FALSE(profile_->GetPrivateProfileString(L"v", L"d", &value));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_FILE_NOT_FOUND);
  EXPECT_EQ(value, L"unchanged");
  uint32_t number = 3;
  uint32_t def = 1;
  EXPECT_FALSE(profile_->GetPrivateProfileInt(L"v", &def, &number));
  EXPECT_EQ(number, 3u);
  EXPECT_FALSE(profile_->WritePrivateProfileString(L"v", L"x"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_WRITE_NO_FILE);
  EXPECT_FALSE(profile_->WriteValues({Item(L"v", ProfileItem::kText, L"x")}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_BATCH_NO_FILE);
  SetQvMiddleError(0);
  std::deque<ProfileItem> items = {Item(L"v", ProfileItem::kText)};
  EXPECT_FALSE(profile_->ReadValues(items));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_BATCH_OPEN) << "every failure leaves a code";
  EXPECT_FALSE(Exists(kPath));
}

TEST_F(ProfileTest, NamesWithEqualsAreRefused) {
  Create();
  const std::string before = ReadBytes(kPath);
  std::wstring value;
  EXPECT_FALSE(profile_->GetPrivateProfileString(L"a=b", L"", &value));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_NAME_HAS_EQUAL);
  SetQvMiddleError(0);
  EXPECT_FALSE(profile_->WritePrivateProfileString(L"a=b", L"c"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_NAME_HAS_EQUAL);
  SetQvMiddleError(0);
  EXPECT_FALSE(profile_->WriteValues({Item(L"a=b", ProfileItem::kText, L"c")}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_NAME_HAS_EQUAL);
  EXPECT_EQ(ReadBytes(kPath), before);
}

TEST_F(ProfileTest, FreeSpaceIsCheckedBeforeWriting) {
  Create();
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"v", L"old"));
  const std::string before = ReadBytes(kPath);
  const ULONGLONG needed = before.size() + 0x7F000;
  qv::seams::SetFreeSpace(needed);  // must exceed, not equal
  EXPECT_FALSE(profile_->WritePrivateProfileString(L"v", L"new"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_DISK_SPACE);
  EXPECT_FALSE(profile_->WriteValues({Item(L"v", ProfileItem::kText, L"new")}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_BATCH_DISK_SPACE);
  EXPECT_EQ(ReadBytes(kPath), before);
  qv::seams::SetFreeSpace(needed + 1);
  EXPECT_TRUE(profile_->WritePrivateProfileString(L"v", L"new"));
}

TEST_F(ProfileTest, DiskFullLeavesTheFileAsItWas) {
  Create();
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"v", L"old"));
  const std::string before = ReadBytes(kPath);
  qv::seams::InjectFileFault(kPath + L"_tmp", ERROR_DISK_FULL);
  SetQvMiddleError(0);
  EXPECT_FALSE(profile_->WritePrivateProfileString(L"v", L"new"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_WRITE_OPEN);
  SetQvMiddleError(0);
  EXPECT_FALSE(profile_->WriteValues({Item(L"v", ProfileItem::kText, L"new")}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(ReadBytes(kPath), before);
  EXPECT_EQ(Get(L"v"), L"old");
}

TEST_F(ProfileTest, BusyFileFailsTheCommitAfterRetries) {
  Create();
  ASSERT_TRUE(profile_->WritePrivateProfileString(L"v", L"old"));
  const std::string debug = CaptureDebug();
  // Another handle that does not share deletion keeps the file from being replaced.
  HANDLE held = CreateFileW(kPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(profile_->WritePrivateProfileString(L"v", L"new"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_COMMIT);
  EXPECT_FALSE(profile_->WriteValues({Item(L"v", ProfileItem::kText, L"new")}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_BATCH_COMMIT);
  CloseHandle(held);
  const std::string lines = ReadHostFile(debug);
  EXPECT_NE(lines.find(" Retry DeleteAndRenameFile():(100) /// Reason: file busy\r\n"), std::string::npos);
  EXPECT_EQ(lines.find("(101)"), std::string::npos);
  EXPECT_EQ(Get(L"v"), L"old") << "the left-over temp is dropped, the file kept";
  EXPECT_FALSE(Exists(kPath + L"_tmp"));
}

TEST_F(ProfileTest, OperationsWaitForTheSystemWideMutex) {
  Create();
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"QvProfileManipulator Mutex");
  ASSERT_NE(mutex, nullptr);
  ASSERT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    QvProfileManipulator other(kPath);
    EXPECT_TRUE(other.WritePrivateProfileString(L"v", L"from thread"));
    done = true;
  });
  Sleep(100);
  EXPECT_FALSE(done) << "the write waits while another holder has the mutex";
  ReleaseMutex(mutex);
  writer.join();
  CloseHandle(mutex);
  EXPECT_TRUE(done);
  EXPECT_EQ(Get(L"v"), L"from thread");
}

}  // namespace
