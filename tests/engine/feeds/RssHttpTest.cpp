// The feed HTTP client against a real nginx (what a server does) and the
// scripted server (hostile answers, stalls, drops).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "engine/public/feeds/RssHttp.h"
#include "platform/net/ConnMgr.h"
#include "platform/testing/Seams.h"
#include "tests/support/NginxPeer.h"
#include "tests/support/TestServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr wchar_t kAgent[] = L"Rivulet Middle (TV-4100)";

long Millis(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

std::string Pattern(size_t size, char seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (i * 7 + static_cast<size_t>(seed)) % 26);
  return bytes;
}

class RssHttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qv::seams::ResetSeams();
    ASSERT_TRUE(peer_.Ready()) << peer_.Error();
    qv::seams::MapHost("feeds.example.jp", 80, peer_.Port());
    qv::seams::MapHost("port.example.jp", 8080, peer_.Port());
    qv::seams::MapHost("hostile.example.jp", 80, server_.Port());
  }
  void TearDown() override {
    EXPECT_EQ(qv::seams::InetLiveObjects(), 0) << "a transfer outlived its call";
    qv::seams::ResetSeams();
  }

  qv::test::NginxPeer& peer_ = qv::test::NginxPeer::Shared();
  qv::test::TestServer server_;
  RssHttp http_{kAgent};
};

TEST_F(RssHttpTest, AnswersOfARealServer) {
  const std::string feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>t</title></channel></rss>";
  const std::string picture = Pattern(70000, 3);
  peer_.PutFile("/feed.xml", feed);
  peer_.PutFile("/pic.jpg", picture);
  peer_.PutFile("/nolength/feed.txt", feed);
  peer_.PutFile("/nolength/pic.jpg", picture);
  std::wstring watch = L"http://feeds.example.jp/pic.jpg";
  struct Case {
    const wchar_t* host;
    const wchar_t* path;
    bool binary;
    int result;
    const std::string* body;  // what the buffer starts with
    DWORD bufferLength;
  } cases[] = {
      {L"feeds.example.jp", L"/feed.xml", false, 200, &feed, static_cast<DWORD>(feed.size())},
      {L"port.example.jp:8080", L"/feed.xml", false, 200, &feed, static_cast<DWORD>(feed.size())},
      {L"port.example.jp", L"/feed.xml", false, -6, nullptr, 0},  // port 80 is not the mapped one
      {L"feeds.example.jp", L"/pic.jpg", true, 200, &picture, static_cast<DWORD>(picture.size())},
      {L"feeds.example.jp", L"/missing.xml", false, -11, nullptr, 0},
      {L"feeds.example.jp", L"/status/500", false, 500, nullptr, 0},
      {L"feeds.example.jp", L"/nolength/feed.txt", false, 200, &feed, RssHttp::kTextBuffer},
      {L"feeds.example.jp", L"/nolength/pic.jpg", true, -7, nullptr, 0},
      {L"feeds.example.jp", L"/hops/9", false, 200, &feed, static_cast<DWORD>(feed.size())},  // 10 redirects
      {L"feeds.example.jp", L"/hops/10", false, -6, nullptr, 0},  // one redirect too many
      {L"feeds.example.jp:0", L"/feed.xml", false, -4, nullptr, 0},
      {L"feeds.example.jp:65536", L"/feed.xml", false, -4, nullptr, 0},
      {L"feeds.example.jp:8o", L"/feed.xml", false, -4, nullptr, 0},
      {L"feeds.example.jp", L"/item\r\nX-Evil: 1", false, -5, nullptr, 0},
      {L"feeds.example.jp", L"/item%0D%0AX-Evil:%201", false, -11, nullptr, 0},
      {L"feeds.example.jp", L"/img%0D%0A.jpg", true, -11, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.host << c.path);
    EXPECT_EQ(http_.OpenURL(c.host, c.path, L"", c.binary ? &watch : nullptr, static_cast<int>(watch.size())),
              c.result);
    if (c.body == nullptr) continue;
    ASSERT_NE(http_.buffer, nullptr);
    EXPECT_EQ(http_.bufferLength, c.bufferLength);
    EXPECT_EQ(std::string(http_.buffer, c.body->size()), *c.body);
    if (c.bufferLength > c.body->size()) {
      EXPECT_EQ(http_.buffer[c.body->size()], '\0');
    }
  }

  // Every request line and agent as the server saw them: no CR or LF made it.
  // (nginx logs a request after answering it: the last one is waited for.)
  const std::string escaped = "GET /item%0D%0AX-Evil:%201 HTTP/1.1 | Rivulet Middle (TV-4100) | 404";
  EXPECT_EQ(peer_.CountLines(escaped, 1), 1);
  bool sawEscaped = false;
  for (const std::string& line : peer_.AccessLog()) {
    EXPECT_EQ(line.find("\\x0D"), std::string::npos) << line;
    EXPECT_EQ(line.find("\\x0A"), std::string::npos) << line;
    EXPECT_NE(line.find(" HTTP/1.1 | Rivulet Middle (TV-4100) | "), std::string::npos) << line;
    sawEscaped = sawEscaped || line == escaped;
  }
  EXPECT_TRUE(sawEscaped);
}

TEST_F(RssHttpTest, ParamsMakeAPostWithThemAsHeaderText) {
  peer_.PutFile("/post.xml", "x");
  // nginx refuses POST on a static file: the verb is what counts here.
  EXPECT_EQ(http_.OpenURL(L"feeds.example.jp", L"/post.xml", L"X-Rivulet-Mode: push", nullptr, 0), 405);
  EXPECT_EQ(peer_.CountLines("POST /post.xml HTTP/1.1 | Rivulet Middle (TV-4100) | 405", 1), 1);
  EXPECT_EQ(http_.OpenURL(L"feeds.example.jp", L"/post.xml", L"mode=push\r\nHost: evil", nullptr, 0), -6);
}

// What the scripted server answers after reading the request:
//   GET /feed HTTP/1.1
//   Host: hostile.example.jp
//   User-Agent: Rivulet Middle (TV-4100)
//   Accept: */*
//   Pragma: no-cache
//   (empty line)
void ReadRequest(qv::test::TestServer& server) {
  server.ExpectLine("GET /feed HTTP/1.1")
      .ExpectLine("Host: hostile.example.jp")
      .ExpectLine("User-Agent: Rivulet Middle (TV-4100)")
      .ExpectLine("Accept: */*")
      .ExpectLine("Pragma: no-cache")
      .ExpectLine("");
}

TEST_F(RssHttpTest, HostileAnswers) {
  const std::string chunk100 = "64\r\n" + Pattern(100, 1) + "\r\n0\r\n\r\n";
  struct Case {
    const char* name;
    std::string answer;
    bool binary;
    int result;
  } cases[] = {
      {"4 GB length", "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n\r\n", false, -6},
      {"body longer than its length",
       "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk100, false, -7},
      {"text beyond the buffer", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + Pattern(600000, 2), false, -7},
      {"body shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + Pattern(100, 4), true, -7},
      {"malformed status", "HTTP/1.1 2x0 OK\r\nContent-Length: 0\r\n\r\n", false, -6},
      {"status without a line end", "HTTP/1.1 200 OK", false, -6},
      {"redirect to https", "HTTP/1.1 302 Found\r\nLocation: https://hostile.example.jp/\r\nContent-Length: 0\r\n\r\n",
       false, -6},
      {"redirect outside the table",
       "HTTP/1.1 302 Found\r\nLocation: http://elsewhere.example.jp/\r\nContent-Length: 0\r\n\r\n", false, -6},
      {"redirect with a bad port",
       "HTTP/1.1 302 Found\r\nLocation: http://hostile.example.jp:99999/\r\nContent-Length: 0\r\n\r\n", false, -6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qv::test::TestServer server;
    qv::seams::MapHost("hostile.example.jp", 80, server.Port());
    ReadRequest(server);
    server.Send(c.answer).Close();
    server.Start();
    std::wstring watch = L"x";
    const auto start = Clock::now();
    EXPECT_EQ(http_.OpenURL(L"hostile.example.jp", L"/feed", L"", c.binary ? &watch : nullptr, 1), c.result);
    EXPECT_LT(Millis(start), 10000);  // no answer here waits for anything
    EXPECT_EQ(http_.buffer, nullptr);
    server.Finish(1000);
    EXPECT_EQ(server.Lines().size(), 6u);
  }
}

// A feed whose body trickles at 4 bytes a second (it would take 30 s, well
// inside the 60 s of wait steps) ends as a time-out at the platform's body
// deadline, here short ones set by the test; so does one whose headers never
// come.
//
//   GET /feed HTTP/1.1 ...              HTTP/1.1 200 OK
//                                       Content-Length: 120
//                                       (empty line)
//                                       <rss   (4 bytes a second)
TEST_F(RssHttpTest, ASlowServerEndsAtItsDeadline) {
  qv::seams::SetNetworkWait(100, 600);
  qv::seams::SetInetDeadlines(2000, 1000, 1000, 3000);
  for (bool headers : {true, false}) {
    SCOPED_TRACE(headers ? "the body trickles" : "no header comes");
    qv::test::TestServer server;
    qv::seams::MapHost("hostile.example.jp", 80, server.Port());
    ReadRequest(server);
    if (headers) {
      server.Send("HTTP/1.1 200 OK\r\nContent-Length: 120\r\n\r\n");
      for (int i = 0; i < 30; ++i) server.Send("<rss").Pause(1000);
    } else {
      server.Stall();
    }
    server.Start();
    const auto start = Clock::now();
    EXPECT_EQ(http_.OpenURL(L"hostile.example.jp", L"/feed", L"", nullptr, 0), -8);
    // Far below the trickle's 30 s, far above the deadlines.
    EXPECT_LT(Millis(start), 15000);
    EXPECT_EQ(http_.buffer, nullptr);
  }
}

// A worker that never ends is stopped and joined when the steps run out.
TEST_F(RssHttpTest, StepLimitWithoutConnection) {
  qv::seams::SetNetworkWait(50, 6);
  ReadRequest(server_);
  server_.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n0123456789").Stall();
  server_.Start();
  auto http = std::make_unique<RssHttp>(kAgent);
  const auto start = Clock::now();
  EXPECT_EQ(http->OpenURL(L"hostile.example.jp", L"/feed", L"", nullptr, 0), -8);
  const long elapsed = Millis(start);
  EXPECT_GE(elapsed, 6 * 50);
  // Far from what load can reach, far below the stall's own deadline (30 s).
  EXPECT_LT(elapsed, 10000);
  EXPECT_EQ(qv::seams::InetLiveObjects(), 0);
  http.reset();  // the worker wrote into its buffer: it must be gone now
}

TEST_F(RssHttpTest, LinkDropEndsTheWait) {
  constexpr DWORD kStep = 100;
  qv::seams::SetNetworkWait(kStep, 600);
  CONNMGR_CONNECTIONINFO info{};
  info.cbSize = sizeof info;
  HANDLE link = nullptr;
  DWORD status = 0;
  ASSERT_EQ(ConnMgrEstablishConnectionSync(&info, &link, 1000, &status), S_OK);
  ReadRequest(server_);
  server_.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n0123456789").Stall();
  server_.Start();
  Clock::time_point dropped;
  std::thread drop([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    dropped = Clock::now();
    qv::seams::SetConnMgrStatus(CONNMGR_STATUS_DISCONNECTED);
  });
  EXPECT_EQ(http_.OpenURL(link, L"hostile.example.jp", L"/feed", L"", nullptr, 0), -10);
  drop.join();
  // The server stalls for good: only the drop can have ended the wait.
  EXPECT_LT(Millis(dropped), 5000);
  EXPECT_EQ(http_.connection, link);
  EXPECT_EQ(qv::seams::InetLiveObjects(), 0);
  ConnMgrReleaseConnection(link, 0);
}

TEST_F(RssHttpTest, AbortWatchStopsASlowTransferAndTheNextOneWorks) {
  constexpr DWORD kStep = 100;
  qv::seams::SetNetworkWait(kStep, 600);
  peer_.PutFile("/slow/big.jpg", Pattern(1 << 20, 5));
  peer_.PutFile("/feed.xml", "<rss/>");
  std::wstring watch = L"http://feeds.example.jp/slow/big.jpg";
  Clock::time_point cleared;
  std::thread cancel([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cleared = Clock::now();
    watch.clear();
  });
  EXPECT_EQ(http_.OpenURL(L"feeds.example.jp", L"/slow/big.jpg", L"", &watch, static_cast<int>(watch.size())), -12);
  cancel.join();
  // The picture takes 64 s at the server's 16 KiB/s: only the watch can have
  // ended it.
  EXPECT_LT(Millis(cleared), 5000);
  EXPECT_EQ(http_.OpenURL(L"feeds.example.jp", L"/feed.xml", L"", nullptr, 0), 200);
  EXPECT_EQ(std::string(http_.buffer, http_.bufferLength), "<rss/>");
}

TEST(RssHttpText, EscapeAndAddParam) {
  RssHttp http(L"a");
  EXPECT_EQ(http.Escape(L"a b"), L"a%20b");
  EXPECT_EQ(http.Escape(L"?&=% <>\r\n"), L"%3F%26%3D%25%20%3C%3E%0D%0A");
  EXPECT_EQ(http.Escape(L"日本/#+"), L"日本/#+");
  std::wstring query;
  http.AddParam(query, L"mode", L"push");
  EXPECT_EQ(query, L"?mode=push");
  http.AddParam(query, L"q", L"a&b=c");
  EXPECT_EQ(query, L"?mode=push&q=a%26b%3Dc");
  std::wstring path = L"/feed.rdf";
  http.AddParam(path, L"k v", L"");
  EXPECT_EQ(path, L"/feed.rdf?k%20v=");
}

}  // namespace
