// The message operations on real stored mail of an account made through the
// engine: parts written as files (one folder each, under safe names), the
// record as the windows get it, answers, saves, moves, removes and flags read
// back from what the engine stored, and the engine-error box on failures.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/foundation/Contacts.h"
#include "app/foundation/QvMiddleError.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/MessageStatus.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/mailops/TempFiles.h"
#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/store/QvSignatureInterface.h"
#include "platform/pim/Pim.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

using Attributes = QvAccountInfoInterface::Attributes;
using Attr = QvMessageInterface::Attributes;

constexpr wchar_t kTemp[] = L"\\Application Data\\QuvoMail\\_TempFiles";
constexpr wchar_t kView[] = L"\\Application Data\\QuvoMail\\_TempFiles\\_V\\";

// Mail text with CR LF line ends from a text written with LF.
std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string Join(const CStringArray& list) {
  std::string out;
  for (INT_PTR i = 0; i < list.GetSize(); ++i) {
    if (i > 0) out += ",";
    const std::wstring w = static_cast<LPCWSTR>(list[i]);
    out += std::string(w.begin(), w.end());
  }
  return out;
}

std::wstring Str(const CString& s) { return static_cast<LPCWSTR>(s); }

// A mail with one attachment named `name` (as the header gives it).
std::string MailWithAttachment(const std::string& name) {
  return Crlf(
      "From: alice@example.com\nTo: me@example.com\nSubject: named\nMIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=\"MIX\"\n\n"
      "--MIX\nContent-Type: text/plain; charset=us-ascii\n\nsee attached\n"
      "--MIX\nContent-Type: application/octet-stream; name=\"" + name + "\"\n"
      "Content-Disposition: attachment; filename=\"" + name + "\"\n"
      "Content-Transfer-Encoding: base64\n\nQUJD\n--MIX--\n");
}

// Two attachments and one inline picture of the HTML text.
const std::string kThreeParts = Crlf(
    "From: Alice <alice@example.com>\nTo: me@example.com, bob@example.com\nCc: carol@example.com\n"
    "Subject: three parts\nDate: Wed, 2 Dec 2026 10:20:30 +0900\nMIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"MIX\"\n\n"
    "--MIX\nContent-Type: multipart/related; boundary=\"REL\"\n\n"
    "--REL\nContent-Type: text/html; charset=us-ascii\n\n<html><img src=\"cid:Pic1@X\"></html>\n"
    "--REL\nContent-Type: image/png; name=\"pic.png\"\nContent-Transfer-Encoding: base64\n"
    "Content-ID: <Pic1@X>\n\ncGljdHVyZQ==\n--REL--\n"
    "--MIX\nContent-Type: application/octet-stream; name=\"a.bin\"\n"
    "Content-Disposition: attachment; filename=\"a.bin\"\nContent-Transfer-Encoding: base64\n\nQUJD\n"
    "--MIX\nContent-Type: application/octet-stream; name=\"b.dat\"\n"
    "Content-Disposition: attachment; filename=\"b.dat\"\nContent-Transfer-Encoding: base64\n\nREVG\n"
    "--MIX--\n");

class MessageOperationsTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    account_ = MakeAccount(L"alpha");
    Attributes record;
    record.strSenderAddress = L"me@example.com";
    record.strSenderName = L"自分";
    record.Select(Attributes::kSenderAddress);
    record.Select(Attributes::kSenderName);
    SetSettings(L"alpha", record);
    ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
    RegisterWindow(main_);
    SetTempFolderName(L"_V");
  }
  void TearDown() override {
    SetTempFolderName(L"");
    MailOpsTest::TearDown();
  }

  DWORD Tray(int kind) const { return account_.trays[kind]; }

  // A mail stored in a folder of the open account as the receive stores it.
  unsigned long StoreRaw(DWORD folder, const std::string& raw, uint32_t kind = QvMessageInterface::kReceived,
                         bool unread = false) {
    std::unique_ptr<QvFolderInterface> f(CurrentStorage()->OpenFolder(folder));
    EXPECT_TRUE(f);
    if (!f) return 0;
    Attr a;
    a.mask = QvMessageInterface::kUnread | QvMessageInterface::kKind | QvMessageInterface::kDate;
    a.unread = unread ? 1 : 0;
    a.kind = kind;
    a.date = SYSTEMTIME{2026, 12, 3, 2, 1, 20, 30, 0};
    unsigned long id = 0;
    EXPECT_TRUE(f->CreateMessage(&id, a, raw)) << std::hex << GetQvMiddleError();
    return id;
  }

  Ids MessagesOf(DWORD folder) {
    Ids ids;
    std::unique_ptr<QvFolderInterface> f(CurrentStorage()->OpenFolder(folder));
    EXPECT_TRUE(f && f->GetMessageIds(&ids));
    return ids;
  }

  // What the engine stored, decoded by the engine.
  Email ReadBack(unsigned long id) {
    Email mail;
    std::unique_ptr<QvMessageInterface> m(CurrentStorage()->OpenMessage(id));
    EXPECT_TRUE(m);
    if (!m) return mail;
    std::string raw;
    EXPECT_TRUE(m->SeekToHead() && m->Read(&raw));
    EXPECT_TRUE(EmlCompose().Decode(&mail, &raw));
    return mail;
  }

  Attr Flags(unsigned long id) {
    Attr a;
    std::unique_ptr<QvMessageInterface> m(CurrentStorage()->OpenMessage(id));
    EXPECT_TRUE(m);
    a.mask = QvMessageInterface::kUnread | QvMessageInterface::kIsProtected | QvMessageInterface::kKind |
             QvMessageInterface::kAttachmentsDeleted | QvMessageInterface::kHasAttachments;
    if (m) {
      EXPECT_TRUE(m->GetAttributes(&a));
    }
    return a;
  }

  bool Refreshed(WPARAM folder) {
    Pump();
    const bool seen = std::find(main_->refreshes.begin(), main_->refreshes.end(), Refresh(folder, 0)) !=
                      main_->refreshes.end();
    main_->refreshes.clear();
    return seen;
  }

  bool RefreshedBoth(WPARAM a, WPARAM b) {
    Pump();
    auto seen = [&](WPARAM f) {
      return std::find(main_->refreshes.begin(), main_->refreshes.end(), Refresh(f, 0)) != main_->refreshes.end();
    };
    const bool both = seen(a) && seen(b);
    main_->refreshes.clear();
    return both;
  }

  TestAccount account_;
};

TEST_F(MessageOperationsTest, EveryPartGetsAFolderNamedAfterTheMessageId) {
  unsigned long id = StoreRaw(Tray(kReceiveBox), MailWithAttachment("filler.bin"));
  for (int n = 0; n < 0x11 && id < 0x11; ++n) id = StoreRaw(Tray(kReceiveBox), MailWithAttachment("filler.bin"));
  ASSERT_EQ(id, 0x11u) << "the store gives ids one after another";
  const unsigned long mailId = StoreRaw(Tray(kReceiveBox), kThreeParts);
  ASSERT_EQ(mailId, 0x12u);

  QvMessageRecord record;
  ASSERT_TRUE(LoadMessageForView(mailId, &record, Tray(kReceiveBox)));
  const std::wstring folder = kView;
  struct Part {
    std::wstring path;
    std::wstring name;
    std::wstring type;
    std::wstring contentId;
    std::string bytes;
  };
  const Part attachments[] = {
      {folder + L"00000012_0\\a.bin", L"a.bin", L"application/octet-stream", L"", "ABC"},
      {folder + L"00000012_1\\b.dat", L"b.dat", L"application/octet-stream", L"", "DEF"},
  };
  const Part inlines[] = {{folder + L"00000012_2\\pic.png", L"pic.png", L"image/png", L"cid:pic1@x", "picture"}};
  ASSERT_EQ(record.attachmentPaths.GetSize(), 2);
  ASSERT_EQ(record.extraFiles.GetCount(), 2u);
  ASSERT_EQ(record.inlineFiles.GetCount(), 1u);
  for (size_t i = 0; i < 2; ++i) {
    const Part& p = attachments[i];
    EXPECT_EQ(Str(record.attachmentPaths[static_cast<INT_PTR>(i)]), p.path);
    const QvHtmlFile* file = record.extraFiles.GetAt(i);
    EXPECT_EQ(file->GetPath(), p.path);
    EXPECT_EQ(file->GetName(), p.name);
    EXPECT_EQ(ReadBytes(p.path), p.bytes);
  }
  const QvHtmlFile* picture = record.inlineFiles.GetAt(0);
  EXPECT_EQ(picture->GetPath(), inlines[0].path);
  EXPECT_EQ(picture->GetName(), inlines[0].name);
  EXPECT_EQ(picture->GetType(), inlines[0].type);
  EXPECT_EQ(picture->GetContentId(), inlines[0].contentId) << "compared in lower case";
  EXPECT_EQ(ReadBytes(inlines[0].path), inlines[0].bytes);
  EXPECT_NE(record.inlineFiles.FindByContentId(L"CID:PIC1@X"), nullptr);

  // The record as the viewer shows it.
  EXPECT_EQ(record.messageId, 0x12u);
  EXPECT_EQ(record.folder, Tray(kReceiveBox));
  EXPECT_EQ(record.notFromStore, 0);
  EXPECT_EQ(Str(record.from), L"Alice<alice@example.com>") << "the mail's own name, no contact";
  EXPECT_EQ(Str(record.senderName), L"Alice");
  EXPECT_EQ(Join(record.toList), "me@example.com,bob@example.com");
  EXPECT_EQ(Join(record.ccList), "carol@example.com");
  EXPECT_EQ(Str(record.subject), L"three parts");
  EXPECT_NE(Str(record.htmlText).find(L"cid:Pic1@X"), std::wstring::npos);
  EXPECT_EQ(Str(record.dateText).size(), 16u) << Str(record.dateText);
}

// The decoder names every part it files, so a part without a name reaches
// the record only from a mail record made otherwise (a template, a caller's
// own): the mail's parts are taken from a decode and their names dropped.
TEST_F(MessageOperationsTest, APartWithoutANameIsStoredUnderANameOfItsOwn) {
  const std::string raw = kThreeParts;
  const unsigned long id = StoreRaw(Tray(kReceiveBox), raw);
  Email mail;
  ASSERT_TRUE(EmlCompose().Decode(&mail, &raw));
  ASSERT_EQ(mail.inlineParts.size(), 1u);
  ASSERT_EQ(mail.attachments.size(), 2u);
  for (Enclosure& part : mail.inlineParts) part.name = part.fileName = part.displayName = L"";
  mail.attachments.front().name = mail.attachments.front().fileName = mail.attachments.front().displayName = L"";
  QvMessageRecord record;
  ASSERT_TRUE(LoadRecordParts(&record, mail, raw, id, false));
  const std::wstring folder = std::wstring(kView) + qv::FormatW(L"%08X_", static_cast<unsigned>(id));
  struct Row {
    const QvHtmlFile* file;
    std::wstring path, name;
    std::string bytes;
  };
  const Row rows[] = {
      {record.extraFiles.GetAt(0), folder + L"0\\NoName", L"NoName", "ABC"},
      {record.extraFiles.GetAt(1), folder + L"1\\b.dat", L"b.dat", "DEF"},
      {record.inlineFiles.GetAt(0), folder + L"2\\noname", L"noname", "picture"},
  };
  for (const Row& r : rows) {
    ASSERT_NE(r.file, nullptr) << r.name;
    EXPECT_EQ(r.file->GetPath(), r.path);
    EXPECT_EQ(r.file->GetName(), r.name);
    EXPECT_EQ(ReadBytes(r.path), r.bytes) << r.name;
  }
  EXPECT_EQ(record.inlineFiles.GetAt(0)->GetContentId(), L"cid:pic1@x");
  ASSERT_EQ(record.attachmentPaths.GetSize(), 2);
  EXPECT_EQ(Str(record.attachmentPaths[0]), folder + L"0\\NoName");
}

TEST_F(MessageOperationsTest, HostilePartNamesStayInsideTheirFolder) {
  struct Case {
    std::string header;  // the name as the mail's headers give it
    std::wstring stored;
  };
  const Case cases[] = {
      {"../../x", L"x"},          {"..\\\\..\\\\y", L"y"},  {"a\\\\b", L"ab"},       {"/", L"NoName"},
      {"con", L"con"},            {".hidden", L"hidden"},   {"a/b/c.txt", L"abc.txt"}, {"a:b?.txt", L"ab.txt"},
      {"..", L"NoName"},          {"x. ", L"x"},
  };
  for (const Case& c : cases) {
    const unsigned long id = StoreRaw(Tray(kReceiveBox), MailWithAttachment(c.header));
    QvMessageRecord record;
    ASSERT_TRUE(LoadMessageForView(id, &record, Tray(kReceiveBox))) << c.header;
    const std::wstring folder = std::wstring(kView) + qv::FormatW(L"%08X_0\\", static_cast<unsigned>(id));
    ASSERT_EQ(record.attachmentPaths.GetSize(), 1) << c.header;
    const std::wstring path = Str(record.attachmentPaths[0]);
    EXPECT_EQ(path, folder + c.stored) << c.header;
    EXPECT_EQ(record.extraFiles.GetAt(0)->GetPath(), path) << c.header;
    EXPECT_EQ(ReadBytes(path), "ABC") << c.header << ": the file the engine wrote";
  }
  // Nothing landed above the part folders.
  for (const wchar_t* outside : {L"\\Application Data\\QuvoMail\\_TempFiles\\x",
                                 L"\\Application Data\\QuvoMail\\x", L"\\Application Data\\QuvoMail\\_TempFiles\\y"}) {
    EXPECT_FALSE(Exists(outside)) << std::string(outside, outside + wcslen(outside));
  }
}

// A template is a file that may come from anywhere: the names of its parts
// are held to the same rule.
TEST_F(MessageOperationsTest, HostileNamesInATemplateStayInsideTheirFolder) {
  WriteBytes(L"\\Application Data\\p.png", "PNGDATA");
  QvMessageRecord source;
  source.htmlText = L"<html><img src=\"cid:p1@t\"></html>";
  source.inlineFiles.Add(L"\\Application Data\\p.png", L"p.png", L"image/png", L"cid:p1@t");
  ASSERT_TRUE(SaveHtmlTemplate(source, L"\\Application Data\\t.whm"));
  std::string bytes = ReadBytes(L"\\Application Data\\t.whm");
  for (size_t at = bytes.find("p.png"); at != std::string::npos; at = bytes.find("p.png", at + 1))
    bytes.replace(at, 5, "../../../evil.png");
  ASSERT_NE(bytes.find("../../../evil.png"), std::string::npos);
  WriteBytes(L"\\Application Data\\hostile.whm", bytes);

  QvMessageRecord record;
  ASSERT_TRUE(LoadHtmlTemplate(&record, L"\\Application Data\\hostile.whm"));
  ASSERT_EQ(record.inlineFiles.GetCount(), 1u);
  const std::wstring path = L"\\Application Data\\QuvoMail\\_TempFiles\\_T\\00000000_0\\evil.png";
  EXPECT_EQ(record.inlineFiles.GetAt(0)->GetPath(), path);
  EXPECT_EQ(ReadBytes(path), "PNGDATA");
  EXPECT_FALSE(Exists(L"\\Application Data\\evil.png"));
}

TEST_F(MessageOperationsTest, AStaleFileOfAnEarlierLoadIsNotTakenForThePart) {
  const unsigned long id = StoreRaw(Tray(kReceiveBox), MailWithAttachment("a.bin"));
  const std::wstring folder = std::wstring(kView) + qv::FormatW(L"%08X_0", static_cast<unsigned>(id));
  ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail\\_TempFiles", nullptr));
  ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail\\_TempFiles\\_V", nullptr));
  MakeDir(folder);
  WriteBytes(folder + L"\\a.bin", "old");
  WriteBytes(folder + L"\\other", "old");
  QvMessageRecord record;
  ASSERT_TRUE(LoadMessageForView(id, &record, Tray(kReceiveBox)));
  EXPECT_EQ(ReadBytes(folder + L"\\a.bin"), "ABC");
  EXPECT_FALSE(Exists(folder + L"\\other"));
  EXPECT_TRUE(RemoveTempFolder(L"_V"));
  EXPECT_FALSE(Exists(kView));
  EXPECT_TRUE(Exists(kTemp));
}

TEST_F(MessageOperationsTest, TempFolderPaths) {
  struct Case {
    const wchar_t* dataPath;  // null: no "DataPath"
    const wchar_t* sub;
    const wchar_t* path;
  };
  const Case cases[] = {
      {L"\\Application Data\\QuvoMail\\", L"_V", L"\\Application Data\\QuvoMail\\_TempFiles\\_V"},
      {L"\\Data\\Mail", L"_E", L"\\Data\\Mail\\_TempFiles\\_E"},
      {L"\\Data\\Mail\\\\", nullptr, L"\\Data\\Mail\\_TempFiles"},
      {L"\\Data\\Mail", L"", L"\\Data\\Mail\\_TempFiles"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteText(kProgramKey, L"DataPath", c.dataPath));
    CString path;
    GetAppTempFolderPath(path, c.sub);
    EXPECT_EQ(Str(path), c.path);
  }
}

TEST_F(MessageOperationsTest, TheViewNamesKnownAddressesAndKeepsThePartialMark) {
  qv::pim::PimApplication book;
  ASSERT_TRUE(book.Logon());
  for (const auto& [last, address] : {std::pair{L"山田", L"alice@example.com"}, std::pair{L"Bob", L"bob@example.com"}}) {
    qv::pim::Contact c;
    c.lastName = last;
    c.email[0] = address;
    book.Add(c);
  }
  NotifyContactsChanged();  // answers cached by earlier look-ups go
  std::wstring alice, bob;
  ASSERT_TRUE(LookupContactName(L"alice@example.com", &alice));
  ASSERT_TRUE(LookupContactName(L"bob@example.com", &bob));

  struct Case {
    uint8_t state;  // the engine's partial-receive mark
    uint32_t partial;
  };
  for (const Case c : {Case{0, 0}, Case{1, 0x10}}) {
    const unsigned long id = StoreRaw(Tray(kReceiveBox), kThreeParts);
    {
      std::unique_ptr<QvMessageInterface> m(CurrentStorage()->OpenMessage(id));
      Attr a;
      a.mask = QvMessageInterface::kState;
      a.state = c.state;
      ASSERT_TRUE(m->SetAttributes(a));
    }
    QvMessageRecord record;
    ASSERT_TRUE(LoadMessageForView(id, &record, Tray(kReceiveBox)));
    EXPECT_EQ(record.partialFlag, c.partial) << int(c.state);
    EXPECT_EQ(Str(record.from), L"\"" + alice + L"\"<alice@example.com>") << "the address book's name first";
    ASSERT_EQ(record.toList.GetSize(), 2);
    EXPECT_EQ(Str(record.toList[0]), L"me@example.com") << "no contact: as it was";
    EXPECT_EQ(Str(record.toList[1]), L"\"" + bob + L"\"<bob@example.com>");
    EXPECT_EQ(Str(record.ccList[0]), L"carol@example.com");
  }
  NotifyContactsChanged();
}

TEST_F(MessageOperationsTest, AnswersChooseTheirModeByTheSendersAddress) {
  enum Action { kReply, kReplyAll, kForward };
  struct Case {
    std::string from, to, cc;
    Action action;
    std::string wantTo, wantCc;
    std::wstring subject;
  };
  const Case cases[] = {
      // Someone else's mail: the answer goes back to its sender.
      {"alice@example.com", "me@example.com", "carol@example.com", kReply, "alice@example.com", "", L"Re: hello"},
      {"alice@example.com", "me@example.com", "carol@example.com", kReplyAll, "alice@example.com",
       "me@example.com,carol@example.com", L"Re: hello"},
      {"alice@example.com", "me@example.com", "", kForward, "", "", L"Fw: hello"},
      // One's own mail (mode 4 and 5): its recipients are kept.
      {"me@example.com", "bob@example.com", "carol@example.com", kReply, "bob@example.com", "carol@example.com",
       L"Re: hello"},
      {"Me@Example.com", "bob@example.com", "", kReply, "bob@example.com", "", L"Re: hello"},
      {"me@example.com", "bob@example.com", "carol@example.com", kReplyAll, "bob@example.com",
       "carol@example.com", L"Re: hello"},
      {"me@example.com", "bob@example.com", "", kForward, "", "", L"Fw: hello"},
  };
  for (const Case& c : cases) {
    std::string raw = "From: " + c.from + "\nTo: " + c.to + "\n";
    if (!c.cc.empty()) raw += "Cc: " + c.cc + "\n";
    raw += "Subject: hello\n\nline one\nline two\n";
    const unsigned long id = StoreRaw(Tray(kReceiveBox), Crlf(raw));
    QvMessageRecord record;
    bool made = false;
    switch (c.action) {
      case kReply: made = CreateReplyRecord(id, &record, false); break;
      case kReplyAll: made = CreateReplyAllRecord(id, &record, false); break;
      case kForward: made = CreateForwardRecord(id, &record); break;
    }
    const std::string what = c.from + " action " + std::to_string(c.action);
    ASSERT_TRUE(made) << what;
    EXPECT_EQ(Join(record.toList), c.wantTo) << what;
    EXPECT_EQ(Join(record.ccList), c.wantCc) << what;
    EXPECT_EQ(Str(record.subject), c.subject) << what;
    EXPECT_EQ(Str(record.from), L"me@example.com") << what;
    EXPECT_EQ(Str(record.senderName), L"自分") << what;
    EXPECT_EQ(record.messageId, 0u) << what << ": an answer is a new message";
    const std::wstring body = c.action == kForward ? L"line one\r\nline two" : L">line one\r\n>line two";
    EXPECT_EQ(Str(record.body), body) << what;
  }
}

TEST_F(MessageOperationsTest, APictureMailsFirstAttachmentIsItsPicture) {
  const std::string raw = Crlf(
      "From: alice@example.com\nTo: me@example.com\nSubject: drawn\nX-Qvmail_PictureMail: 1\nMIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=\"MIX\"\n\n"
      "--MIX\nContent-Type: text/plain; charset=us-ascii\n\nlook\n"
      "--MIX\nContent-Type: image/jpeg; name=\"a.jpg\"\nContent-Disposition: attachment; filename=\"a.jpg\"\n"
      "Content-Transfer-Encoding: base64\n\nSlBH\n"
      "--MIX\nContent-Type: application/octet-stream; name=\"b.bin\"\n"
      "Content-Disposition: attachment; filename=\"b.bin\"\nContent-Transfer-Encoding: base64\n\nQUJD\n--MIX--\n");
  enum Action { kView, kEdit, kReplyKeeping, kReplyDropping, kForward };
  struct Case {
    Action action;
    const wchar_t* picture;      // the picture's file name, "" for none
    const wchar_t* attachments;  // the attachments' file names
  };
  const Case cases[] = {
      {kView, L"a.jpg", L"b.bin"},   {kEdit, L"a.jpg", L"b.bin"},   {kReplyKeeping, L"a.jpg", L""},
      {kReplyDropping, L"", L""},    {kForward, L"a.jpg", L"b.bin"},
  };
  auto names = [](const CStringArray& paths) {
    std::wstring out;
    for (INT_PTR i = 0; i < paths.GetSize(); ++i) {
      const std::wstring path = Str(paths[i]);
      out += (i > 0 ? L"," : L"") + path.substr(path.rfind(L'\\') + 1);
    }
    return out;
  };
  for (const Case& c : cases) {
    const unsigned long id = StoreRaw(Tray(kReceiveBox), raw);
    QvMessageRecord record;
    bool loaded = false;
    switch (c.action) {
      case kView: loaded = LoadMessageForView(id, &record, Tray(kReceiveBox)); break;
      case kEdit: loaded = LoadMessageForEdit(id, &record); break;
      case kReplyKeeping: loaded = CreateReplyRecord(id, &record, true); break;
      case kReplyDropping: loaded = CreateReplyRecord(id, &record, false); break;
      case kForward: loaded = CreateForwardRecord(id, &record); break;
    }
    ASSERT_TRUE(loaded) << c.action;
    EXPECT_EQ(record.isPictureMail, 1) << c.action;
    EXPECT_EQ(names(record.pictureFiles), c.picture) << c.action;
    EXPECT_EQ(names(record.attachmentPaths), c.attachments) << c.action;
    if (*c.picture) {
      EXPECT_EQ(ReadBytes(Str(record.pictureFiles[0])), "JPG") << c.action;
    }
  }
}

TEST_F(MessageOperationsTest, MarkingReadInAListTouchesOnlyReceivedMail) {
  struct Case {
    uint32_t kind;
    uint8_t unreadAfter;
  };
  // Sent (0), received (1), composed (3), imported (4).
  const Case cases[] = {{0, 1}, {1, 0}, {3, 1}, {4, 0}};
  Ids ids;
  for (const Case& c : cases) ids.push_back(StoreRaw(Tray(kReceiveBox), MailWithAttachment("a"), c.kind, true));
  Refreshed(0);
  std::vector<QvMailListItem> rows;
  ASSERT_TRUE(LoadMessageHeaders(Tray(kReceiveBox), ids, &rows));
  ASSERT_TRUE(SetMessagesRead(ids, false, Tray(kReceiveBox)));
  for (size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(Flags(ids[i]).unread, cases[i].unreadAfter) << cases[i].kind;
    // A changed message's list row is read again; the others' stay.
    EXPECT_EQ(IsHeaderCached(ids[i]), cases[i].unreadAfter == 1) << cases[i].kind;
  }
  EXPECT_TRUE(Refreshed(Tray(kReceiveBox)));
  EXPECT_EQ(CountCurrentAccountUnread(), 2);

  // Nothing differs: nothing is written, nothing refreshed.
  ASSERT_TRUE(SetMessagesRead(ids, false, Tray(kReceiveBox)));
  EXPECT_FALSE(Refreshed(Tray(kReceiveBox)));
  // Only sent mail in the list: nothing changes.
  ASSERT_TRUE(SetMessagesRead({ids[0]}, false, Tray(kReceiveBox)));
  EXPECT_EQ(Flags(ids[0]).unread, 1);
  EXPECT_FALSE(Refreshed(Tray(kReceiveBox)));

  // One message by itself is marked whatever its kind.
  ASSERT_TRUE(SetMessageRead(ids[0], false, Tray(kReceiveBox)));
  EXPECT_EQ(Flags(ids[0]).unread, 0);
  ASSERT_TRUE(SetMessageRead(ids[1], true, Tray(kReceiveBox)));
  EXPECT_EQ(Flags(ids[1]).unread, 1);
  EXPECT_TRUE(Refreshed(Tray(kReceiveBox)));
}

TEST_F(MessageOperationsTest, ProtectFlagToggledAndSet) {
  const Ids ids = {StoreRaw(Tray(kReceiveBox), MailWithAttachment("a")),
                   StoreRaw(Tray(kReceiveBox), MailWithAttachment("b"))};
  ASSERT_TRUE(ToggleMessageProtect(ids[0], Tray(kReceiveBox)));
  EXPECT_EQ(Flags(ids[0]).isProtected, 1);
  EXPECT_EQ(Flags(ids[1]).isProtected, 0);
  ASSERT_TRUE(SetMessagesProtect(ids, true, Tray(kReceiveBox)));
  EXPECT_EQ(Flags(ids[1]).isProtected, 1);
  ASSERT_TRUE(ToggleMessageProtect(ids[0], Tray(kReceiveBox)));
  EXPECT_EQ(Flags(ids[0]).isProtected, 0);
  ASSERT_TRUE(SetMessagesProtect(ids, false, Tray(kReceiveBox)));
  EXPECT_EQ(Flags(ids[1]).isProtected, 0);
  EXPECT_TRUE(Refreshed(Tray(kReceiveBox)));
}

TEST_F(MessageOperationsTest, SaveUpdateMoveAndRemoveReadBackWhatTheEngineStored) {
  WriteBytes(L"\\Application Data\\note.txt", "note bytes");
  QvMessageRecord record;
  ASSERT_TRUE(InitNewMessageRecord(&record));
  record.toList.Add(L"bob@example.com");
  record.ccList.Add(L"carol@example.com");
  record.subject = L"下書き";
  record.body = L"本文\r\n";
  record.attachmentPaths.Add(L"\\Application Data\\note.txt");

  EXPECT_FALSE(SaveNewMessage(kSendBox, &record)) << "only drafts and the outbox";
  EXPECT_FALSE(SaveNewMessage(kReceiveBox, &record));
  main_->refreshes.clear();
  ASSERT_TRUE(SaveNewMessage(kDrafts, &record));
  const unsigned long id = record.messageId;
  EXPECT_EQ(MessagesOf(Tray(kDrafts)), Ids{id});
  EXPECT_EQ(record.folder, Tray(kDrafts));
  EXPECT_EQ(record.notFromStore, 0);
  EXPECT_TRUE(Refreshed(Tray(kDrafts)));
  Email stored = ReadBack(id);
  EXPECT_EQ(stored.subject, L"下書き");
  EXPECT_EQ(stored.fromAddress, L"me@example.com");
  EXPECT_EQ(stored.fromName, L"自分");
  EXPECT_EQ(stored.to, std::list<std::wstring>{L"bob@example.com"});
  EXPECT_EQ(stored.cc, std::list<std::wstring>{L"carol@example.com"});
  EXPECT_EQ(stored.body.substr(0, 2), L"本文");
  ASSERT_EQ(stored.attachments.size(), 1u);
  EXPECT_EQ(stored.attachments.front().fileName, L"note.txt");

  // Loaded for editing, changed, written over.
  QvMessageRecord edit;
  SetTempFolderName(L"_E");
  ASSERT_TRUE(LoadMessageForEdit(id, &edit));
  edit.folder = Tray(kDrafts);
  ASSERT_EQ(edit.attachmentPaths.GetSize(), 1);
  EXPECT_EQ(Str(edit.attachmentPaths[0]),
            qv::FormatW(L"\\Application Data\\QuvoMail\\_TempFiles\\_E\\%08X_0\\note.txt", static_cast<unsigned>(id)));
  edit.subject = L"changed";
  ASSERT_TRUE(UpdateStoredMessage(&edit));
  EXPECT_TRUE(Refreshed(Tray(kDrafts)));
  stored = ReadBack(id);
  EXPECT_EQ(stored.subject, L"changed");
  EXPECT_EQ(stored.to, std::list<std::wstring>{L"bob@example.com"});
  ASSERT_EQ(stored.attachments.size(), 1u);
  EXPECT_EQ(stored.attachments.front().fileName, L"note.txt");

  // To the outbox and back.
  ASSERT_TRUE(MoveMessageDraftOutbox(id, true));
  EXPECT_EQ(MessagesOf(Tray(kDrafts)), Ids{});
  EXPECT_EQ(MessagesOf(Tray(kOutbox)), Ids{id});
  EXPECT_TRUE(RefreshedBoth(Tray(kDrafts), Tray(kOutbox)));
  ASSERT_TRUE(MoveMessageDraftOutbox(id, false));
  EXPECT_EQ(MessagesOf(Tray(kDrafts)), Ids{id});
  EXPECT_EQ(MessagesOf(Tray(kOutbox)), Ids{});

  // A second one straight into the outbox, then both removed.
  QvMessageRecord second;
  ASSERT_TRUE(InitNewMessageRecord(&second));
  second.toList.Add(L"dave@example.com");
  ASSERT_TRUE(SaveNewMessage(kOutbox, &second));
  EXPECT_EQ(MessagesOf(Tray(kOutbox)), Ids{second.messageId});
  Ids drafts = {id};
  RemoveMessages(Tray(kDrafts), drafts);
  EXPECT_EQ(MessagesOf(Tray(kDrafts)), Ids{});
  EXPECT_TRUE(RemoveStoredMessage(second.messageId));
  EXPECT_EQ(MessagesOf(Tray(kOutbox)), Ids{});
  EXPECT_EQ(main_->boxes, 0);
}

TEST_F(MessageOperationsTest, FailuresShowTheEngineErrorAndLeaveNothingBehind) {
  QvMessageRecord record;
  ASSERT_TRUE(InitNewMessageRecord(&record));
  record.toList.Add(L"bob@example.com");
  record.attachmentPaths.Add(L"\\Application Data\\missing.txt");
  // The code each failure reports, and whether its box is shown (the error
  // table keeps some codes quiet).
  struct Case {
    const char* what;
    std::function<bool()> run;
    DWORD code;
    int boxes;
  };
  const Case cases[] = {
      {"a save whose attachment is gone", [&] { return SaveNewMessage(kDrafts, &record); }, 0x2000902, 1},
      {"a template that is not there", [&] { return LoadHtmlTemplate(&record, L"\\nothing.whm"); }, 0x2000209, 1},
      {"a view of no message", [&] { return LoadMessageForView(0x7777, &record, Tray(kReceiveBox)); }, 0x200008B,
       0},
      {"a reply to no message", [&] { return CreateReplyRecord(0x7777, &record, false); }, 0x200008B, 0},
      {"marking no message", [&] { return SetMessageRead(0x7777, false, Tray(kReceiveBox)); }, 0x200008B, 0},
      {"a header of no message", [&] { return MessageHasRecipients(0x7777); }, 0x200008B, 0},
      {"a move of no message", [&] { return MoveMessageDraftOutbox(0x7777, true); }, 0x2004716, 0},
  };
  for (const Case& c : cases) {
    ClearDetailCode();
    const int before = main_->boxes;
    EXPECT_FALSE(c.run()) << c.what;
    Pump();
    EXPECT_EQ(DetailCode(), c.code) << c.what;
    EXPECT_EQ(main_->boxes - before, c.boxes) << c.what;
  }
  EXPECT_EQ(MessagesOf(Tray(kDrafts)), Ids{}) << "the half-made message is removed again";
}

TEST_F(MessageOperationsTest, RemovingAttachmentsKeepsTheText) {
  const unsigned long id = StoreRaw(Tray(kReceiveBox), MailWithAttachment("a.bin"));
  {
    std::unique_ptr<QvMessageInterface> m(CurrentStorage()->OpenMessage(id));
    Attr a;
    a.mask = QvMessageInterface::kHasAttachments;
    a.hasAttachments = 1;
    ASSERT_TRUE(m->SetAttributes(a));
  }
  Ids none;
  EXPECT_FALSE(RemoveMessageAttachments(none, Tray(kReceiveBox)));
  Ids ids = {id};
  ASSERT_TRUE(RemoveMessageAttachments(ids, Tray(kReceiveBox)));
  EXPECT_EQ(Flags(id).attachmentsDeleted, 1);
  const Email stored = ReadBack(id);
  EXPECT_TRUE(stored.attachments.empty());
  EXPECT_EQ(stored.body.substr(0, 12), L"see attached");
  EXPECT_TRUE(Refreshed(Tray(kReceiveBox)));
}

TEST_F(MessageOperationsTest, PreviewWritesItsPicturesApartAndKeepsTheWindowsFolder) {
  const unsigned long id = StoreRaw(Tray(kReceiveBox), kThreeParts);
  SetTempFolderName(L"_E");
  QvMessageRecord record;
  ASSERT_TRUE(LoadMessagePreview(Tray(kReceiveBox), id, true, 1400, &record));
  EXPECT_EQ(Str(GetTempFolderName()), L"_E");
  ASSERT_EQ(record.inlineFiles.GetCount(), 1u);
  EXPECT_EQ(record.inlineFiles.GetAt(0)->GetPath(),
            qv::FormatW(L"\\Application Data\\QuvoMail\\_TempFiles\\_PV\\%08X_0\\pic.png", static_cast<unsigned>(id)));
  EXPECT_EQ(record.attachmentPaths.GetSize(), 0) << "the pane writes no attachment";
  EXPECT_EQ(record.folder, Tray(kReceiveBox));
  EXPECT_TRUE(MessageHasRecipients(id));
}

TEST_F(MessageOperationsTest, ShortReadsGiveTheHeaderAndACutBody) {
  const unsigned long id =
      StoreRaw(Tray(kReceiveBox), Crlf("From: alice@example.com\nSubject: long\n\n" + std::string(3000, 'x') + "\n"));
  CString header;
  ASSERT_TRUE(GetMessageHeaderText(id, &header));
  EXPECT_NE(Str(header).find(L"Subject: long"), std::wstring::npos);
  EXPECT_EQ(Str(header).find(L"xxx"), std::wstring::npos) << "the header only";
  EXPECT_FALSE(MessageHasRecipients(id)) << "no To, Cc or Bcc";

  struct Case {
    bool full;
    int limit;
    size_t longest;
  };
  for (const Case c : {Case{false, 1400, 1400}, Case{false, 10, 10}, Case{true, 10, 3002}}) {
    QvMessageRecord record;
    ASSERT_TRUE(LoadMessagePreview(Tray(kReceiveBox), id, c.full, c.limit, &record));
    EXPECT_LE(Str(record.body).size(), c.longest) << c.full << " " << c.limit;
    EXPECT_GE(Str(record.body).size(), std::min<size_t>(c.longest, 10)) << c.full << " " << c.limit;
  }
}

TEST_F(MessageOperationsTest, ANewMessageStartsFromTheAccountAndItsSignature) {
  {
    std::unique_ptr<QvSignatureInterface> signature(CurrentAccountInfo()->OpenSignature());
    QvSignatureInterface::Attributes texts;
    texts.mask = 3;
    texts.first = L"--\r\n一つ目";
    texts.second = L"--\r\n二つ目";
    ASSERT_TRUE(signature->WriteAttributes(texts));
  }
  struct Case {
    bool use;
    int32_t choice;
    const wchar_t* body;
  };
  for (const Case c : {Case{false, 1, L""}, Case{true, 1, L"--\r\n一つ目"}, Case{true, 2, L"--\r\n二つ目"}}) {
    Attributes settings;
    settings.bUseSignature = c.use;
    settings.iUseSignature = c.choice;
    settings.Select(Attributes::kUseSignature);
    settings.Select(Attributes::kUseSignatureIndex);
    SetSettings(L"alpha", settings);
    ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
    QvMessageRecord record;
    ASSERT_TRUE(InitNewMessageRecord(&record));
    EXPECT_EQ(Str(record.from), L"me@example.com");
    EXPECT_EQ(Str(record.senderName), L"自分");
    EXPECT_EQ(Str(record.body), c.body) << c.use << c.choice;
  }
}

TEST_F(MessageOperationsTest, MailtoFillsTheRecordFromTheCurrentAccount) {
  QvMessageRecord record;
  ASSERT_TRUE(LoadMailtoIntoRecord(L"mailto:bob@example.com?subject=hi&cc=carol@example.com", &record));
  EXPECT_EQ(Join(record.toList), "bob@example.com");
  EXPECT_EQ(Join(record.ccList), "carol@example.com");
  EXPECT_EQ(Str(record.subject), L"hi");
  EXPECT_EQ(Str(record.from), L"me@example.com");
  EXPECT_EQ(Str(record.senderName), L"自分");
}

TEST_F(MessageOperationsTest, TemplateRoundTripKeepsTheRecordsAddresses) {
  WriteBytes(L"\\Application Data\\p.png", "PNGDATA");
  QvMessageRecord source;
  source.htmlText = L"<html><img src=\"cid:p1@t\"></html>";
  source.inlineFiles.Add(L"\\Application Data\\p.png", L"p.png", L"image/png", L"cid:p1@t");
  ASSERT_TRUE(SaveHtmlTemplate(source, L"\\Application Data\\t.whm"));

  QvMessageRecord record;
  record.toList.Add(L"bob@example.com");
  record.subject = L"kept";
  ASSERT_TRUE(LoadHtmlTemplate(&record, L"\\Application Data\\t.whm"));
  EXPECT_NE(Str(record.htmlText).find(L"cid:p1@t"), std::wstring::npos);
  ASSERT_EQ(record.inlineFiles.GetCount(), 1u);
  const QvHtmlFile* file = record.inlineFiles.GetAt(0);
  EXPECT_EQ(file->GetPath(), L"\\Application Data\\QuvoMail\\_TempFiles\\_T\\00000000_0\\p.png");
  EXPECT_EQ(ReadBytes(file->GetPath()), "PNGDATA");
  EXPECT_EQ(file->GetContentId(), L"cid:p1@t");
  EXPECT_EQ(Join(record.toList), "bob@example.com");
  EXPECT_EQ(Str(record.subject), L"kept");
}

TEST_F(MessageOperationsTest, ClearEmptiesTheRecordAndMarksItNotFromTheStore) {
  const unsigned long id = StoreRaw(Tray(kReceiveBox), kThreeParts);
  QvMessageRecord record;
  ASSERT_TRUE(LoadMessageForView(id, &record, Tray(kReceiveBox)));
  record.pictureFiles.Add(L"x");
  record.quotedBody = L"q";
  record.isNew = record.inDrafts = record.isReply = record.isBlank = record.hasDrawing = 1;
  record.Clear();
  EXPECT_EQ(record.messageId, 0u);
  EXPECT_EQ(record.folder, 0u);
  EXPECT_EQ(record.notFromStore, 1);
  EXPECT_EQ(record.isStored + record.isNew + record.inDrafts + record.isReply + record.isBlank + record.hasDrawing +
                record.pictureFromAttachment + record.htmlNeedsSignature,
            0);
  EXPECT_EQ(record.toList.GetSize() + record.ccList.GetSize() + record.bccList.GetSize() +
                record.attachmentPaths.GetSize() + record.pictureFiles.GetSize(),
            0);
  EXPECT_TRUE(record.inlineFiles.IsEmpty());
  EXPECT_TRUE(record.extraFiles.IsEmpty());
  EXPECT_TRUE(record.from.IsEmpty() && record.subject.IsEmpty() && record.htmlText.IsEmpty() &&
              record.senderName.IsEmpty() && record.dateText.IsEmpty() && record.quotedBody.IsEmpty());
}

TEST_F(MessageOperationsTest, CharsetAndAnsiConversions) {
  struct Case {
    std::wstring text, charset;
    std::string bytes;
  };
  const Case cases[] = {
      {L"abc", L"us-ascii", "abc"},
      {L"あ", L"shift_jis", "\x82\xa0"},
      {L"あ", L"iso-2022-jp", "\x1b$B$\"\x1b(B"},
      {L"あ", L"euc-jp", "\xa4\xa2"},
      {std::wstring(3000, L'あ'), L"iso-2022-jp", ""},
  };
  for (const Case& c : cases) {
    std::string out;
    ConvertFromUtf16ToCharset(&out, c.text, c.charset);
    if (!c.bytes.empty()) EXPECT_EQ(out, c.bytes);
    else EXPECT_EQ(out.size(), 6000u + 6u) << "the longest form fits";
  }
  std::string ansi;
  ASSERT_TRUE(WideToAnsi(&ansi, L"aあ"));
  EXPECT_EQ(ansi, "a\x82\xa0");
  ASSERT_TRUE(WideToAnsi(&ansi, L""));
  EXPECT_EQ(ansi, "");
}


TEST_F(MessageOperationsTest, AnEditedAnswerStaysInItsThread) {
  struct Case {
    std::string headers;  // of the answered mail
    std::string inReplyTo, references;
  };
  const Case cases[] = {
      {"Message-ID: <orig@x>\n", "<orig@x>", "<orig@x>"},
      {"Message-ID: <orig@x>\nReferences: <a@x> <b@x>\n", "<orig@x>", "<a@x> <b@x> <orig@x>"},
      {"Message-ID: <orig@x>\nIn-Reply-To: <up@x>\n", "<orig@x>", "<up@x> <orig@x>"},
  };
  auto header = [&](unsigned long id, const std::string& name) {
    std::string raw, value;
    std::unique_ptr<QvMessageInterface> m(CurrentStorage()->OpenMessage(id));
    EXPECT_TRUE(m && m->SeekToHead() && m->Read(&raw));
    EmlCompose().GetHeaderField(raw, name, &value);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r' || value.back() == ' ')) value.pop_back();
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    return value;
  };
  for (const Case& c : cases) {
    const unsigned long id = StoreRaw(
        Tray(kReceiveBox), Crlf("From: alice@example.com\nTo: me@example.com\n" + c.headers + "Subject: t\n\nb\n"));
    QvMessageRecord reply;
    ASSERT_TRUE(CreateReplyRecord(id, &reply, false));
    ASSERT_TRUE(SaveNewMessage(kDrafts, &reply));
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(header(reply.messageId, "In-Reply-To"), c.inReplyTo) << c.headers << round;
      EXPECT_EQ(header(reply.messageId, "References"), c.references) << c.headers << round;
      QvMessageRecord edit;
      ASSERT_TRUE(LoadMessageForEdit(reply.messageId, &edit));
      edit.folder = Tray(kDrafts);
      ASSERT_TRUE(UpdateStoredMessage(&edit));
    }
  }
}

}  // namespace
}  // namespace qv::test
