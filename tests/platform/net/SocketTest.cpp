// Plain sockets against the scripted server: the host table, waits with
// deadlines, cancel from another thread, dropped peers and the WSA codes.
#include <signal.h>

#include <atomic>
#include <thread>

#include "tests/platform/net/NetTestSupport.h"
#include "tests/support/TestServer.h"

namespace qv::test {
namespace {

using Sockets = NetTest;

TEST_F(Sockets, HostTableSendsTheDevicePortToTheTestServer) {
  // Wire:  S: +OK ready   C: USER me   S: +OK send PASS   (server closes)
  TestServer server;
  server.Send("+OK ready\r\n").ExpectLine("USER me").Send("+OK send PASS\r\n").Close();
  server.Start();
  seams::MapHost("Pop.Example.com", 110, server.Port());

  hostent* h = gethostbyname("pop.example.COM");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->h_addrtype, AF_INET);
  EXPECT_EQ(h->h_length, 4);
  EXPECT_EQ(h->h_addr_list[1], nullptr);

  SOCKET s = NewSocket();
  ASSERT_EQ(Connect(s, "pop.example.com", 110), 0);
  EXPECT_EQ(RecvLine(s), "+OK ready\r\n");
  ASSERT_TRUE(SendText(s, "USER me\r\n"));
  EXPECT_EQ(RecvLine(s), "+OK send PASS\r\n");
  char c;
  EXPECT_EQ(recv(s, &c, 1, 0), 0);  // orderly end
  EXPECT_TRUE(server.Finish()) << server.Error();
}

TEST_F(Sockets, HostTableRefusesOtherPortsAndUnknownNames) {
  TestServer server;
  seams::MapHost("pop.example.com", 995, server.Port());
  SOCKET s = NewSocket();
  EXPECT_EQ(Connect(s, "pop.example.com", 110), WSAECONNREFUSED);
  EXPECT_EQ(gethostbyname("elsewhere.example.net"), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  addrinfo* info = nullptr;
  EXPECT_EQ(getaddrinfo("elsewhere.example.net", "110", nullptr, &info), WSAHOST_NOT_FOUND);
  EXPECT_EQ(info, nullptr);
  // A dotted address still resolves to itself.
  hostent* h = gethostbyname("127.0.0.1");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(reinterpret_cast<in_addr*>(h->h_addr)->s_addr, htonl(INADDR_LOOPBACK));
}

TEST_F(Sockets, GetaddrinfoGivesThePortAndTheMappedAddress) {
  TestServer server;
  server.Send("220 hi\r\n").Close();
  server.Start();
  seams::MapHost("smtp.example.com", 587, server.Port());
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* info = nullptr;
  ASSERT_EQ(getaddrinfo("smtp.example.com", "587", &hints, &info), 0);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(reinterpret_cast<sockaddr_in*>(info->ai_addr)->sin_port, htons(587));
  SOCKET s = NewSocket();
  ASSERT_EQ(connect(s, info->ai_addr, static_cast<int>(info->ai_addrlen)), 0);
  freeaddrinfo(info);
  EXPECT_EQ(RecvLine(s), "220 hi\r\n");
  EXPECT_TRUE(server.Finish()) << server.Error();
}

TEST_F(Sockets, DottedAddressForms) {
  EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7f000001));
  EXPECT_EQ(inet_addr("127.1"), htonl(0x7f000001));
  EXPECT_EQ(inet_addr("0x7f.0.0.010"), htonl(0x7f000008));
  EXPECT_EQ(inet_addr("10.1.2.3"), htonl(0x0a010203));
  EXPECT_EQ(inet_addr(""), INADDR_NONE);
  EXPECT_EQ(inet_addr("1.2.3.4 evil"), INADDR_NONE);
  EXPECT_EQ(inet_addr("256.1.1.1"), INADDR_NONE);
  EXPECT_EQ(inet_addr("mail.example.com"), INADDR_NONE);
  in_addr a{};
  a.s_addr = htonl(0xc0a80102);
  EXPECT_STREQ(inet_ntoa(a), "192.168.1.2");
  EXPECT_EQ(htons(0x1234), 0x3412);
  EXPECT_EQ(ntohl(htonl(0x01020304)), 0x01020304u);
}

TEST_F(Sockets, ErrorCodes) {
  WSADATA data;
  EXPECT_EQ(WSAStartup(MAKEWORD(0, 1), &data), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
  WSACleanup();

  EXPECT_EQ(socket(AF_INET, SOCK_DGRAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAESOCKTNOSUPPORT);
  EXPECT_EQ(socket(23, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);

  char c = 0;
  EXPECT_EQ(recv(12345, &c, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);

  SOCKET s = NewSocket();
  EXPECT_EQ(send(s, "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
  int v = 1;
  EXPECT_EQ(setsockopt(s, SOL_SOCKET, 0x4242, reinterpret_cast<char*>(&v), sizeof v), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
  int type = 0, len = sizeof type;
  ASSERT_EQ(getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len), 0);
  EXPECT_EQ(type, SOCK_STREAM);

  // A port nobody listens on: the server's port after it is gone.
  uint16_t port;
  {
    TestServer gone;
    port = gone.Port();
  }
  EXPECT_EQ(Connect(s, "127.0.0.1", port), WSAECONNREFUSED);

  // After the last cleanup nothing new may start.
  WSACleanup();
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(gethostbyname("localhost"), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
}

TEST_F(Sockets, InjectedFaultsFailTheNamedCallOnly) {
  WSADATA data;
  seams::InjectNetFault(seams::NetCall::Startup, WSASYSNOTREADY);
  EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), &data), WSASYSNOTREADY);
  seams::InjectNetFault(seams::NetCall::Socket, WSAEMFILE);
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEMFILE);
  SOCKET s = NewSocket();  // the fault was used up

  TestServer server;
  server.Send("+OK\r\n").Stall();
  server.Start();
  ASSERT_EQ(Connect(s, "127.0.0.1", server.Port()), 0);
  seams::InjectNetFault(seams::NetCall::Send, WSAECONNRESET);
  EXPECT_EQ(send(s, "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
  seams::InjectNetFault(seams::NetCall::Recv, WSAECONNABORTED);
  char buf[8];
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNABORTED);
  EXPECT_EQ(RecvLine(s), "+OK\r\n");
}

TEST_F(Sockets, ReceiveTimeoutEndsAWaitOnAStalledServer) {
  TestServer server;
  server.Stall();
  server.Start();
  SOCKET s = NewSocket();
  ASSERT_EQ(Connect(s, "127.0.0.1", server.Port()), 0);

  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval tv{0, 150000};
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(select(0, &readable, nullptr, nullptr, &tv), 0);
  EXPECT_FALSE(FD_ISSET(s, &readable));
  EXPECT_GE(ElapsedMs(t0), 140);

  DWORD ms = 200;
  ASSERT_EQ(setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&ms), sizeof ms), 0);
  char c;
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(recv(s, &c, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
  EXPECT_GE(ElapsedMs(t0), 190);
  EXPECT_LT(ElapsedMs(t0), 10000);
}

TEST_F(Sockets, WaitsWithoutLimitStillEndAfterTheClientsWholeWait) {
  TestServer server;
  server.Stall();
  server.Start();
  SOCKET s = NewSocket();
  ASSERT_EQ(Connect(s, "127.0.0.1", server.Port()), 0);
  seams::SetNetworkWait(20, 5);  // the clients give up after 100 ms; the socket after 200
  auto t0 = std::chrono::steady_clock::now();
  char c;
  EXPECT_EQ(recv(s, &c, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
  EXPECT_GE(ElapsedMs(t0), 190);
  EXPECT_LT(ElapsedMs(t0), 10000);
  fd_set r;
  FD_ZERO(&r);
  FD_SET(s, &r);
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(select(0, &r, nullptr, nullptr, nullptr), 0);
  EXPECT_GE(ElapsedMs(t0), 190);
}

TEST_F(Sockets, CloseFromAnotherThreadWakesABlockedRecvAndSelectAtOnce) {
  TestServer server;
  server.Stall();
  server.Start(2);
  SOCKET a = NewSocket(), b = NewSocket();
  ASSERT_EQ(Connect(a, "127.0.0.1", server.Port()), 0);
  ASSERT_EQ(Connect(b, "127.0.0.1", server.Port()), 0);

  std::atomic<int> recvResult{1}, recvError{0}, selectResult{1}, selectError{0};
  std::thread reader([&] {
    char c;
    recvResult = recv(a, &c, 1, 0);  // no time-out at all
    recvError = WSAGetLastError();
  });
  std::thread selector([&] {
    fd_set r;
    FD_ZERO(&r);
    FD_SET(b, &r);
    selectResult = select(0, &r, nullptr, nullptr, nullptr);
    selectError = WSAGetLastError();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(closesocket(a), 0);
  EXPECT_EQ(closesocket(b), 0);
  reader.join();
  selector.join();
  // These calls had no time limit at all: any prompt return is the wake-up.
  EXPECT_LT(ElapsedMs(t0), 5000);
  EXPECT_EQ(recvResult, SOCKET_ERROR);
  EXPECT_EQ(recvError, WSAEINTR);
  EXPECT_EQ(selectResult, SOCKET_ERROR);
  EXPECT_EQ(selectError, WSAEINTR);
  // The handle is gone.
  char c;
  EXPECT_EQ(recv(a, &c, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(Sockets, ResponseSplitByAPauseArrivesInTwoPieces) {
  TestServer server;
  server.Send("+OK 2 mess").Pause(200).Send("ages\r\n").Close();
  server.Start();
  SOCKET s = NewSocket();
  ASSERT_EQ(Connect(s, "127.0.0.1", server.Port()), 0);
  fd_set r;
  FD_ZERO(&r);
  FD_SET(s, &r);
  timeval tv{2, 0};
  ASSERT_EQ(select(0, &r, nullptr, nullptr, &tv), 1);
  ASSERT_TRUE(FD_ISSET(s, &r));
  char buf[64];
  int n = recv(s, buf, sizeof buf, 0);
  EXPECT_EQ(std::string(buf, n > 0 ? n : 0), "+OK 2 mess");
  n = recv(s, buf, sizeof buf, 0);
  EXPECT_EQ(std::string(buf, n > 0 ? n : 0), "ages\r\n");
  EXPECT_TRUE(server.Finish()) << server.Error();
}

TEST_F(Sockets, PeerDroppingMidLineEndsTheStreamWithoutMoreData) {
  TestServer server;
  server.Send("+OK partial li").Pause(200).Drop();
  server.Start();
  SOCKET s = NewSocket();
  ASSERT_EQ(Connect(s, "127.0.0.1", server.Port()), 0);
  char buf[64];
  const int n = recv(s, buf, sizeof buf, 0);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buf, n), "+OK partial li");
  const int end = recv(s, buf, sizeof buf, 0);
  EXPECT_TRUE(end == 0 || (end == SOCKET_ERROR && WSAGetLastError() == WSAECONNRESET)) << end;
  // Writing to the dropped peer fails with a code, and never raises SIGPIPE.
  struct sigaction old {};
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &dfl, &old);
  int result = 0;
  for (int i = 0; i < 20 && result != SOCKET_ERROR; ++i) result = send(s, "QUIT\r\n", 6, 0);
  sigaction(SIGPIPE, &old, nullptr);
  EXPECT_EQ(result, SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
}

TEST_F(Sockets, NonBlockingModeAndBytesWaiting) {
  TestServer server;
  server.Pause(150).Send("hello\r\n").Stall();
  server.Start();
  SOCKET s = NewSocket();
  ASSERT_EQ(Connect(s, "127.0.0.1", server.Port()), 0);
  u_long on = 1;
  ASSERT_EQ(ioctlsocket(s, static_cast<long>(FIONBIO), &on), 0);
  char buf[16];
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  fd_set r;
  FD_ZERO(&r);
  FD_SET(s, &r);
  timeval tv{2, 0};
  ASSERT_EQ(select(0, &r, nullptr, nullptr, &tv), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  u_long waiting = 0;
  ASSERT_EQ(ioctlsocket(s, static_cast<long>(FIONREAD), &waiting), 0);
  EXPECT_EQ(waiting, 7u);
  EXPECT_EQ(recv(s, buf, 5, MSG_PEEK), 5);
  EXPECT_EQ(recv(s, buf, sizeof buf, 0), 7);
  EXPECT_EQ(std::string(buf, 7), "hello\r\n");
}

}  // namespace
}  // namespace qv::test
