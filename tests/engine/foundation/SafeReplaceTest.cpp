// The safe replacement pair: every row of the restore table, the commit, and
// the busy-file retries.
#include <string>

#include "FoundationFixture.h"
#include "engine/foundation/QvSafeReplace.h"

namespace {

const std::wstring kFile = L"\\data.txt";
const std::wstring kTemp = L"\\data.txt_tmp";
const std::wstring kBackup = L"\\data.txt_bak";

class SafeReplaceTest : public FoundationTest {
 protected:
  // Lays out which of the three files exist, each with its own content.
  void Layout(bool file, bool temp, bool backup) {
    if (file) WriteBytes(kFile, "current");
    if (temp) WriteBytes(kTemp, "new");
    if (backup) WriteBytes(kBackup, "old");
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

struct RestoreRow {
  bool file, temp, backup;
  uint32_t result;
  const char* content;  // of the file afterwards
};

TEST_F(SafeReplaceTest, RestoreTable) {
  const RestoreRow rows[] = {
      {true, false, false, QVMDL_SUCCESS, "current"},
      {true, true, false, QVMDL_SUCCESS, "current"},
      {true, false, true, QVMDL_SUCCESS, "current"},
      {true, true, true, QVMDL_SUCCESS, "current"},
      {false, true, false, QVMDL_SUCCESS, "new"},
      {false, true, true, QVMDL_SUCCESS, "new"},
      {false, false, true, QVMDL_SUCCESS, "old"},
      {false, false, false, QVMDL_ERR_SAFESAVE_NOFILE, "<missing>"},
  };
  for (const RestoreRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "file " << row.file << " temp " << row.temp << " backup " << row.backup);
    DeleteFileW(kFile.c_str());
    Layout(row.file, row.temp, row.backup);
    SetQvMiddleError(0x12345);
    EXPECT_EQ(RestoreInterruptedFile(kFile, kTemp), row.result);
    EXPECT_EQ(ReadBytes(kFile), row.content);
    EXPECT_FALSE(Exists(kTemp));
    EXPECT_FALSE(Exists(kBackup));
    EXPECT_EQ(GetQvMiddleError(), 0x12345u) << "the pair never touches the error word";
  }
}

TEST_F(SafeReplaceTest, RestoreReportsTheLastFailedDeletionButRunsBoth) {
  Layout(true, true, true);
  qv::seams::InjectFileFault(kTemp, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(RestoreInterruptedFile(kFile, kTemp), QVMDL_ERR_SAFESAVE_DELTMP);
  EXPECT_TRUE(Exists(kTemp));
  EXPECT_FALSE(Exists(kBackup)) << "the backup is deleted even after the temp failed";

  WriteBytes(kBackup, "old");
  qv::seams::InjectFileFault(kBackup, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(RestoreInterruptedFile(kFile, kTemp), QVMDL_ERR_SAFESAVE_DELBAK);
  EXPECT_EQ(ReadBytes(kFile), "current");
}

TEST_F(SafeReplaceTest, RestoreFailuresOfTheMoves) {
  Layout(false, true, true);
  qv::seams::InjectFileFault(kTemp, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(RestoreInterruptedFile(kFile, kTemp), QVMDL_ERR_SAFESAVE_MOVETMP);
  EXPECT_FALSE(Exists(kBackup)) << "the backup deletion still runs";
  EXPECT_FALSE(Exists(kFile));

  qv::seams::ClearFileFaults();
  DeleteFileW(kTemp.c_str());
  WriteBytes(kBackup, "old");
  qv::seams::InjectFileFault(kBackup, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(RestoreInterruptedFile(kFile, kTemp), QVMDL_ERR_SAFESAVE_RESTOREBAK);
  EXPECT_EQ(qv::seams::FileFaultHits(kBackup), 101) << "101 tries of the move";
  qv::seams::ClearFileFaults();
  EXPECT_EQ(ReadBytes(kBackup), "old");
}

TEST_F(SafeReplaceTest, AFileHeldByAnotherHandleCountsAsPresent) {
  Layout(true, true, false);
  HANDLE held = CreateFileW(kFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FileIsPresent(kFile));
  EXPECT_EQ(RestoreInterruptedFile(kFile, kTemp), QVMDL_SUCCESS);
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(kFile), "current") << "the held file is kept, the stale temp dropped";
  EXPECT_FALSE(Exists(kTemp));
  EXPECT_FALSE(FileIsPresent(L"\\absent.txt"));
}

TEST_F(SafeReplaceTest, CommitReplacesThroughTheBackup) {
  Layout(true, true, false);
  EXPECT_EQ(ReplaceFileWithTemp(kFile, kTemp), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(kFile), "new");
  EXPECT_FALSE(Exists(kTemp));
  EXPECT_FALSE(Exists(kBackup));
}

TEST_F(SafeReplaceTest, CommitWithoutTargetFailsAndKeepsTheTemp) {
  Layout(false, true, false);
  EXPECT_EQ(ReplaceFileWithTemp(kFile, kTemp), QVMDL_ERR_SAFESAVE_BACKUP);
  EXPECT_EQ(ReadBytes(kTemp), "new");
}

TEST_F(SafeReplaceTest, CommitNeverReplacesALeftOverBackup) {
  Layout(true, true, true);
  EXPECT_EQ(ReplaceFileWithTemp(kFile, kTemp), QVMDL_ERR_SAFESAVE_BACKUP);
  EXPECT_EQ(ReadBytes(kFile), "current");
  EXPECT_EQ(ReadBytes(kBackup), "old");
}

TEST_F(SafeReplaceTest, BusyMoveIsTried101TimesThenFails) {
  const std::string debug = CaptureDebug();
  Layout(true, true, false);
  qv::seams::InjectFileFault(kTemp, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ReplaceFileWithTemp(kFile, kTemp), QVMDL_ERR_SAFESAVE_MOVETMP);
  EXPECT_EQ(qv::seams::FileFaultHits(kTemp), 101);
  const std::string lines = ReadHostFile(debug);
  EXPECT_EQ(Count(lines, " Retry MoveFile():("), 100u);
  EXPECT_NE(lines.find(" Retry MoveFile():(100) /// Reason: file busy\r\n"), std::string::npos);
  // What is left (the backup and the temp) is settled by the next restore.
  qv::seams::ClearFileFaults();
  EXPECT_EQ(ReadBytes(kBackup), "current");
  EXPECT_EQ(RestoreInterruptedFile(kFile, kTemp), QVMDL_SUCCESS);
  EXPECT_EQ(ReadBytes(kFile), "new");
  EXPECT_FALSE(Exists(kBackup));
}

TEST_F(SafeReplaceTest, BusyMoveThatFreesUpSucceeds) {
  Layout(true, true, false);
  qv::seams::InjectFileFault(kTemp, ERROR_SHARING_VIOLATION, 7);
  EXPECT_EQ(ReplaceFileWithTemp(kFile, kTemp), QVMDL_SUCCESS);
  EXPECT_EQ(qv::seams::FileFaultHits(kTemp), 7);
  EXPECT_EQ(ReadBytes(kFile), "new");
}

TEST_F(SafeReplaceTest, OtherErrorsAreNotRetried) {
  const std::string debug = CaptureDebug();
  Layout(true, false, false);  // no temp: the second move fails with "not found"
  EXPECT_EQ(ReplaceFileWithTemp(kFile, kTemp), QVMDL_ERR_SAFESAVE_MOVETMP);
  EXPECT_EQ(ReadBytes(kBackup), "current");
  EXPECT_EQ(Count(ReadHostFile(debug), "Retry"), 0u);
}

}  // namespace
