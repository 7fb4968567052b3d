// Received and stored mail filed by an account's rules, into a real store
// on disk: which folder each rule sends a mail to, what a stored message
// carries, and mail that must land in the receive box without stopping the
// receives after it.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvMessageLimit.h"
#include "engine/public/transport/QvClassifier.h"
#include "platform/testing/Seams.h"
#include "tests/engine/store/filing/FilingFixture.h"

namespace {

using Rule = QvClassificationParamInterface::Attributes;

std::string Mail(const std::string& headers) {
  return "Date: Tue, 01 Dec 2026 09:00:00 +0900\r\n" + headers + "\r\n\r\nbody\r\n";
}

class ClassifierTest : public FilingTest {
 protected:
  // The number of messages in the receive box and in each folder below it.
  std::vector<size_t> Counts() {
    std::vector<size_t> counts = {Messages(inbox_).size()};
    for (unsigned long f : inboxChildren_) counts.push_back(Messages(f).size());
    return counts;
  }
  bool Save(std::string raw) { return QvClassifier().SaveToFolder(raw, "UID1", false, account_.get()); }
};

TEST_F(ClassifierTest, RulesChooseTheFolder) {
  // Folder symbols: 0 the receive box, 1-3 the folders below it.
  struct Case {
    const char* what;
    std::vector<Rule> rules;
    std::string headers;
    int folder;
  };
  const auto R = [](const wchar_t* field, const wchar_t* keyword, int folder, int direction) {
    return Rule{L"r", field, keyword, static_cast<uint32_t>(folder), direction, 0};
  };
  const Case cases[] = {
      {"From address, keyword in capitals", {R(L"From", L"HANAKO@", 1, 1)}, "From: hanako@example.jp", 1},
      {"From address in capitals", {R(L"From", L"taro", 2, 1)}, "From: TARO@EXAMPLE.JP", 2},
      {"From name", {R(L"From", L"yamada", 3, 1)}, "From: Hanako Yamada <h@example.jp>", 3},
      {"To, second entry", {R(L"To", L"team@", 1, 1)}, "To: a@example.jp, Team@example.jp", 1},
      {"Cc", {R(L"Cc", L"boss", 2, 1)}, "To: a@example.jp\r\nCc: boss@example.jp", 2},
      {"subject", {R(L"件名", L"INVOICE", 3, 1)}, "Subject: invoice 42", 3},
      {"ML name", {R(L"X-ML-name", L"QvMail-Dev", 1, 1)}, "x-ml-name: qvmail-dev", 1},
      {"no ML name", {R(L"X-ML-name", L"dev", 1, 1)}, "Subject: dev", 0},
      {"empty keyword, empty To list", {R(L"To", L"", 1, 1)}, "From: a@example.jp", 0},
      {"empty keyword, field looked at", {R(L"件名", L"", 2, 1)}, "From: a@example.jp", 2},
      {"sent-mail rule", {R(L"From", L"hanako", 1, 2)}, "From: hanako@example.jp", 0},
      {"rule for both", {R(L"From", L"hanako", 2, 3)}, "From: hanako@example.jp", 2},
      {"no direction", {R(L"From", L"hanako", 2, 0)}, "From: hanako@example.jp", 0},
      {"unknown field", {R(L"Bcc", L"", 2, 1), R(L"from", L"", 3, 1)}, "Bcc: a@example.jp", 0},
      {"over-long subject", {R(L"件名", L"needle", 1, 1)}, "Subject: " + std::string(5000, 'x') + "needle", 1},
      {"first match wins",
       {R(L"件名", L"none", 1, 1), R(L"From", L"example", 2, 1), R(L"件名", L"hello", 3, 1)},
       "From: a@example.jp\r\nSubject: hello",
       2},
  };
  for (const Case& c : cases) {
    std::vector<Rule> rules = c.rules;
    for (Rule& r : rules) r.folderId = static_cast<uint32_t>(r.folderId ? inboxChildren_[r.folderId - 1] : inbox_);
    SetRules(rules);
    auto expected = Counts();
    ++expected[c.folder];
    ASSERT_TRUE(Save(Mail(c.headers))) << c.what << std::hex << " " << GetQvMiddleError();
    EXPECT_EQ(Counts(), expected) << c.what;
  }
}

TEST_F(ClassifierTest, StoredMessageCarriesItsHeaderAndTheReceiveHistory) {
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"LastSelectAccount", L"Other"));
  std::string raw = Mail(
      "From: Hanako <Hanako@Example.jp>\r\nTo: Taro <taro@example.jp>\r\nSubject: lunch\r\n"
      "Content-Type: text/html; charset=us-ascii");
  ASSERT_TRUE(QvClassifier().SaveToFolder(raw, "UID-7", true, account_.get()));
  const auto ids = Messages(inbox_);
  ASSERT_EQ(ids.size(), 1u);
  const auto a = Attributes(ids[0], 0x3fff);
  EXPECT_EQ(std::make_tuple(a.unread, a.state, a.isProtected, a.kind, a.isHtml, a.uidl, a.date.wHour),
            std::make_tuple(1, 1, 0, QvMessageInterface::kReceived, 1, "UID-7", 0));  // 09:00 JST
  EXPECT_EQ(a.listText1 + L"|" + a.listText2 + L"|" + a.listShort1 + L"|" + a.listShort2,
            L"taro@example.jp|Hanako@Example.jp|Hanako|lunch");
  EXPECT_EQ(Raw(ids[0]), raw);
  // Into the mail's own account, whichever one the screen shows.
  EXPECT_EQ(ReadHost(AccountFile("Acc", "recvhistory.dat")), "Hanako@Example.jp\n20261208100203\n");
}

// A message made in one step holds what one made step by step holds: the
// same file, flags in its list line and record. One whose list cannot be
// written leaves no file behind.
TEST_F(ClassifierTest, OneStepMessageIsTheStepByStepOne) {
  using A = QvMessageInterface;
  const std::string raw = Mail("From: Hanako <hanako@example.jp>\r\nSubject: lunch") + ".dot\r\n";
  A::Attributes a;
  a.mask = A::kHeaderFields | A::kListFields;
  a.unread = a.state = a.hasAttachments = a.isHtml = 1;
  a.kind = A::kReceived;
  a.date = a.listTime = SYSTEMTIME{2026, 12, 2, 8, 9, 10, 11, 0};
  a.uidl = "UID-1";
  a.listText1 = L"taro@example.jp";
  a.listText2 = L"hanako@example.jp";
  a.listShort1 = L"花子";
  a.listShort2 = L"lunch";
  auto folder = Folder(inbox_);
  unsigned long oneStep = 0, stepwise = 0;
  ASSERT_TRUE(folder->CreateMessage(&oneStep, a, raw)) << std::hex << GetQvMiddleError();
  ASSERT_TRUE(folder->CreateMessage(&stepwise, raw.size()));
  {
    std::unique_ptr<A> message(folder->OpenMessage(stepwise));
    ASSERT_TRUE(message && message->SetAttributes(a) && message->Write(raw));
  }
  EXPECT_EQ(ReadBytes(EmlPathOf(oneStep)), ReadBytes(EmlPathOf(stepwise)));
  const auto made = Attributes(oneStep, 0x3fff), stepped = Attributes(stepwise, 0x3fff);
  const auto fields = [](const A::Attributes& x) {
    return std::make_tuple(x.unread, x.state, x.kind, x.uidl, x.listText1, x.listText2, x.listShort1, x.listShort2,
                           x.listTime.wMinute);
  };
  EXPECT_EQ(fields(made), fields(stepped));
  EXPECT_EQ(folder->GetUnreadCount(), 2u);
  const std::string list = ReadBytes(StoreFile(L"TREE", inbox_, L".msg"));
  for (unsigned long id : {oneStep, stepwise}) {
    EXPECT_NE(list.find(qv::FormatA("%04lX\t1\t1\r\n", id)), std::string::npos) << list;
  }

  const auto emlFiles = [&] {
    size_t count = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(
             std::filesystem::path(HostOf(EmlPathOf(oneStep))).parent_path().parent_path())) {
      count += e.path().extension() == ".eml" ? 1 : 0;
    }
    return count;
  };
  qv::seams::InjectFileFault(StoreFile(L"TREE", inbox_, L".msg"), ERROR_DISK_FULL);
  unsigned long failed = 0;
  EXPECT_FALSE(folder->CreateMessage(&failed, a, raw));
  qv::seams::ClearFileFaults();
  EXPECT_EQ(Messages(inbox_).size(), 2u);
  EXPECT_EQ(emlFiles(), 2u);
}

TEST_F(ClassifierTest, NothingIsRecordedForMailThatWasNotStored) {
  qv::seams::SetFreeSpace(1000);
  EXPECT_FALSE(Save(Mail("From: a@example.jp")));
  qv::seams::ClearFreeSpace();
  EXPECT_TRUE(Messages(inbox_).empty());
  EXPECT_EQ(ReadHost(AccountFile("Acc", "recvhistory.dat")), "");
}

TEST_F(ClassifierTest, PoisonMailGoesToTheReceiveBoxAndTheNextIsFiledNormally) {
  const unsigned long target = inboxChildren_[0], torn = inboxChildren_[1], doomed = inboxChildren_[2];
  SetRules({{L"gone", L"件名", L"lost", static_cast<uint32_t>(doomed), 1, 0},
            {L"far", L"件名", L"far", 999, 1, 0},
            {L"torn", L"件名", L"torn", static_cast<uint32_t>(torn), 1, 0},
            {L"ok", L"From", L"friend@", static_cast<uint32_t>(target), 1, 0}});
  ASSERT_TRUE(Folder(inbox_)->RemoveFolder(doomed)) << std::hex << GetQvMiddleError();
  ASSERT_TRUE(std::filesystem::remove(HostOf(StoreFile(L"TREE", torn, L".fld"))));

  // Too large for the memory at hand: it cannot be decoded.
  const std::string undecodable = Mail("From: friend@example.jp") + std::string(700000, 'x') + "\r\n";
  qv::seams::SetAvailableMemory(1200000);
  QvClassifier classifier;
  for (std::string raw : {undecodable, Mail("From: friend@example.jp\r\nSubject: lost"),
                          Mail("From: friend@example.jp\r\nSubject: far"),
                          Mail("From: friend@example.jp\r\nSubject: torn"),
                          std::string("From: friend@example.jp\r\nSubject: no date\r\n\r\nbody\r\n"),
                          Mail("From: friend@example.jp\r\nSubject: next")}) {
    ASSERT_TRUE(classifier.SaveToFolder(raw, "U", false, account_.get())) << raw.substr(0, 80);
  }
  const auto inbox = Messages(inbox_), filed = Messages(target);
  ASSERT_EQ(inbox.size(), 4u);
  ASSERT_EQ(filed.size(), 2u);  // the mail without Date, then the next one
  // Raw text kept, empty list texts, both dated at their receipt (10:02 JST).
  const auto a = Attributes(inbox[0], 0x3fff);
  EXPECT_EQ(Raw(inbox[0]), undecodable);
  EXPECT_EQ(a.listText2 + a.listShort1 + a.listShort2, L"");
  const auto dated = Attributes(filed[0], QvMessageInterface::kDate);
  for (const SYSTEMTIME& t : {a.date, dated.date}) {
    EXPECT_EQ(std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute), std::make_tuple(2026, 12, 8, 1, 2));
  }
  EXPECT_EQ(Raw(filed[0]).rfind("Date: Tue, 08 Dec 2026 10:02:03 +0900\r\n", 0), 0u);
}

TEST_F(ClassifierTest, AllUnreadTakesExactlyTheRoomThereWas) {
  SetMaximum(10);
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(Save(Mail("From: a@example.jp")));  // unread, as received
  const QvMessageLimitContext context{storage_.get(), account_.get()};
  unsigned shortfall = 0;
  ASSERT_FALSE(EnsureMessageLimit(context, 5, &shortfall));
  EXPECT_EQ(shortfall, 3u);
  EXPECT_EQ(GetQvMiddleError(), static_cast<uint32_t>(QVMDL_ERR_RECV_MESSAGE_LIMIT));
  for (unsigned i = 0; i < 5 - shortfall; ++i) ASSERT_TRUE(Save(Mail("From: b@example.jp")));
  EXPECT_TRUE(EnsureMessageLimit(context, 0, &shortfall));
  EXPECT_FALSE(EnsureMessageLimit(context, 1, &shortfall));
  EXPECT_EQ(shortfall, 1u);
  EXPECT_EQ(Messages(inbox_).size(), 10u);
}

TEST_F(ClassifierTest, MoveToFolderRefilesStoredMail) {
  const unsigned long target = inboxChildren_[1], doomed = inboxChildren_[2];
  ASSERT_TRUE(Save(Mail("From: friend@example.jp\r\nSubject: a")));
  ASSERT_TRUE(Save(Mail("From: other@example.jp\r\nSubject: b")));
  const auto ids = Messages(inbox_);
  ASSERT_EQ(ids.size(), 2u);
  SetRules({{L"gone", L"From", L"other", static_cast<uint32_t>(doomed), 3, 0},
            {L"ok", L"From", L"friend", static_cast<uint32_t>(target), 1, 0}});
  ASSERT_TRUE(Folder(inbox_)->RemoveFolder(doomed));
  QvClassifier classifier;
  EXPECT_TRUE(classifier.MoveToFolder(ids[0], account_.get()));
  EXPECT_TRUE(classifier.MoveToFolder(ids[1], account_.get()));
  EXPECT_EQ(Messages(target), std::vector<unsigned long>{ids[0]});
  EXPECT_EQ(Messages(inbox_), std::vector<unsigned long>{ids[1]});
  EXPECT_FALSE(classifier.MoveToFolder(ids[0], nullptr));
  EXPECT_EQ(GetQvMiddleError(), static_cast<uint32_t>(QVMDL_ERR_CLASSIFY_NULL_ACCOUNT));
}

}  // namespace
