// Every store file cut at every length, and every state an interrupted save
// can leave, reads as a clean failure with the file's code or as committed
// content: never a crash and never invented entries.
#include <functional>
#include <sstream>

#include "HeaderRecords.h"
#include "StoreFixture.h"
#include "engine/store/QvFolderEntry.h"
#include "engine/store/QvIdTraits.h"
#include "engine/store/QvMessageEntry.h"
#include "engine/store/QvSignature.h"
#include "platform/base/WideText.h"

namespace {

std::string Err(uint32_t code) {
  std::ostringstream s;
  s << "error " << std::hex << code;
  return s.str();
}

// Each reader gives a file's content in one comparable text, or its error.
// The list and cache objects are reused from cut to cut, as a folder reopens.
struct Readers {
  QvFolderEntry folders;
  QvMessageEntry messages;
  QvMessageHeader header;
  QvIdTraits ids;

  std::string FolderList(const std::wstring& path) {
    uint32_t code = folders.ReadFile(path);
    if (code != QVMDL_SUCCESS) return Err(code);
    std::string out;
    for (const auto& e : folders.Entries()) out += std::to_string(e.id) + "=" + qv::WideToUtf8(e.name) + ";";
    return out;
  }

  std::string MessageList(const std::wstring& path) {
    uint32_t code = messages.ReadFile(path);
    if (code != QVMDL_SUCCESS) return Err(code);
    std::string out;
    for (const auto& e : messages.Entries()) {
      out += std::to_string(e.id) + "/" + std::to_string(e.unread) + std::to_string(e.partial) + ";";
    }
    return out;
  }

  std::string HeaderFile(const std::wstring& path) {
    uint32_t code = header.Open(path);
    if (code != QVMDL_SUCCESS) return Err(code);
    std::vector<QvMessageHeader::Record> all(header.Live());
    if (!header.LoadAll(all.data(), header.Live())) return Err(GetQvMiddleError());
    std::string out;
    for (const auto& r : all) out += std::to_string(r.id) + ":" + qv::WideToUtf8(r.subject) + ";";
    return out;
  }

  std::string Status(const std::wstring& path) {
    uint32_t code = ids.ReadStatus(path.substr(0, path.rfind(L'\\')), 65535);
    if (code != QVMDL_SUCCESS) return Err(code);
    return std::to_string(ids.NextId()) + "," + std::to_string(ids.GetCount());
  }

  static std::string FirstSignature(const std::wstring& path) {
    QvSignature s(path.substr(0, path.rfind(L'\\')));
    QvSignatureInterface::Attributes a{1, L"", L""};
    if (!s.ReadAttributes(&a)) return Err(GetQvMiddleError());
    std::u16string u = qv::WideToUtf16(a.first);
    return std::string(reinterpret_cast<const char*>(u.data()), u.size() * 2);
  }
};

struct Kind {
  const char* name;
  std::wstring path;
  std::function<std::string(const std::wstring&)> read;
  std::string older, newer;  // two committed contents
};

class TornFileTest : public StoreFixture {
 protected:
  std::vector<Kind> Kinds() {
    QvMessageHeader::Record r1 = MakeRecord(1, L"one"), r2 = MakeRecord(2, L"two"), r3 = MakeRecord(3, L"three");
    auto fdb = [&](std::vector<QvMessageHeader::Record> records, uint32_t deletedSlot) {
      std::string bytes = EmptyHeaderFile();
      for (size_t i = 0; i < records.size(); ++i) {
        uint32_t v = i == deletedSlot ? 0x8000FFFF : records[i].id;
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<char>(v >> (8 * b));
        uint8_t raw[1180];
        QvMessageHeader::EncodeRecord(records[i], raw);
        bytes.append(reinterpret_cast<char*>(raw), sizeof raw);
      }
      return bytes;
    };
    return {
        {"fld", L"\\T\\00\\00.fld", [this](const std::wstring& p) { return readers_.FolderList(p); },
         "0001\t\x8E\xF3\x90\x4D\xCC\xAB\xD9\xC0\xDE\r\n0002\tb\r\n",
         "0001\t\x8E\xF3\x90\x4D\xCC\xAB\xD9\xC0\xDE\r\n0002\tb\r\n0003\tccc\r\n"},
        {"msg", L"\\T\\00\\00.msg", [this](const std::wstring& p) { return readers_.MessageList(p); },
         "0001\t1\t0\r\n0002\t0\t0\r\n", "0001\t0\t0\r\n0002\t0\t0\r\n00FF\t1\t1\r\n"},
        {"fdb", L"\\T\\00\\00.fdb", [this](const std::wstring& p) { return readers_.HeaderFile(p); }, fdb({r1, r2}, 9),
         fdb({r1, r2, r3}, 1)},
        {"status", L"\\T\\Status.txt", [this](const std::wstring& p) { return readers_.Status(p); }, "00A3\t1F",
         "00A4\t20"},
        {"signature", L"\\T\\Data1.txt", Readers::FirstSignature, std::string("s\0i\0g\0", 6),
         std::string("n\0\x3D\xD8\x00\xDE!\0", 8)},
    };
  }
  void SetUp() override {
    StoreFixture::SetUp();
    MakeDir(L"\\T");
    MakeDir(L"\\T\\00");
  }
  Readers readers_;
  void Clear(const Kind& k) {
    for (const wchar_t* suffix : {L"", L"_tmp", L"_bak"}) DeleteFileW((k.path + suffix).c_str());
  }
};

TEST_F(TornFileTest, EveryCutReadsAsAFailureOrAsWholeCommittedEntries) {
  for (const Kind& k : Kinds()) {
    const std::string full = k.newer;
    WriteBytes(k.path, full);
    const std::string whole = k.read(k.path);
    ASSERT_EQ(whole.rfind("error", 0), std::string::npos) << k.name << " " << whole;
    // Cut the file shorter and shorter; reading it changes nothing.
    const std::string host = HostOf(k.path);
    for (size_t cut = full.size(); cut-- > 0;) {
      std::filesystem::resize_file(host, cut);
      const std::string got = k.read(k.path);
      SCOPED_TRACE(std::string(k.name) + " cut at " + std::to_string(cut) + ": " + got);
      if (got.rfind("error", 0) == 0) continue;  // a clean failure with a code
      // Otherwise only whole entries of what was committed may come back.
      if (std::string(k.name) == "fld" || std::string(k.name) == "msg") {
        if (cut > 0) {
          EXPECT_EQ(full[cut - 1], '\n');
        }
        EXPECT_EQ(whole.compare(0, got.size(), got), 0);
      } else if (std::string(k.name) == "signature") {
        EXPECT_EQ(got, full.substr(0, cut & ~size_t{1}));
      } else if (std::string(k.name) == "status") {
        // No line end marks the count's last digit: a cut inside it is a
        // shorter number. Writes go through the copy, so it never happens.
        EXPECT_EQ(got.rfind("164,", 0), 0u);
      } else {
        ADD_FAILURE() << "a cut header file read as content";
      }
    }
    Clear(k);
  }
}

TEST_F(TornFileTest, EveryInterruptedSaveReadsAsACommittedState) {
  for (const Kind& k : Kinds()) {
    SCOPED_TRACE(k.name);
    Clear(k);
    WriteBytes(k.path, k.older);
    const std::string older = k.read(k.path);
    WriteBytes(k.path, k.newer);
    const std::string newer = k.read(k.path);
    ASSERT_NE(older, newer);
    // The copy was being written when the save stopped: the old file holds.
    for (size_t cut = 0; cut <= k.newer.size(); cut += 7) {
      Clear(k);
      WriteBytes(k.path, k.older);
      WriteBytes(k.path + L"_tmp", k.newer.substr(0, cut));
      EXPECT_EQ(k.read(k.path), older) << cut;
      EXPECT_FALSE(Exists(k.path + L"_tmp"));
    }
    // The old file was moved aside, the whole copy not yet in place.
    Clear(k);
    WriteBytes(k.path + L"_bak", k.older);
    WriteBytes(k.path + L"_tmp", k.newer);
    EXPECT_EQ(k.read(k.path), newer);
    EXPECT_FALSE(Exists(k.path + L"_bak"));
    // Only the whole copy is left.
    Clear(k);
    WriteBytes(k.path + L"_tmp", k.newer);
    EXPECT_EQ(k.read(k.path), newer);
    EXPECT_FALSE(Exists(k.path + L"_tmp"));
    // Only the backup is left.
    Clear(k);
    WriteBytes(k.path + L"_bak", k.older);
    EXPECT_EQ(k.read(k.path), older);
    // The new file is in place, the backup not yet deleted.
    Clear(k);
    WriteBytes(k.path, k.newer);
    WriteBytes(k.path + L"_bak", k.older);
    EXPECT_EQ(k.read(k.path), newer);
    EXPECT_FALSE(Exists(k.path + L"_bak"));
    Clear(k);
  }
}

}  // namespace
