// Shared set-up of the socket tests: a fresh device root and seams, Winsock
// started, and small helpers over the Win32-shaped calls.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/net/SecureSocket.h"
#include "platform/net/Winsock.h"
#include "platform/testing/Seams.h"
#include "tests/support/DeviceRootFixture.h"

namespace qv::test {

class NetTest : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  }
  void TearDown() override {
    for (SOCKET s : open_) closesocket(s);
    WSACleanup();
    DeviceRootTest::TearDown();
  }

  SOCKET NewSocket() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, INVALID_SOCKET);
    open_.push_back(s);
    return s;
  }

  // Looks `host` up as the clients do (dotted address, else gethostbyname)
  // and connects; the WSA error, or 0.
  static int Connect(SOCKET s, const char* host, WORD port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = inet_addr(host);
    if (sa.sin_addr.s_addr == INADDR_NONE) {
      hostent* h = gethostbyname(host);
      if (!h) return WSAGetLastError();
      sa.sin_addr = *reinterpret_cast<in_addr*>(h->h_addr);
    }
    return connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? 0 : WSAGetLastError();
  }

  static void MakeSecure(SOCKET s, SSLVALIDATECERTFUNC hook, void* argument, bool deferred = false) {
    DWORD on = SO_SEC_SSL;
    ASSERT_EQ(setsockopt(s, SOL_SOCKET, SO_SECURE, reinterpret_cast<char*>(&on), sizeof on), 0);
    if (hook) {
      SSLVALIDATECERTHOOK h = {hook, argument};
      DWORD n = 0;
      ASSERT_EQ(WSAIoctl(s, SO_SSL_SET_VALIDATE_CERT_HOOK, &h, sizeof h, nullptr, 0, &n, nullptr, nullptr), 0);
    }
    if (deferred) {
      DWORD flags = SSL_FLAG_DEFER_HANDSHAKE;
      DWORD n = 0;
      ASSERT_EQ(WSAIoctl(s, SO_SSL_SET_FLAGS, &flags, sizeof flags, nullptr, 0, &n, nullptr, nullptr), 0);
    }
  }

  static bool SendText(SOCKET s, const std::string& text) {
    return send(s, text.data(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size());
  }

  // Reads until `text` holds a "\n" (or the end); what came.
  static std::string RecvLine(SOCKET s) {
    std::string text;
    char chunk[512];
    while (text.find('\n') == std::string::npos) {
      const int n = recv(s, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      text.append(chunk, static_cast<size_t>(n));
    }
    return text;
  }

  static long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
  }

  std::vector<SOCKET> open_;
};

}  // namespace qv::test
