// The protocol log file: enabled only by its existence, the session header,
// the line forms of the clients, the 2048-byte cut, and no credentials.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "engine/public/transport/ProtocolLog.h"
#include "platform/kernel/Files.h"
#include "tests/support/DeviceRootFixture.h"

namespace qv::test {
namespace {

constexpr wchar_t kLog[] = L"\\Application Data\\QuvoMail\\QvMailLog.txt";
const std::string kRule = std::string(50, '-') + "\r\n";

class ProtocolLogTest : public DeviceRootTest {
 protected:
  void CreateLog() {
    MakeDir(L"\\Application Data");
    MakeDir(L"\\Application Data\\QuvoMail");
    WriteBytes(kLog, "");
  }

  // The client's way of logging one command and one response.
  static void Out(ProtocolLog& log, const std::string& command) {
    log.write_free("-[OUT(%02d)]", static_cast<int>(command.size()));
    log.write(command.data(), static_cast<unsigned>(command.size()));
  }
  static void In(ProtocolLog& log, const std::string& response) {
    log.write_free("-[IN (%02d)]", static_cast<int>(response.size()));
    log.write(response.data(), static_cast<unsigned>(response.size()));
  }
};

TEST_F(ProtocolLogTest, WithoutTheFileNothingIsWrittenOrCreated) {
  MakeDir(L"\\Application Data");
  ProtocolLog log;
  const char title[] = "*** Pop Protocol Start ";
  EXPECT_EQ(log.start(title, sizeof title - 1), 0u);
  Out(log, "USER me\r\n");
  EXPECT_EQ(log.write("x", 1), 0u);
  EXPECT_EQ(log.write_free("%s", "x"), 0);
  EXPECT_FALSE(Exists(kLog));
  EXPECT_FALSE(Exists(L"\\Application Data\\QuvoMail"));
}

TEST_F(ProtocolLogTest, SessionHeaderAndTraffic) {
  CreateLog();
  ProtocolLog log;
  const char title[] = "*** Smtp Protocol Start ";
  EXPECT_EQ(log.start(title, sizeof title - 1), 1u);
  In(log, "220 mail.example.com ESMTP\r\n");
  Out(log, "HELO QvMail\r\n");
  EXPECT_EQ(log.write_free("*** diconnect RAS Connection ***\r\n"), 34);

  const std::string text = ReadBytes(kLog);
  const std::regex header(kRule + R"(\*\*\* Smtp Protocol Start  \[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\] \*\*\*\r\n)" +
                          kRule);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, header)) << text;
  EXPECT_EQ(m.position(0), 0);
  EXPECT_EQ(text.substr(m.length(0)),
            "-[IN (28)]220 mail.example.com ESMTP\r\n"
            "-[OUT(13)]HELO QvMail\r\n"
            "*** diconnect RAS Connection ***\r\n");
}

TEST_F(ProtocolLogTest, ALongResponseIsCutTo2048Bytes) {
  CreateLog();
  ProtocolLog log;
  std::string response(5000, 'x');
  for (size_t i = 0; i < response.size(); ++i) response[i] = static_cast<char>('a' + i % 26);
  In(log, response);
  EXPECT_EQ(ReadBytes(kLog), "-[IN (5000)]" + response.substr(0, 2048));
}

TEST_F(ProtocolLogTest, CredentialsNeverReachTheFile) {
  CreateLog();
  ProtocolLog log;
  // POP3: USER/PASS and APOP.
  In(log, "+OK POP3 ready <1896.697170952@pop.example.com>\r\n");
  Out(log, "USER alice\r\n");
  Out(log, "PASS s3cret-pop\r\n");
  Out(log, "APOP alice c4c9334bac560ecc979e58001b3e22fb\r\n");
  // SMTP AUTH LOGIN: user and password answer "334" prompts.
  Out(log, "AUTH LOGIN\r\n");
  In(log, "334 VXNlcm5hbWU6\r\n");
  Out(log, "YWxpY2U=\r\n");
  In(log, "334 UGFzc3dvcmQ6\r\n");
  Out(log, "czNjcmV0LXNtdHA=\r\n");
  In(log, "235 ok\r\n");
  // CRAM-MD5 and an initial answer on the AUTH line.
  Out(log, "AUTH CRAM-MD5\r\n");
  In(log, "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n");
  Out(log, "YWxpY2UgYjkxM2E2MDJjN2VkYTdhNDk1YjRlNmU3MzM0ZDM4OTA=\r\n");
  Out(log, "AUTH PLAIN AGFsaWNlAHMzY3JldA==\r\n");
  Out(log, "MAIL FROM: <alice@example.com>\r\n");

  const std::string text = ReadBytes(kLog);
  for (const char* secret : {"s3cret", "c4c9334bac560ecc979e58001b3e22fb", "YWxpY2U=", "czNjcmV0LXNtdHA=",
                             "YWxpY2UgYjkxM2E2", "AGFsaWNlAHMzY3JldA=="}) {
    EXPECT_EQ(text.find(secret), std::string::npos) << secret;
  }
  EXPECT_NE(text.find("-[OUT(12)]USER alice\r\n"), std::string::npos);
  // The byte count is that of the line as written, never the secret's.
  EXPECT_NE(text.find("-[OUT(15)]PASS ********\r\n"), std::string::npos);
  EXPECT_NE(text.find("-[OUT(21)]APOP alice ********\r\n"), std::string::npos);
  EXPECT_NE(text.find("-[OUT(12)]AUTH LOGIN\r\n"), std::string::npos);
  EXPECT_NE(text.find("-[IN (18)]334 VXNlcm5hbWU6\r\n-[OUT(10)]********\r\n"), std::string::npos);
  EXPECT_NE(text.find("-[OUT(21)]AUTH PLAIN ********\r\n"), std::string::npos);
  // A response after a challenge ends it: later commands are logged as they are.
  EXPECT_NE(text.find("-[OUT(32)]MAIL FROM: <alice@example.com>\r\n"), std::string::npos);
}

TEST_F(ProtocolLogTest, OwnPathAndModeWriteWithoutTheExistenceTest) {
  ProtocolLog log("\\trace.txt", "ab");
  EXPECT_EQ(log.write("one\r\n", 5), 1u);
  ProtocolLog again("\\trace.txt", "ab");
  EXPECT_EQ(again.write("two\r\n", 5), 1u);
  EXPECT_EQ(ReadBytes(L"\\trace.txt"), "one\r\ntwo\r\n");
  // A folder that does not exist is not made.
  ProtocolLog nowhere("\\Missing\\trace.txt", "ab");
  EXPECT_EQ(nowhere.write("x", 1), 0u);
  EXPECT_FALSE(Exists(L"\\Missing"));
}

}  // namespace
}  // namespace qv::test
