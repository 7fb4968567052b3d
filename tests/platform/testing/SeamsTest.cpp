#include "platform/testing/Seams.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/kernel/Files.h"
#include "platform/kernel/Memory.h"
#include "platform/ui/MessageBox.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

using Seams = qv::test::DeviceRootTest;

TEST_F(Seams, FreeSpace) {
  qv::seams::SetFreeSpace(12345);
  ULARGE_INTEGER avail{}, total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"\\", &avail, &total, &free));
  EXPECT_EQ(avail.QuadPart, 12345u);
  EXPECT_EQ(free.QuadPart, 12345u);
  EXPECT_GE(total.QuadPart, 12345u);
  qv::seams::ClearFreeSpace();
  ASSERT_TRUE(GetDiskFreeSpaceExW(nullptr, &avail, &total, &free));
  EXPECT_NE(avail.QuadPart, 12345u);
}

TEST_F(Seams, SharingViolationOnOpenMoveDeleteWithHitCounts) {
  WriteHost("Busy.dat", "data");
  qv::seams::InjectFileFault(L"\\busy.DAT", ERROR_SHARING_VIOLATION, 3);
  EXPECT_EQ(CreateFileW(L"\\Busy.dat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(MoveFileW(L"\\Busy.dat", L"\\other.dat"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(DeleteFileW(L"\\BUSY.dat"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(qv::seams::FileFaultHits(L"\\Busy.dat"), 3);
  // A file held this way still counts as present.
  EXPECT_NE(GetFileAttributesW(L"\\Busy.dat"), INVALID_FILE_ATTRIBUTES);
  // Three times used up: the fourth call goes through.
  EXPECT_TRUE(DeleteFileW(L"\\Busy.dat"));
  EXPECT_EQ(qv::seams::FileFaultHits(L"\\Busy.dat"), 3);
}

TEST_F(Seams, SharingViolationOnStreamsUntilCleared) {
  qv::seams::InjectFileFault(L"\\s.txt", ERROR_SHARING_VIOLATION);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(_wfopen(L"\\s.txt", L"wb"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(qv::seams::FileFaultHits(L"\\s.txt"), 5);
  qv::seams::ClearFileFaults();
  FILE* f = _wfopen(L"\\s.txt", L"wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
}

TEST_F(Seams, DiskFullThroughWriteFile) {
  HANDLE h = CreateFileW(L"\\full.dat", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  qv::seams::InjectFileFault(L"\\full.dat", ERROR_DISK_FULL, 1);
  DWORD n = 99;
  EXPECT_FALSE(WriteFile(h, "abc", 3, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));
  CloseHandle(h);
  EXPECT_EQ(ReadHost("full.dat"), "abc");
  // Creating a file that is not there yet fails as well.
  qv::seams::InjectFileFault(L"\\new.dat", ERROR_DISK_FULL);
  EXPECT_EQ(CreateFileW(L"\\new.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_FALSE(HostExists("new.dat"));
  WriteHost("src.dat", "x");
  EXPECT_FALSE(CopyFileW(L"\\src.dat", L"\\new.dat", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
}

TEST_F(Seams, DiskFullThroughStreams) {
  qv::seams::InjectFileFault(L"\\Application Data\\log.txt", ERROR_DISK_FULL, 1);
  std::filesystem::create_directories(Host("Application Data"));
  EXPECT_EQ(_wfopen(L"\\application data\\LOG.txt", L"wb"), nullptr);  // creating it
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);

  WriteHost("Application Data/log.txt", "");
  qv::seams::InjectFileFault(L"\\Application Data\\log.txt", ERROR_DISK_FULL, 1);
  FILE* f = _wfopen(L"\\Application Data\\log.txt", L"ab");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::fwrite("12345", 1, 5, f), 0u);
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_TRUE(std::ferror(f));
  std::clearerr(f);
  EXPECT_EQ(std::fwrite("12345", 1, 5, f), 5u);
  EXPECT_EQ(std::fclose(f), 0);
  EXPECT_EQ(ReadHost("Application Data/log.txt"), "12345");
}

TEST_F(Seams, DiskFullArmedAfterOpenFailsTheFlush) {
  FILE* f = _wfopen(L"\\late.txt", L"wb");
  ASSERT_NE(f, nullptr);
  qv::seams::InjectFileFault(L"\\late.txt", ERROR_DISK_FULL);
  std::fputs("buffered", f);
  EXPECT_NE(std::fflush(f), 0);
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  std::fclose(f);
}

TEST_F(Seams, MemoryStatus) {
  MEMORYSTATUS ms{};
  GlobalMemoryStatus(&ms);
  EXPECT_EQ(ms.dwLength, sizeof ms);
  EXPECT_GT(ms.dwTotalPhys, 0u);
  EXPECT_LE(ms.dwAvailPhys, ms.dwTotalPhys);
  qv::seams::SetAvailableMemory(3 * 1024 * 1024);
  GlobalMemoryStatus(&ms);
  EXPECT_EQ(ms.dwAvailPhys, 3u * 1024 * 1024);
  EXPECT_LE(ms.dwMemoryLoad, 100u);
}

TEST_F(Seams, QuestionsAnswerNoHeadlessAndCount) {
  EXPECT_EQ(MessageBoxW(nullptr, L"Delete?", L"QvMail", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, L"Done", L"QvMail", MB_OK), IDOK);
  EXPECT_EQ(qv::seams::QuestionCount(), 1);
  qv::seams::SetQuestionAnswer(IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, L"Really?", L"QvMail", MB_YESNOCANCEL), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, L"Go on?", L"QvMail", MB_OKCANCEL), IDOK);
  std::wstring seen;
  qv::seams::SetQuestionHandler([&seen](const std::wstring& text, const std::wstring& caption) {
    seen = caption + L":" + text;
    return IDCANCEL;
  });
  EXPECT_EQ(MessageBoxW(nullptr, L"\u524A\u9664?", L"QvMail", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(seen, L"QvMail:\u524A\u9664?");
  EXPECT_EQ(qv::seams::QuestionCount(), 4);
  qv::seams::ResetSeams();
  EXPECT_EQ(MessageBoxW(nullptr, L"x", L"y", MB_YESNO), IDNO);
  EXPECT_EQ(qv::seams::QuestionCount(), 1);
}

}  // namespace
