// An account from creation to deletion, names the store must refuse, and
// values planted in "AccountInfo.ini".
#include <set>
#include <thread>

#include "AccountFixture.h"
#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/foundation/QvProfileManipulator.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/store/QvAccountName.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvSignatureInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WideText.h"
#include "platform/testing/Seams.h"

namespace {

using Attributes = QvAccountInfoInterface::Attributes;

std::wstring FolderName(QvFolderInterface* parent, unsigned long id) {
  QvFolderInterface::FolderAttributes a;
  a.mask = 1;
  return parent->ReadFolderAttributes(id, &a) ? a.name : L"<unreadable>";
}

}  // namespace


TEST_F(AccountTest, LifeFromCreationToDeletion) {
  const std::string folder = std::string(kDataHost) + "仕事";
  {
    Account work = Create(L"仕事");
    ASSERT_TRUE(work) << std::hex << GetQvMiddleError();
  }
  ASSERT_TRUE(QvAccountCreator().CreateFolders(L"仕事"));
  // What the account folder holds on disk.
  for (const char* file : {"/AccountInfo.ini", "/Storage/DATA/Entry.dat", "/Storage/TREE/Status.txt",
                           "/Classification/Rule.cls", "/Signature/Data1.txt", "/Signature/Data2.txt",
                           "/UID.list", "/LastUID.ini"}) {
    EXPECT_TRUE(HostExists(folder + file)) << file;
  }
  for (const char* empty : {"/Classification/Rule.cls", "/Signature/Data1.txt", "/Signature/Data2.txt", "/UID.list",
                            "/LastUID.ini"}) {
    EXPECT_EQ(ReadHost(folder + empty), "") << empty;
  }
  QvProfileManipulator profile(std::wstring(kData) + L"仕事\\AccountInfo.ini");
  for (auto [key, value] : {std::pair{L"strStorageDirName", L"Storage"}, {L"strClassificationDirName", L"Classification"},
                            {L"strSignatureDirName", L"Signature"}}) {
    std::wstring read;
    EXPECT_TRUE(profile.GetPrivateProfileString(key, L"", &read));
    EXPECT_EQ(read, value);
  }

  Account work = Open(L"仕事");
  ASSERT_TRUE(work);
  // The trays and folders, as the root and its children list them.
  Attributes ids;
  for (uint32_t bit : {Attributes::kJusinTrayID, Attributes::kSousinTrayID, Attributes::kSousinZumiTrayID,
                       Attributes::kSitagakiTrayID}) {
    ids.Select(bit);
  }
  ASSERT_TRUE(work->GetAccountInfoAttributes(&ids));
  {
    std::unique_ptr<QvStorageInterface> storage(work->OpenStorage());
    ASSERT_TRUE(storage);
    std::unique_ptr<QvFolderInterface> root(storage->OpenRootFolder());
    ASSERT_TRUE(root);
    const unsigned long trays[4] = {ids.ulJusinTrayID, ids.ulSousinTrayID, ids.ulSousinZumiTrayID,
                                    ids.ulSitagakiTrayID};
    const wchar_t* trayNames[4] = {L"受信ﾌｫﾙﾀﾞ", L"送信待ちﾎﾞｯｸｽ", L"送信ﾌｫﾙﾀﾞ", L"下書き"};
    std::vector<unsigned long> children;
    ASSERT_TRUE(root->GetFolderIds(&children));
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(children[i], trays[i]);
      EXPECT_EQ(FolderName(root.get(), trays[i]), trayNames[i]);
      std::unique_ptr<QvFolderInterface> tray(root->OpenFolder(trays[i]));
      ASSERT_TRUE(tray);
      std::vector<unsigned long> below;
      ASSERT_TRUE(tray->GetFolderIds(&below));
      std::vector<std::wstring> names;
      for (unsigned long id : below) names.push_back(FolderName(tray.get(), id));
      const std::vector<std::wstring> expected = {L"ﾌｫﾙﾀﾞ1", L"ﾌｫﾙﾀﾞ2", L"ﾌｫﾙﾀﾞ3"};
      EXPECT_EQ(names, i == 0 || i == 2 ? expected : std::vector<std::wstring>()) << i;
    }
  }
  // A new account can receive: its empty last UID reads as an empty UID.
  std::wstring uid = L"stale";
  EXPECT_TRUE(work->GetLastUID(&uid));
  EXPECT_EQ(uid, L"");

  // A second account of the same name takes the next free folder.
  Account second = Create(L"仕事");
  ASSERT_TRUE(second);
  std::wstring secondFolder;
  ASSERT_TRUE(second->GetAccountName(&secondFolder));
  EXPECT_EQ(secondFolder, L"仕事(2)");
  second.reset();
  std::vector<std::wstring> names;
  ASSERT_TRUE(QvAccountInfoInterface::GetAccountNameList(&names, L""));
  EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()), (std::set<std::wstring>{L"仕事", L"仕事(2)"}));
  EXPECT_FALSE(QvAccountInfoInterface::Rename(L"仕事", L"仕事(2)"));

  // Refused while a storage facade is open, and nothing is removed.
  work.reset();
  {
    Account again = Open(L"仕事");
    std::unique_ptr<QvStorageInterface> storage(again->OpenStorage());
    again.reset();
    const auto before = Listing();
    EXPECT_FALSE(QvAccountInfoInterface::Delete(L"仕事", L""));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_DELETE_HELD);
    EXPECT_EQ(Listing(), before);
  }
  // The same while the account itself, its rules or its signatures are held.
  for (int part = 0; part < 3; ++part) {
    Account held = Open(L"仕事");
    std::unique_ptr<QvSignatureInterface> signature(part == 1 ? held->OpenSignature() : nullptr);
    std::unique_ptr<QvClassificationParamInterface> rules(part == 2 ? held->OpenClassificationParamInterface() : nullptr);
    if (part != 0) held.reset();
    EXPECT_FALSE(QvAccountInfoInterface::Delete(L"仕事", L"")) << part;
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_DELETE_HELD) << part;
  }
  EXPECT_TRUE(QvAccountInfoInterface::Delete(L"仕事", L"")) << std::hex << GetQvMiddleError();
  EXPECT_FALSE(HostExists(folder));
  ASSERT_TRUE(QvAccountInfoInterface::GetAccountNameList(&names, L""));
  EXPECT_EQ(names, std::vector<std::wstring>{L"仕事(2)"});
  EXPECT_FALSE(Open(L"仕事"));
  EXPECT_TRUE(Open(L"仕事(2)"));
}

TEST_F(AccountTest, HostileNamesAreRefusedBeforeAnythingIsMade) {
  const std::wstring tooLong(300, L'a');
  // 260 units hold the data folder's 27, the working name's 5 extra, the
  // deepest file's 28 and the NUL: 199 are left for the name.
  const std::wstring justTooLong(200, L'b');
  const auto before = Listing();
  for (const std::wstring& name : {std::wstring(L""), std::wstring(L"."), std::wstring(L".."), std::wstring(L"a/b"),
                                   std::wstring(L"a\\b"), std::wstring(L"x:"), std::wstring(L"\t"),
                                   std::wstring(L"a\tb"), std::wstring(L" a"), std::wstring(L"a."),
                                   std::wstring(L"..\\..\\x"), tooLong, justTooLong}) {
    SetQvMiddleError(0);
    EXPECT_FALSE(Create(name)) << name.size();
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_INVALID_NAME) << name.size();
    EXPECT_FALSE(QvAccountInfoInterface::OpenAccountInfoFromFolder(name, L"")) << name.size();
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_INVALID_NAME) << name.size();
  }
  EXPECT_EQ(Listing(), before);
  // A phone number is 11 ASCII digits; nothing is looked at otherwise.
  for (const wchar_t* number : {L"0901234567", L"090123456789", L"０９０１２３４５６７８", L"0901234567a"}) {
    EXPECT_FALSE(QvAccountInfoInterface::OpenAccountInfoFromPhoneNumber(number, L"")) << number;
  }
  // The data folder's "System" holds no account; a name one unit shorter fits.
  ASSERT_TRUE(CreateDirectoryW((std::wstring(kData) + L"System").c_str(), nullptr));
  EXPECT_FALSE(QvAccountInfoInterface::OpenAccountInfoFromFolder(L"System", L""));
  Account fits = Create(justTooLong.substr(1));
  EXPECT_TRUE(fits) << std::hex << GetQvMiddleError();
  std::vector<std::wstring> names;
  ASSERT_TRUE(QvAccountInfoInterface::GetAccountNameList(&names, L""));
  EXPECT_EQ(names, std::vector<std::wstring>{justTooLong.substr(1)});
  // Folder names compare without regard to case.
  Account upper = Create(L"Box");
  Account lower = Create(L"box");
  ASSERT_TRUE(lower);
  std::wstring folder;
  lower->GetAccountName(&folder);
  EXPECT_EQ(folder, L"box(2)");
}

TEST_F(AccountTest, PlantedSubFolderNamesNeverReachOutsideTheAccount) {
  ASSERT_TRUE(Create(L"acc"));
  ASSERT_TRUE(Create(L"victim"));
  struct Case {
    const wchar_t* key;
    uint32_t code;
  };
  const Case cases[] = {{L"strStorageDirName", QVMDL_ERR_ACC_STORAGE_DIR},
                        {L"strClassificationDirName", QVMDL_ERR_ACC_CLASSIFICATION_DIR},
                        {L"strSignatureDirName", QVMDL_ERR_ACC_SIGNATURE_DIR}};
  QvProfileManipulator profile(std::wstring(kData) + L"acc\\AccountInfo.ini");
  for (const wchar_t* planted : {L"..\\victim", L"..", L".", L"a/b", L"c:", L"..\\..\\.."}) {
    for (const Case& c : cases) {
      ASSERT_TRUE(profile.WritePrivateProfileString(c.key, planted));
    }
    Account acc = Open(L"acc");
    ASSERT_TRUE(acc);
    SetQvMiddleError(0);
    EXPECT_EQ(std::unique_ptr<QvStorageInterface>(acc->OpenStorage()), nullptr);
    EXPECT_EQ(GetQvMiddleError(), cases[0].code) << planted;
    EXPECT_EQ(std::unique_ptr<QvClassificationParamInterface>(acc->OpenClassificationParamInterface()), nullptr);
    EXPECT_EQ(GetQvMiddleError(), cases[1].code) << planted;
    EXPECT_EQ(std::unique_ptr<QvSignatureInterface>(acc->OpenSignature()), nullptr);
    EXPECT_EQ(GetQvMiddleError(), cases[2].code) << planted;
  }
  // Deleting it removes the account folder and nothing else.
  const auto before = Listing();
  ASSERT_TRUE(QvAccountInfoInterface::Delete(L"acc", L"")) << std::hex << GetQvMiddleError();
  for (const std::string& gone : Minus(before, Listing())) {
    EXPECT_EQ(gone.rfind(std::string(kDataHost) + "acc", 0), 0u) << gone;
  }
  EXPECT_TRUE(Minus(Listing(), before).empty());
  EXPECT_TRUE(HostExists(std::string(kDataHost) + "victim/Storage/DATA/Entry.dat"));
}

TEST_F(AccountTest, PhoneNumberNameFitsTheBufferOrNothingIsWritten) {
  Account phone = Create(L"09012345678");
  ASSERT_TRUE(phone);
  Attributes name;
  name.strAccountName = L"携帯";
  name.Select(Attributes::kAccountName);
  ASSERT_TRUE(phone->SetAccountInfoAttributes(name));
  struct Case {
    size_t size;
    bool fits;
  };
  for (Case c : {Case{1, false}, Case{2, false}, Case{3, true}, Case{16, true}}) {
    wchar_t buffer[17];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(QvAccountInfoInterface::GetAccountNameFromPhoneNumber(L"09012345678", buffer, c.size), c.fits);
    EXPECT_EQ(std::wstring(buffer), c.fits ? L"携帯" : L"") << c.size;
    EXPECT_EQ(buffer[c.size], L'#');  // nothing past the size given
  }
  std::wstring number;
  EXPECT_TRUE(QvAccountInfoInterface::GetAccountPhoneNumberFromName(L"携帯", &number, L""));
  EXPECT_EQ(number, L"09012345678");
  EXPECT_TRUE(QvAccountInfoInterface::IsExistAccount(L"09012345678", L""));
}

TEST_F(AccountTest, EachDataFolderHasItsOwnNameMap) {
  const wchar_t* const kFeedKey = L"Software\\Norvale\\Rivulet";
  MakeDir(L"\\Application Data\\Rivulet");
  MakeDir(L"\\Application Data\\Rivulet\\Accounts");
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kFeedKey, L"DataPath", L"\\Application Data\\Rivulet\\Accounts\\"));
  // Turn by turn, as the set-up tools work on both in one process.
  ASSERT_TRUE(Create(L"mail"));
  ASSERT_TRUE(Account(QvAccountInfoInterface::CreateFeed(L"feed", kFeedKey)));
  ASSERT_TRUE(Create(L"both"));
  Account feedBoth(QvAccountInfoInterface::CreateFeed(L"both", kFeedKey));
  ASSERT_TRUE(feedBoth);
  std::wstring folder;
  feedBoth->GetAccountName(&folder);
  EXPECT_EQ(folder, L"both");  // a name in use in the other data folder is free here
  std::vector<std::wstring> mail, feed;
  ASSERT_TRUE(QvAccountInfoInterface::GetAccountNameList(&mail, L""));
  ASSERT_TRUE(QvAccountInfoInterface::GetAccountNameList(&feed, kFeedKey));
  EXPECT_EQ(std::set<std::wstring>(mail.begin(), mail.end()), (std::set<std::wstring>{L"mail", L"both"}));
  EXPECT_EQ(std::set<std::wstring>(feed.begin(), feed.end()), (std::set<std::wstring>{L"feed", L"both"}));
  EXPECT_FALSE(Account(QvAccountInfoInterface::OpenAccountInfo(L"feed", L"")));
  EXPECT_TRUE(Account(QvAccountInfoInterface::OpenAccountInfo(L"feed", kFeedKey)));
  EXPECT_TRUE(QvAccountInfoInterface::Rename(L"mail", L"renamed"));
  EXPECT_FALSE(QvAccountInfoInterface::Rename(L"feed", L"x"));
  EXPECT_TRUE(QvAccountInfoInterface::Rename(L"feed", L"x", kFeedKey));
  feedBoth.reset();
  EXPECT_TRUE(QvAccountInfoInterface::Delete(L"both", kFeedKey));
  EXPECT_TRUE(HostExists(std::string(kDataHost) + "both/AccountInfo.ini"));
  EXPECT_TRUE(Open(L"both"));
}

// Between a rename and the caller storing the new name, other threads list
// and make accounts, which reads every folder again: the new name stands
// while the renamer has the account open, and the old one never comes back.
TEST_F(AccountTest, ARenameStandsThroughListingsUntilItsNameIsStored) {
  struct Case {
    const char* what;
    bool keepOpen;  // the renamer holds the account across the rename
    bool store;     // the new name is stored
    const wchar_t* listed;  // what a listing shows once the account is closed
  };
  const Case cases[] = {
      {"open and stored", true, true, L"new"},
      {"not open, stored afterwards", false, true, L"new"},
      // Once nobody has it open to store the name, the folder's name counts.
      {"open, closed without storing", true, false, L"old"},
      {"not open, never stored", false, false, L"old"},
  };
  const auto names = [] {
    std::vector<std::wstring> list;
    EXPECT_TRUE(QvAccountInfoInterface::GetAccountNameList(&list, L""));
    return std::set<std::wstring>(list.begin(), list.end());
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Account held = Create(L"old");
    ASSERT_TRUE(held);
    if (!c.keepOpen) held.reset();
    ASSERT_TRUE(QvAccountInfoInterface::Rename(L"old", L"new", L""));
    if (c.keepOpen) {
      // Another thread lists, makes and deletes an account meanwhile.
      EXPECT_EQ(names(), std::set<std::wstring>{L"new"});
      ASSERT_TRUE(Create(L"other"));
      EXPECT_EQ(names(), (std::set<std::wstring>{L"new", L"other"}));
      ASSERT_TRUE(QvAccountInfoInterface::Delete(L"other", L""));
      Account found = Open(L"new");
      ASSERT_TRUE(found);
      EXPECT_EQ(found->Account(), held->Account());
      EXPECT_FALSE(Open(L"old"));
    }
    if (c.store) {
      Account renamed = c.keepOpen ? std::move(held) : Open(L"new");
      ASSERT_TRUE(renamed);
      Attributes name;
      name.strAccountName = L"new";
      name.Select(Attributes::kAccountName);
      ASSERT_TRUE(renamed->SetAccountInfoAttributes(name));
    }
    held.reset();
    EXPECT_EQ(names(), std::set<std::wstring>{c.listed});
    EXPECT_TRUE(Open(c.listed));
    EXPECT_TRUE(QvAccountInfoInterface::Delete(c.listed, L"")) << std::hex << GetQvMiddleError();
  }
}

TEST_F(AccountTest, AFailedCreationLeavesNothingBehind) {
  struct Case {
    const wchar_t* file;  // below the account folder while it is made
    DWORD error;
  };
  const Case cases[] = {
      {L"\\AccountInfo.ini_tmp", ERROR_DISK_FULL},
      {L"\\Storage\\DATA\\Entry.dat_tmp", ERROR_DISK_FULL},
      {L"\\Classification\\Rule.cls", ERROR_DISK_FULL},
      {L"\\Signature\\Data2.txt", ERROR_SHARING_VIOLATION},
      {L"\\LastUID.ini_tmp", ERROR_DISK_FULL},
      {L"\\UID.list_tmp", ERROR_SHARING_VIOLATION},
  };
  ASSERT_TRUE(Create(L"other"));
  const auto before = Listing();
  for (const Case& c : cases) {
    const std::wstring building = std::wstring(kData) + QvAccountName::BuildingName(L"acc");
    qv::seams::InjectFileFault(building + c.file, c.error);
    SetQvMiddleError(0);
    EXPECT_FALSE(Create(L"acc")) << qv::WideToUtf8(c.file);
    EXPECT_GT(qv::seams::FileFaultHits(building + c.file), 0) << qv::WideToUtf8(c.file);
    EXPECT_NE(GetQvMiddleError(), 0u);
    qv::seams::ClearFileFaults();
    EXPECT_EQ(Listing(), before) << qv::WideToUtf8(c.file);
    std::vector<std::wstring> names;
    ASSERT_TRUE(QvAccountInfoInterface::GetAccountNameList(&names, L""));
    EXPECT_EQ(names, std::vector<std::wstring>{L"other"});
  }
  // The same name is made whole once nothing stands in the way.
  EXPECT_TRUE(Create(L"acc"));
  EXPECT_TRUE(HostExists(std::string(kDataHost) + "acc/UID.list"));
}
