// What the receive benches share: a device root with the program's data
// folder, a dovecot mailbox of numbered mails, a fresh account per pass
// (every mail new to it), and the other clients run as programs against the
// same mailbox (mpop into a maildir). Every pass writes into a place of its
// own. Ratios matter, not absolute times.
#pragma once

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/QvRASController.h"
#include "engine/public/transport/QvRetriever.h"
#include "platform/kernel/Files.h"
#include "platform/registry/Registry.h"
#include "platform/testing/Seams.h"
#include "tests/support/DovecotPeer.h"

namespace bench_receive {

constexpr int kSmall = 1000;
constexpr int kLarge = 20;
constexpr int kMessages = kSmall + kLarge;

struct Root : BenchDeviceRoot {
  explicit Root(const char* name) : BenchDeviceRoot(name) {
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(L"\\Application Data\\QuvoMail", nullptr);
    // Through the platform's registry: the program's benches link the
    // engine as the program does, without its inner helpers.
    const std::wstring data = L"\\Application Data\\QuvoMail\\";
    HKEY key = nullptr;
    DWORD disposition = 0;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", 0, nullptr, 0, 0, nullptr, &key, &disposition);
    RegSetValueExW(key, L"DataPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(2 * (data.size() + 1)));
    RegCloseKey(key);
  }
};
// The program's one root, named by the first caller.
inline Root& TheRoot(const char* name = "receive") {
  static Root root(name);
  return root;
}

inline std::string MakeMessage(int number, const std::string& kind, size_t size) {
  std::string text = "Date: Tue, 01 Dec 2026 09:00:00 +0900\r\nFrom: sender@example.com\r\nTo: bench@example.com\r\n"
                     "Subject: " + kind + " message " + std::to_string(number) + "\r\n\r\n";
  for (int line = 0; text.size() < size; ++line) {
    text += line % 17 == 0 ? "." : "x";
    text += std::string(73, static_cast<char>('a' + line % 26)) + "\r\n";
  }
  return text;
}

struct Mailbox {
  explicit Mailbox(bool smallOnly) : count(smallOnly ? kSmall : kMessages) {
    if (!peer.Ready()) {
      std::fprintf(stderr, "dovecot: %s\n", peer.Error().c_str());
      std::abort();
    }
    user = peer.NewMailbox();
    for (int i = 1; i <= count; ++i) {
      peer.AddMessage(user, i <= kSmall ? MakeMessage(i, "small", 4 << 10) : MakeMessage(i, "large", 2 << 20));
    }
  }
  qv::test::DovecotPeer& peer = qv::test::DovecotPeer::Shared();
  std::string user;
  int count;
};
// 1,000 mails of 4 KB and 20 of 2 MB.
inline Mailbox& TheMailbox() {
  static Mailbox box(false);
  return box;
}
// The 1,000 mails of 4 KB alone.
inline Mailbox& SmallMailbox() {
  static Mailbox box(true);
  return box;
}

inline std::string Scratch(const std::string& name) {
  const std::string dir = TheRoot().path() + "/" + name;
  std::filesystem::create_directories(dir);
  return dir;
}

inline void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0600) {
  std::ofstream(path, std::ios::binary) << text;
  chmod(path.c_str(), mode);
}

// CPU time (user and system) of this process or of its ended children, in
// microseconds: the counter "cpu_us/mail" compares the receive's own cost
// with a client run as a program.
inline double CpuMicros(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

// Every pass of every client writes into a place of its own, removed only at
// the end of the program: on ext4 without a journal, creating files right
// after thousands were deleted costs a scan of the deleted inodes per file,
// which would time the previous pass's clean-up rather than the client.
inline int NextPass() {
  static int pass = 0;
  return ++pass;
}

// Puts what the untimed set-up of a pass wrote (a fresh account's folders,
// a maildir, the server's own files) on the disk before the pass is timed:
// a client that flushes the volume before "QUIT" would otherwise pay for it.
inline void SettleDisk() { ::sync(); }

// A fresh account for each pass, so that every mail is new to it; with
// `password` it is saved in the account (a receive of the program asks for
// none then).
inline std::unique_ptr<QvAccountInfoInterface> FreshAccount(const Mailbox& box, bool tls,
                                                            const std::string& password = "",
                                                            std::wstring* accountName = nullptr) {
  const std::wstring name = L"Bench" + std::to_wstring(NextPass());
  if (accountName != nullptr) *accountName = name;
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::Create(name, L""));
  if (!account || !QvAccountCreator().CreateFolders(name)) return nullptr;
  QvAccountInfoInterface::Attributes s;
  s.strPopServerName = L"pop.example.com";
  s.uiPopServerPort = tls ? 995 : 110;
  s.strPopUserName = std::wstring(box.user.begin(), box.user.end());
  for (uint32_t bit : {s.kPopServerName, s.kPopServerPort, s.kPopUserName}) s.Select(bit);
  if (!password.empty()) {
    s.strPopPasswd = std::wstring(password.begin(), password.end());
    s.bPopPasswdSavingEnabled = true;
    s.Select(s.kPopPasswd);
    s.Select(s.kPopPasswdSavingEnabled);
  }
  if (!account->SetAccountInfoAttributes(s)) return nullptr;
  // A folder holds at most 1,000 messages: the large ones go below the box.
  s.Select(s.kJusinTrayID);
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::unique_ptr<QvFolderInterface> inbox(storage && account->GetAccountInfoAttributes(&s)
                                               ? storage->OpenFolder(s.ulJusinTrayID)
                                               : nullptr);
  std::vector<unsigned long> children;
  if (!inbox || !inbox->GetFolderIds(&children) || children.empty()) return nullptr;
  std::unique_ptr<QvClassificationParamInterface> rules(account->OpenClassificationParamInterface());
  if (!rules || !rules->SetAttributes({{L"large", L"件名", L"large", static_cast<uint32_t>(children[0]), 1, 0}})) {
    return nullptr;
  }
  // The message folders an account in use has, made untimed as mpop's
  // maildir is: the pass times delivery into a store, not its first fill.
  // The store's folder is the one creation names.
  std::wstring root;
  if (!QvAccountInfoInterface::GetAccountFolderPath(name, &root)) return nullptr;
  while (!root.empty() && root.back() == L'\\') root.pop_back();
  root += L"\\Storage";
  for (unsigned low = 0; low < 256; ++low) {
    wchar_t sub[8];
    swprintf(sub, 8, L"%02X", low);
    CreateDirectoryW((root + L"\\DATA\\" + sub).c_str(), nullptr);
  }
  return account;
}

// The engine's own retriever into a fresh account's store, plain or over TLS.
inline void Retrieve(benchmark::State& state, Mailbox& box, bool tls) {
  TheRoot();
  qv::seams::MapHost("pop.example.com", 110, box.peer.PlainPort());
  qv::seams::MapHost("pop.example.com", 995, box.peer.SecurePort());
  qv::seams::SetTrustedCaFile(box.peer.CaFile());
  QvRASController ras;
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto account = FreshAccount(box, tls);
    QvRetriever retriever;
    SettleDisk();
    const double before = CpuMicros(RUSAGE_SELF);
    state.ResumeTiming();
    const bool received = account && retriever.RetrieveMessages(account.get(), &ras, box.peer.Password());
    cpu += CpuMicros(RUSAGE_SELF) - before;
    if (!received) {
      static std::string why;
      why = "the run did not store every message: error word " + std::to_string(GetQvMiddleError()) +
            (account ? "" : " (no account)");
      state.SkipWithError(why.c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * box.count);
  state.counters["cpu_us/mail"] = cpu / static_cast<double>(state.iterations() * box.count);
}

// Runs another client's command once a pass, after `reset` (untimed) made
// every mail new to it again.
inline void RunClient(benchmark::State& state, int count, const std::string& command,
                      const std::function<void()>& reset, const char* failure) {
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    reset();
    SettleDisk();
    const double before = CpuMicros(RUSAGE_CHILDREN);
    state.ResumeTiming();
    const bool ran = std::system(command.c_str()) == 0;
    cpu += CpuMicros(RUSAGE_CHILDREN) - before;
    if (!ran) {
      state.SkipWithError(failure);
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["cpu_us/mail"] = cpu / static_cast<double>(state.iterations() * count);
}

// mpop into a maildir of the pass's own (its UID file removed each pass).
// With `startTls` it upgrades the plain port's session as the retriever
// must when the server offers it, so that both do the same work.
inline void RunMpop(benchmark::State& state, Mailbox& box, bool tls, const std::string& name, bool startTls = false) {
  const std::string dir = Scratch(name);
  const std::string config = dir + "/mpoprc", uidls = dir + "/uidls", maildirs = dir + "/maildir";
  const std::string security = tls        ? "tls on\ntls_starttls off\ntls_trust_file " + box.peer.CaFile() + "\n"
                               : startTls ? "tls on\ntls_starttls on\ntls_trust_file " + box.peer.CaFile() + "\n"
                                          : std::string("tls off\n");
  WriteFile(config, "defaults\n" + security + "auth user\nkeep on\nreceived_header off\nuidls_file " + uidls +
                        "\ndelivery maildir " + maildirs + "\naccount bench\nhost localhost\nport " +
                        std::to_string(tls ? box.peer.SecurePort() : box.peer.PlainPort()) + "\nuser " + box.user +
                        "\npassword " + box.peer.Password() + "\naccount default : bench\n");
  RunClient(
      state, box.count, "mpop -q -C " + config + " > " + dir + "/out.txt 2>&1",
      [&] {
        // The configured maildir is a link to this pass's own directory.
        const std::string maildir = maildirs + "." + std::to_string(NextPass());
        std::filesystem::remove(maildirs);
        std::filesystem::remove(uidls);
        for (const char* sub : {"/cur", "/new", "/tmp"}) std::filesystem::create_directories(maildir + sub);
        std::filesystem::create_directory_symlink(maildir, maildirs);
      },
      "mpop failed (see out.txt in the benchmark's root)");
}

}  // namespace bench_receive
