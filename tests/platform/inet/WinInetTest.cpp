// The WinINet subset: URL canonicalization, header queries, the checks on
// what reaches a request line, body caps, closing from another thread and
// the environment's proxy, against nginx and the scripted server.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>

#include "platform/inet/WinInet.h"
#include "platform/testing/Seams.h"
#include "tests/support/NginxPeer.h"
#include "tests/support/TestServer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Canon {
  const wchar_t* url;
  DWORD flags;
  const wchar_t* expected;  // null: fails with `error`
  DWORD error;
};

TEST(InternetCanonicalizeUrl, Cases) {
  const Canon cases[] = {
      {L"http://a.jp/x y", 0, L"http://a.jp/x%20y", 0},
      {L"  http://a.jp/x \t ", 0, L"http://a.jp/x", 0},
      {L"HTTP://a.jp/", 0, L"http://a.jp/", 0},
      {L"http://a.jp/a/./b/../c", 0, L"http://a.jp/a/c", 0},
      {L"http://a.jp/a/../../c/.", 0, L"http://a.jp/c/", 0},
      {L"http://a.jp/a/./b/../c", ICU_NO_META, L"http://a.jp/a/./b/../c", 0},
      {L"http://a.jp/%41", 0, L"http://a.jp/%41", 0},
      {L"http://a.jp/%41", ICU_ENCODE_PERCENT, L"http://a.jp/%2541", 0},
      {L"http://a.jp/%41%20", ICU_DECODE, L"http://a.jp/A%20", 0},
      {L"http://a.jp/%0D%0A", 0, L"http://a.jp/%0D%0A", 0},
      {L"http://a.jp/%0D%0A", ICU_DECODE, L"http://a.jp/%0D%0A", 0},
      {L"http://a.jp/%0D%0A", ICU_DECODE | ICU_NO_ENCODE, L"http://a.jp/\r\n", 0},
      {L"http://a.jp/a b?q=c d#f g", 0, L"http://a.jp/a%20b?q=c%20d#f%20g", 0},
      {L"http://a.jp/a b?q=c d ", ICU_BROWSER_MODE, L"http://a.jp/a%20b?q=c d ", 0},
      {L"http://a.jp/x/../y?a/../b", ICU_BROWSER_MODE, L"http://a.jp/y?a/../b", 0},
      {L"http://a.jp/日本", 0, L"http://a.jp/%93%FA%96%7B", 0},
      {L"http://a.jp/<a>|{b}\"^`\\", 0, L"http://a.jp/%3Ca%3E%7C%7Bb%7D%22%5E%60%5C", 0},
      {L"http://a.jp/<a b>", ICU_ENCODE_SPACES_ONLY, L"http://a.jp/<a%20b>", 0},
      {L"http://a.jp/<a b>", ICU_NO_ENCODE, L"http://a.jp/<a b>", 0},
      {L"mailto:a b@c.jp", 0, L"mailto:a%20b@c.jp", 0},
      {L"no scheme here", 0, nullptr, ERROR_INTERNET_INVALID_URL},
      {L":x", 0, nullptr, ERROR_INTERNET_INVALID_URL},
      {L"http://a.jp/😀", 0, nullptr, ERROR_BAD_PATHNAME},
      {L"http://a.jp/", 0x1, nullptr, ERROR_INVALID_PARAMETER},
  };
  for (const Canon& c : cases) {
    SCOPED_TRACE(testing::Message() << c.url << " flags " << std::hex << c.flags);
    wchar_t out[256] = {};
    DWORD size = 256;
    const BOOL ok = InternetCanonicalizeUrlW(c.url, out, &size, c.flags);
    if (c.expected == nullptr) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(GetLastError(), c.error);
      continue;
    }
    ASSERT_TRUE(ok) << GetLastError();
    EXPECT_EQ(std::wstring(out), c.expected);
    EXPECT_EQ(size, std::wcslen(c.expected));
  }
}

TEST(InternetCanonicalizeUrl, BufferSizesInCharacters) {
  DWORD size = 0;
  EXPECT_FALSE(InternetCanonicalizeUrlW(L"http://a.jp/x y", nullptr, &size, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 18u);  // "http://a.jp/x%20y" and the terminator
  wchar_t exact[18];
  size = 17;
  EXPECT_FALSE(InternetCanonicalizeUrlW(L"http://a.jp/x y", exact, &size, 0));
  EXPECT_EQ(size, 18u);
  EXPECT_TRUE(InternetCanonicalizeUrlW(L"http://a.jp/x y", exact, &size, 0));
  EXPECT_EQ(size, 17u);
  EXPECT_FALSE(InternetCanonicalizeUrlW(nullptr, exact, &size, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

class WinInetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qv::seams::ResetSeams();
    session_ = InternetOpenW(L"QvTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(session_, nullptr);
  }
  void TearDown() override {
    if (session_ != nullptr) InternetCloseHandle(session_);
    EXPECT_EQ(qv::seams::InetLiveObjects(), 0);
    qv::seams::ResetSeams();
  }
  // A sent GET of `path` on `host`, or null.
  HINTERNET Get(const wchar_t* host, const wchar_t* path, ULONGLONG maxBody = 0) {
    connect_ = InternetConnectW(session_, host, 0, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (connect_ == nullptr) return nullptr;
    HINTERNET request = HttpOpenRequestW(connect_, L"GET", path, nullptr, nullptr, nullptr, 0, 0);
    if (request == nullptr) return nullptr;
    if (maxBody != 0) HttpSetMaxBodyLength(request, maxBody);
    sendOk_ = HttpSendRequestW(request, nullptr, 0, nullptr, 0);
    sendError_ = GetLastError();
    return request;
  }
  void CloseRequest(HINTERNET request) {
    if (request != nullptr) InternetCloseHandle(request);
    if (connect_ != nullptr) InternetCloseHandle(connect_);
    connect_ = nullptr;
  }
  // The whole body, or the read's error as "error N".
  static std::string ReadAll(HINTERNET request) {
    std::string body;
    char chunk[4096];
    for (DWORD got = 0;;) {
      if (!InternetReadFile(request, chunk, sizeof chunk, &got)) return "error " + std::to_string(GetLastError());
      if (got == 0) return body;
      body.append(chunk, got);
    }
  }

  HINTERNET session_ = nullptr;
  HINTERNET connect_ = nullptr;
  BOOL sendOk_ = FALSE;
  DWORD sendError_ = 0;
};

TEST_F(WinInetTest, HeaderQueries) {
  //   HTTP/1.1 203 Non-Authoritative
  //   Content-Length: 3
  //   X-Twice: one
  //   X-Twice: two
  //   X-Folded: a
  //    b
  //   X-Big: 99999999999
  qv::test::TestServer server;
  server.ReadLine().ReadLine().ReadLine().ReadLine().ReadLine();
  server.Send("HTTP/1.1 203 Non-Authoritative\r\nContent-Length: 3\r\nX-Twice: one\r\nX-Twice: two\r\n"
              "X-Folded: a\r\n b\r\nX-Big: 99999999999\r\n\r\nabc")
      .Close();
  server.Start();
  qv::seams::MapHost("h.example.jp", 80, server.Port());
  HINTERNET request = Get(L"h.example.jp", L"/q");
  ASSERT_TRUE(sendOk_) << sendError_;

  auto text = [&](DWORD level, const wchar_t* custom = nullptr, DWORD* index = nullptr) -> std::wstring {
    WCHAR buffer[128] = {};
    if (custom != nullptr) std::wcscpy(buffer, custom);
    DWORD size = 128 * 2;  // 2 bytes a unit
    if (!HttpQueryInfoW(request, level, buffer, &size, index)) return L"error " + std::to_wstring(GetLastError());
    EXPECT_EQ(size, std::wcslen(buffer) * 2);
    return buffer;
  };
  auto number = [&](DWORD level, const wchar_t* custom = nullptr) -> long long {
    DWORD value[32] = {};
    if (custom != nullptr) std::wcscpy(reinterpret_cast<wchar_t*>(value), custom);
    DWORD size = sizeof(DWORD);
    if (!HttpQueryInfoW(request, level | HTTP_QUERY_FLAG_NUMBER, value, &size, nullptr)) return -static_cast<long long>(GetLastError());
    return value[0];
  };
  EXPECT_EQ(number(HTTP_QUERY_STATUS_CODE), 203);
  EXPECT_EQ(text(HTTP_QUERY_STATUS_CODE), L"203");
  EXPECT_EQ(text(HTTP_QUERY_STATUS_TEXT), L"Non-Authoritative");
  EXPECT_EQ(text(HTTP_QUERY_VERSION), L"HTTP/1.1");
  EXPECT_EQ(number(HTTP_QUERY_CONTENT_LENGTH), 3);
  EXPECT_EQ(text(HTTP_QUERY_CUSTOM, L"x-folded"), L"a b");
  EXPECT_EQ(number(HTTP_QUERY_CUSTOM, L"X-Big"), -ERROR_HTTP_INVALID_HEADER);
  EXPECT_EQ(text(HTTP_QUERY_CONTENT_TYPE), L"error " + std::to_wstring(ERROR_HTTP_HEADER_NOT_FOUND));
  EXPECT_EQ(text(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_SYSTEMTIME),
            L"error " + std::to_wstring(ERROR_HTTP_INVALID_QUERY_REQUEST));
  DWORD index = 0;
  EXPECT_EQ(text(HTTP_QUERY_CUSTOM, L"X-Twice", &index), L"one");
  EXPECT_EQ(text(HTTP_QUERY_CUSTOM, L"X-Twice", &index), L"two");
  EXPECT_EQ(text(HTTP_QUERY_CUSTOM, L"X-Twice", &index), L"error " + std::to_wstring(ERROR_HTTP_HEADER_NOT_FOUND));
  EXPECT_EQ(text(HTTP_QUERY_RAW_HEADERS_CRLF),
            L"HTTP/1.1 203 Non-Authoritative\r\nContent-Length: 3\r\nX-Twice: one\r\nX-Twice: two\r\n"
            L"X-Folded: a b\r\nX-Big: 99999999999\r\n\r\n");
  // "203" needs 4 units: 8 bytes.
  WCHAR small[4];
  DWORD size = 7;
  EXPECT_FALSE(HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, small, &size, nullptr));
  EXPECT_EQ(size, 8u);
  EXPECT_TRUE(HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, small, &size, nullptr));
  EXPECT_EQ(ReadAll(request), "abc");
  CloseRequest(request);
}

TEST_F(WinInetTest, NothingOutsideThePrintableRangeReachesTheWire) {
  HINTERNET connect = InternetConnectW(session_, L"a.example.jp", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  ASSERT_NE(connect, nullptr);
  for (const wchar_t* host : {L"a b.jp", L"a.jp\r\nX: 1", L"a.jp/x", L"", L"日本.jp"}) {
    EXPECT_EQ(InternetConnectW(session_, host, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr) << host;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INVALID_URL));
  }
  for (const wchar_t* path : {L"/a b", L"/a\r\nX: 1", L"/a\x7F", L"/a\t", L"/😀"}) {
    EXPECT_EQ(HttpOpenRequestW(connect, L"GET", path, nullptr, nullptr, nullptr, 0, 0), nullptr) << path;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INVALID_URL));
  }
  EXPECT_EQ(HttpOpenRequestW(connect, L"GET\r\n", L"/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  HINTERNET request = HttpOpenRequestW(connect, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0);
  ASSERT_NE(request, nullptr);
  EXPECT_FALSE(HttpSendRequestW(request, L"X-A: 1\r\nX-B: 2\nHost: evil", static_cast<DWORD>(-1), nullptr, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_INVALID_HEADER));
  InternetCloseHandle(request);
  InternetCloseHandle(connect);
}

TEST_F(WinInetTest, BodyCapsAndTheEnvironmentsProxy) {
  qv::test::NginxPeer& peer = qv::test::NginxPeer::Shared();
  ASSERT_TRUE(peer.Ready()) << peer.Error();
  peer.PutFile("/cap/1000.bin", std::string(1000, 'x'));
  peer.PutFile("/nolength/1000.bin", std::string(1000, 'y'));
  qv::seams::MapHost("cap.example.jp", 80, peer.Port());
  // A proxy the environment names must never see a request.
  qv::test::TestServer proxy;
  proxy.Stall();
  proxy.Start();
  const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.Port());
  ::setenv("http_proxy", proxyUrl.c_str(), 1);
  ::setenv("HTTP_PROXY", proxyUrl.c_str(), 1);
  struct Case {
    const wchar_t* path;
    ULONGLONG cap;
    bool sent;
    std::string body;
  } cases[] = {
      {L"/cap/1000.bin", 1000, true, std::string(1000, 'x')},
      {L"/cap/1000.bin", 999, false, ""},  // the announced length is refused at once
      {L"/nolength/1000.bin", 1000, true, std::string(1000, 'y')},
      {L"/nolength/1000.bin", 999, true, "error " + std::to_string(ERROR_INSUFFICIENT_BUFFER)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path << " cap " << c.cap);
    HINTERNET request = Get(L"cap.example.jp", c.path, c.cap);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(sendOk_, c.sent);
    if (c.sent) {
      EXPECT_EQ(ReadAll(request), c.body);
    } else {
      EXPECT_EQ(sendError_, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    }
    CloseRequest(request);
  }
  ::unsetenv("http_proxy");
  ::unsetenv("HTTP_PROXY");
  EXPECT_TRUE(proxy.Lines().empty());
}

// The body comes in the caller's pieces, whatever their size against
// libcurl's deliveries: every byte once, in order, then 0 at the end (and 0
// again after it).
TEST_F(WinInetTest, ReadsOfAnySizeGiveTheWholeBodyInOrder) {
  qv::test::NginxPeer& peer = qv::test::NginxPeer::Shared();
  ASSERT_TRUE(peer.Ready()) << peer.Error();
  std::string pattern(300000, '\0');
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  peer.PutFile("/order/body.bin", pattern);
  peer.PutFile("/nolength/order.bin", pattern);
  qv::seams::MapHost("order.example.jp", 80, peer.Port());
  for (const wchar_t* path : {L"/order/body.bin", L"/nolength/order.bin"}) {
    for (DWORD size : {1u, 7u, 1000u, 16384u, 16385u, 100000u, 400000u}) {
      SCOPED_TRACE(testing::Message() << path << " reads of " << size);
      HINTERNET request = Get(L"order.example.jp", path);
      ASSERT_TRUE(sendOk_) << sendError_;
      std::string body, chunk(size, '\0');
      DWORD got = 0;
      while (InternetReadFile(request, chunk.data(), size, &got) && got > 0) {
        ASSERT_LE(got, size);
        body.append(chunk.data(), got);
        if (size == 1 && body.size() == 50000) break;  // enough of a byte at a time
      }
      EXPECT_EQ(body, pattern.substr(0, body.size()));
      if (size != 1) {
        EXPECT_EQ(body.size(), pattern.size());
        EXPECT_TRUE(InternetReadFile(request, chunk.data(), size, &got));
        EXPECT_EQ(got, 0u);
      }
      CloseRequest(request);
    }
  }
}

// Every response has deadlines of its own, here short ones set by the test
// (headers 2 s; a body 1 s plus 1 ms a byte; 2 s without a byte). Each
// slow server below would hold the exchange for 50 s or more; a prompt one
// still passes.
//
//   GET /t HTTP/1.1                   HTTP/1.1 200 OK
//   Host: slow.example.jp             Content-Length: 400
//   ...                               (empty line)
//                                     abcd   (every 500 ms)
TEST_F(WinInetTest, DeadlinesEndSlowResponses) {
  qv::seams::SetInetDeadlines(2000, 1000, 1000, 2000);
  const std::string timeout = "error " + std::to_string(ERROR_INTERNET_TIMEOUT);
  auto trickle = [](qv::test::TestServer& s, const std::string& piece) {
    for (int i = 0; i < 100; ++i) s.Send(piece).Pause(500);
  };
  struct Case {
    const char* name;
    std::function<void(qv::test::TestServer&)> answer;
    bool sent;         // false: the send fails with the time-out
    std::string body;  // what the reads give
  } cases[] = {
      {"no header ever", [](qv::test::TestServer& s) { s.Stall(); }, false, ""},
      {"headers trickle",
       [&](qv::test::TestServer& s) {
         s.Send("HTTP/1.1 200 OK\r\n");
         trickle(s, "X-A: 1\r\n");
       },
       false, ""},
      {"a body of announced length trickles",
       [&](qv::test::TestServer& s) {
         s.Send("HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n");
         trickle(s, "abcd");
       },
       true, timeout},
      {"a chunked body trickles",
       [&](qv::test::TestServer& s) {
         s.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
         trickle(s, "4\r\nabcd\r\n");
       },
       true, timeout},
      {"a body stalls",
       [](qv::test::TestServer& s) {
         s.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n0123456789").Stall();
       },
       true, timeout},
      {"a prompt answer",
       [](qv::test::TestServer& s) {
         s.Send("HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + std::string(200000, 'z')).Close();
       },
       true, std::string(200000, 'z')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qv::test::TestServer server;
    server.ReadLine();
    c.answer(server);
    server.Start();
    qv::seams::MapHost("slow.example.jp", 80, server.Port());
    const Clock::time_point start = Clock::now();
    HINTERNET request = Get(L"slow.example.jp", L"/t");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(sendOk_, c.sent);
    if (c.sent) {
      EXPECT_EQ(ReadAll(request), c.body);
    } else {
      EXPECT_EQ(sendError_, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    }
    // Far below what the slow servers would take, far above the deadlines.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 15000);
    CloseRequest(request);
  }
}

TEST_F(WinInetTest, ClosingTheSessionCancelsAPendingRead) {
  qv::test::TestServer server;
  server.ReadLine().Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nab").Stall();
  server.Start();
  qv::seams::MapHost("stall.example.jp", 80, server.Port());
  HINTERNET request = Get(L"stall.example.jp", L"/");
  ASSERT_TRUE(sendOk_);
  Clock::time_point closed;
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    closed = Clock::now();
    InternetCloseHandle(session_);
  });
  EXPECT_EQ(ReadAll(request), "error " + std::to_string(ERROR_INTERNET_OPERATION_CANCELLED));
  closer.join();
  session_ = nullptr;
  // The server stalls for good: only the close can have ended the read (a
  // bound far from what load can reach, far below the stall's deadline).
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closed).count(), 5000);
  DWORD got = 0;
  char byte;
  EXPECT_FALSE(InternetReadFile(request, &byte, 1, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
  CloseRequest(request);
  EXPECT_FALSE(InternetReadFile(request, &byte, 1, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
