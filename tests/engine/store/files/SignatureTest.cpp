// Signature files: their bytes, limits, the shared stores and folder trees.
#include <unistd.h>

#include "StoreFixture.h"
#include "engine/store/QvSignature.h"

namespace {

class SignatureTest : public StoreFixture {
 protected:
  const std::wstring dir_ = L"\\Acc\\Signature";
  void SetUp() override {
    StoreFixture::SetUp();
    MakeDir(L"\\Acc");
    MakeDir(dir_);
    ASSERT_TRUE(CreateSignatureFiles(dir_));
  }
};

TEST_F(SignatureTest, TextsAreUtf16LeWithoutMarkOrTerminator) {
  EXPECT_EQ(ReadBytes(dir_ + L"\\Data1.txt"), "");
  EXPECT_EQ(ReadBytes(dir_ + L"\\Data2.txt"), "");
  QvSignature s(dir_);
  QvSignatureInterface::Attributes a{3, L"署名\r\n--", L"x\U0001F600"};
  ASSERT_TRUE(s.WriteAttributes(a));
  EXPECT_EQ(ReadBytes(dir_ + L"\\Data1.txt"), std::string("\x72\x7F\x0D\x54\r\0\n\0-\0-\0", 12));
  EXPECT_EQ(ReadBytes(dir_ + L"\\Data2.txt"), std::string("x\0\x3D\xD8\x00\xDE", 6));
  QvSignatureInterface::Attributes b{3, L"", L""};
  ASSERT_TRUE(s.ReadAttributes(&b));
  EXPECT_EQ(b.first, a.first);
  EXPECT_EQ(b.second, a.second);
  EXPECT_FALSE(Exists(dir_ + L"\\Data1.txt_tmp"));
}

TEST_F(SignatureTest, SizeLimitsHoldOnBothSides) {
  QvSignature s(dir_);
  ASSERT_TRUE(s.WriteAttributes({1, std::wstring(4096, L'a'), L""}));
  EXPECT_EQ(ReadBytes(dir_ + L"\\Data1.txt").size(), 8192u);
  EXPECT_FALSE(s.WriteAttributes({3, std::wstring(4097, L'b'), L"second"}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_SIG_TOOLARGE_DATA1);
  std::string kept;
  for (int i = 0; i < 4096; ++i) kept.append("a\0", 2);
  EXPECT_EQ(ReadBytes(dir_ + L"\\Data1.txt"), kept);
  EXPECT_EQ(ReadBytes(dir_ + L"\\Data2.txt"), "");  // the first failure stops before the second
  EXPECT_FALSE(s.WriteAttributes({2, L"", std::wstring(2048, L'\U0001F600') + L"z"}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_SIG_TOOLARGE_DATA2);

  WriteBytes(dir_ + L"\\Data1.txt", std::string(8193, 'a'));
  QvSignatureInterface::Attributes read{3, L"", L""};
  EXPECT_FALSE(s.ReadAttributes(&read));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_SIG_TOOLARGE_DATA1);
  WriteBytes(dir_ + L"\\Data1.txt", std::string("a\0\0\0b\0", 6));
  read.mask = 1;
  ASSERT_TRUE(s.ReadAttributes(&read));
  EXPECT_EQ(read.first, L"a");  // reading stops at the first NUL unit
}

TEST_F(SignatureTest, MaskSelectsTheFiles) {
  QvSignature s(dir_);
  ASSERT_TRUE(DeleteFileW((dir_ + L"\\Data1.txt").c_str()));
  ASSERT_TRUE(s.WriteAttributes({2, L"one", L"two"}));
  EXPECT_FALSE(Exists(dir_ + L"\\Data1.txt"));
  QvSignatureInterface::Attributes read{2, L"keep", L""};
  ASSERT_TRUE(s.ReadAttributes(&read));
  EXPECT_EQ(read.first, L"keep");
  EXPECT_EQ(read.second, L"two");
  read.mask = 1;
  EXPECT_FALSE(s.ReadAttributes(&read));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_SIG_NOFILE_DATA1);
  EXPECT_TRUE(s.WriteAttributes({0, L"", L""}));
}

TEST_F(SignatureTest, WritesNeedRoomAndReportAFullDisk) {
  QvSignature s(dir_);
  qv::seams::SetFreeSpace(511999);
  EXPECT_FALSE(s.WriteAttributes({1, L"x", L""}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_SIG_DISK_SPACE);
  qv::seams::ClearFreeSpace();
  ASSERT_TRUE(s.WriteAttributes({1, L"old", L""}));
  qv::seams::InjectFileFault(dir_ + L"\\Data1.txt_tmp", ERROR_DISK_FULL, 1);
  EXPECT_FALSE(s.WriteAttributes({1, L"new", L""}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_SIG_OPEN_DATA1);  // the copy could not be made
  EXPECT_EQ(ReadBytes(dir_ + L"\\Data1.txt"), std::string("o\0l\0d\0", 6));
  EXPECT_FALSE(Exists(dir_ + L"\\Data1.txt_tmp"));
}

TEST_F(SignatureTest, OneStorePerFolderUntilTheLastFacadeGoes) {
  QvSignature* a = GetSignature(dir_);
  QvSignature* b = GetSignature(dir_);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  QvSignature* other = GetSignature(L"\\Other");
  EXPECT_NE(other, a);
  auto* first = new QvSignatureInterface(a);
  auto* second = new QvSignatureInterface(b);
  ASSERT_TRUE(first->WriteAttributes({1, L"shared", L""}));
  delete first;
  QvSignatureInterface::Attributes read{1, L"", L""};
  ASSERT_TRUE(second->ReadAttributes(&read));  // still alive after the first facade
  EXPECT_EQ(read.first, L"shared");
  delete second;
  QvSignature* fresh = GetSignature(dir_);
  ReleaseSignature(fresh);
  ReleaseSignature(other);
  QvSignatureInterface none(nullptr);
  SetQvMiddleError(0x2000999);
  EXPECT_FALSE(none.ReadAttributes(&read));
  EXPECT_EQ(none.GetErrorInfo(), QVMDL_SUCCESS);
}

TEST_F(SignatureTest, FolderTreeIsDeletedDepthFirstAndLinksAreNotFollowed) {
  MakeDir(L"\\Acc\\Signature\\sub");
  MakeDir(L"\\Acc\\Signature\\sub\\deeper");
  MakeDir(L"\\Acc\\Signature\\empty");
  // Hidden as well as a folder: more than the directory bit is set.
  MakeDir(L"\\Acc\\Signature\\.hidden");
  WriteBytes(L"\\Acc\\Signature\\.hidden\\h.txt", "z");
  ASSERT_EQ(GetFileAttributesW(L"\\Acc\\Signature\\.hidden"), DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN});
  WriteBytes(L"\\Acc\\Signature\\sub\\deeper\\f.txt", "x");
  WriteBytes(L"\\Acc\\Signature\\sub\\g.txt", "y");
  MakeDir(L"\\Outside");
  WriteBytes(L"\\Outside\\keep.txt", "keep");
  ASSERT_EQ(symlink(HostOf(L"\\Outside").c_str(), (HostOf(dir_) + "/link").c_str()), 0);
  EXPECT_TRUE(DeleteFolderTree(dir_)) << std::hex << GetQvMiddleError();
  EXPECT_FALSE(Exists(L"\\Acc\\Signature\\sub"));
  EXPECT_FALSE(Exists(L"\\Acc\\Signature\\empty"));
  EXPECT_FALSE(Exists(L"\\Acc\\Signature\\.hidden"));
  EXPECT_FALSE(Exists(dir_ + L"\\Data1.txt"));
  EXPECT_TRUE(Exists(dir_));
  EXPECT_EQ(ReadBytes(L"\\Outside\\keep.txt"), "keep");
  EXPECT_TRUE(DeleteFolderTree(dir_));  // an empty folder has nothing left to delete
  EXPECT_FALSE(DeleteFolderTree(L"\\NoSuchFolder"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_SIG_FIND_FOLDER);
}

}  // namespace
