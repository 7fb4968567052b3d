// POP3 receive speed: PopClient fetching N new messages from a scripted POP3
// server on loopback, beside the least a user could write instead, a blocking
// socket loop that sends the same commands to the same server and unstuffs the
// same texts (no worker threads, no stepped waits, no bounds). Then the real
// peers: PopClient beside mpop (into a maildir) against the same dovecot, and
// SmtpClient, and the whole outgoing queue (Sender: the account's send box
// read, sent, filed into the sent box, recorded in the send history), beside
// msmtp (one process per message, as a user runs it) against the same
// postfix, with the same message files. Ratios matter, not absolute times.
//
// The server answers as dovecot does for a mailbox with no known UID:
//   S: +OK ready
//   C: USER bench       S: +OK
//   C: PASS secret      S: +OK Logged in.
//   C: UIDL             S: +OK / 1 uid00001 / ... / .
//   C: STAT             S: +OK n size
//   C: LIST k           S: +OK k size          (for each message k)
//   C: RETR k           S: +OK / text / .
//   C: UIDL n           S: +OK n uid0000n
//   C: QUIT             S: +OK Logging out.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "engine/public/content/RawEmail_S.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/PopClient.h"
#include "engine/public/transport/QvRASController.h"
#include "engine/public/transport/Sender.h"
#include "engine/public/transport/SmtpClient.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"
#include "platform/testing/Seams.h"
#include "tests/support/DovecotPeer.h"
#include "tests/support/PostfixPeer.h"

namespace {

constexpr int kMessages = 50;

// A device root of its own for the whole run (no protocol log file in it, so
// the client logs nothing, as on a device where the log is off).
struct Root : BenchDeviceRoot {
  Root() : BenchDeviceRoot("transport") {}
};
Root& TheRoot() {
  static Root root;
  return root;
}

// One message of about `size` bytes: headers, then 76-byte lines, some of
// them starting with a dot (stuffed on the wire).
std::string MakeMessage(int number, size_t size) {
  std::string text = "From: sender@example.com\r\nTo: bench@example.com\r\nSubject: message " +
                     std::to_string(number) + "\r\n\r\n";
  for (int line = 0; text.size() < size; ++line) {
    text += line % 17 == 0 ? "." : "x";
    text += std::string(73, static_cast<char>('a' + line % 26)) + "\r\n";
  }
  return text;
}

std::string Stuff(const std::string& text) {
  std::string out = text[0] == '.' ? "." : "";
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '.') out += '.';
  }
  return out;
}

// A POP3 server on a free loopback port serving one mailbox of kMessages
// messages, each connection in turn, until destroyed.
class ScriptedPop3 {
 public:
  explicit ScriptedPop3(size_t size) {
    for (int i = 1; i <= kMessages; ++i) {
      texts_.push_back(MakeMessage(i, size));
      wire_.push_back(Stuff(texts_.back()));
      total_ += texts_.back().size();
    }
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sa;
    if (bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(listen_, 8) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
      std::perror("bench_transport: listen");
      std::abort();
    }
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedPop3() {
    stop_ = true;
    thread_.join();
    close(listen_);
  }

  uint16_t Port() const { return port_; }
  const std::vector<std::string>& Texts() const { return texts_; }
  size_t TotalBytes() const { return total_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int fd = accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      Session(fd);
      close(fd);
    }
  }

  static bool Write(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  void Session(int fd) {
    std::string in;
    if (!Write(fd, "+OK ready\r\n")) return;
    char chunk[4096];
    for (;;) {
      size_t eol;
      while ((eol = in.find("\r\n")) == std::string::npos) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        in.append(chunk, static_cast<size_t>(n));
      }
      const std::string line = in.substr(0, eol);
      in.erase(0, eol + 2);
      if (!Write(fd, Answer(line)) || line == "QUIT") return;
    }
  }

  std::string Answer(const std::string& line) const {
    auto number = [&line](size_t at) { return static_cast<size_t>(std::atoi(line.c_str() + at)); };
    auto uid = [](size_t k) {
      char text[32];
      std::snprintf(text, sizeof text, "uid%05zu", k);
      return std::string(text);
    };
    if (line == "UIDL") {
      std::string out = "+OK\r\n";
      for (size_t k = 1; k <= texts_.size(); ++k) out += std::to_string(k) + " " + uid(k) + "\r\n";
      return out + ".\r\n";
    }
    if (line == "STAT") return "+OK " + std::to_string(texts_.size()) + " " + std::to_string(total_) + "\r\n";
    const size_t k = line.size() > 5 ? number(5) : 0;
    const bool inRange = k >= 1 && k <= texts_.size();
    if (line.rfind("UIDL ", 0) == 0 && inRange) return "+OK " + std::to_string(k) + " " + uid(k) + "\r\n";
    if (line.rfind("LIST ", 0) == 0 && inRange) {
      return "+OK " + std::to_string(k) + " " + std::to_string(texts_[k - 1].size()) + "\r\n";
    }
    if (line.rfind("RETR ", 0) == 0 && inRange) return "+OK\r\n" + wire_[k - 1] + ".\r\n";
    if (line == "QUIT") return "+OK Logging out.\r\n";
    if (line.rfind("USER ", 0) == 0 || line.rfind("PASS ", 0) == 0) return "+OK\r\n";
    return "-ERR unknown\r\n";
  }

  std::vector<std::string> texts_, wire_;
  size_t total_ = 0;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class Counter : public PopClient::NotifyPop {
 public:
  explicit Counter(PopClient* client) : client_(client) {}
  bool notify(int message, long w, long) override {
    if (message == PopClient::MSG_PopNewMessage) {
      std::string text;
      client_->getMail(&text, nullptr);
      bytes += text.size();
      ++mails;
    } else if (message == PopClient::MSG_PopErrorOccured) {
      error = w;
    }
    return true;
  }
  size_t mails = 0, bytes = 0;
  long error = 0;

 private:
  PopClient* client_;
};

// One whole session: connect, log in, fetch every message, quit; false
// unless `count` messages came (and `bytes` bytes, when given).
bool PopSession(MailAccount& account, size_t count, size_t bytes = 0) {
  PopClient client;
  Counter counter(&client);
  client.registerNotifyPop(&counter);
  client.setAccount(&account, nullptr);
  client.newConnection();
  return !counter.error && counter.mails == count && (bytes == 0 || counter.bytes == bytes);
}

// One whole session per iteration.
void Fetch50_PopClient(benchmark::State& state) {
  TheRoot();
  ScriptedPop3 server(static_cast<size_t>(state.range(0)));
  qv::seams::MapHost("pop.example.com", 110, server.Port());
  MailAccount account;
  account.popServerName = L"pop.example.com";
  account.popUserName = L"bench";
  account.popPassword = L"secret";
  for (auto _ : state) {
    if (!PopSession(account, kMessages, server.TotalBytes())) {
      state.SkipWithError("the session did not fetch every message");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * server.TotalBytes()));
}
BENCHMARK(Fetch50_PopClient)->Arg(4 << 10)->Arg(256 << 10)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same exchange with a blocking socket and nothing else.
class BareClient {
 public:
  explicit BareClient(uint16_t port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  }
  ~BareClient() { close(fd_); }

  // A status line, or with `multi` everything through the terminator.
  bool Read(bool multi) {
    reply_.clear();
    char chunk[65536];
    size_t from = 0;  // where the terminator search goes on
    for (;;) {
      const size_t eol = reply_.find("\r\n");
      if (eol != std::string::npos) {
        if (!multi || reply_[0] != '+') return reply_[0] == '+';
        if (reply_.find("\r\n.\r\n", std::max(from, eol)) != std::string::npos) return true;
        from = reply_.size() >= 4 ? reply_.size() - 4 : 0;
      }
      const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      reply_.append(chunk, static_cast<size_t>(n));
    }
  }
  bool Command(const std::string& line, bool multi) {
    const std::string bytes = line + "\r\n";
    return ok_ && send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size()) &&
           Read(multi);
  }
  // The text of a fetched message, unstuffed.
  std::string Text() const {
    const size_t start = reply_.find("\r\n") + 2;
    const size_t end = reply_.rfind("\r\n.\r\n") + 2;
    std::string out;
    out.reserve(end - start);
    size_t i = start;
    if (reply_.compare(i, 1, ".") == 0) ++i;
    while (i < end) {
      size_t next = reply_.find("\r\n.", i);
      if (next == std::string::npos || next >= end) next = end;
      out.append(reply_, i, std::min(next + 2, end) - i);
      i = next + 3;  // past the stuffed dot
    }
    return out;
  }
  bool Greeting() { return ok_ && Read(false); }

 private:
  int fd_ = -1;
  bool ok_ = false;
  std::string reply_;
};

void Fetch50_BareSocket(benchmark::State& state) {
  ScriptedPop3 server(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    BareClient client(server.Port());
    bool ok = client.Greeting() && client.Command("USER bench", false) && client.Command("PASS secret", false) &&
              client.Command("UIDL", true) && client.Command("STAT", false);
    size_t bytes = 0;
    for (int k = 1; ok && k <= kMessages; ++k) {
      ok = client.Command("LIST " + std::to_string(k), false) && client.Command("RETR " + std::to_string(k), true);
      if (ok) bytes += client.Text().size();
    }
    ok = ok && client.Command("UIDL " + std::to_string(kMessages), false) && client.Command("QUIT", false);
    if (!ok || bytes != server.TotalBytes()) {
      state.SkipWithError("the bare session failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * server.TotalBytes()));
}
BENCHMARK(Fetch50_BareSocket)->Arg(4 << 10)->Arg(256 << 10)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------- real peers

constexpr int kPeerMessages = 1000;  // POP3: 1,000 mails of 4 KB
constexpr int kSmtpMessages = 200;   // SMTP: 200 mails of 4 KB

// A folder of its own below the benchmark's root, for the other clients'
// configuration, maildir and message files.
std::string Scratch(const std::string& name) {
  const std::string dir = TheRoot().path() + "/" + name;
  std::filesystem::create_directories(dir);
  return dir;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  chmod(path.c_str(), 0600);
}

// A dovecot mailbox of kPeerMessages messages of 4 KB, filled once.
struct PopPeerBox {
  PopPeerBox() {
    peer.Ready() || (std::fprintf(stderr, "dovecot: %s\n", peer.Error().c_str()), std::abort(), false);
    user = peer.NewMailbox();
    for (int i = 1; i <= kPeerMessages; ++i) {
      const std::string text = MakeMessage(i, 4 << 10);
      peer.AddMessage(user, text);
      bytes += text.size();
    }
  }
  qv::test::DovecotPeer& peer = qv::test::DovecotPeer::Shared();
  std::string user;
  size_t bytes = 0;
};
PopPeerBox& ThePopBox() {
  static PopPeerBox box;
  return box;
}

void Dovecot1000_PopClient(benchmark::State& state) {
  TheRoot();
  PopPeerBox& box = ThePopBox();
  qv::seams::MapHost("pop.example.com", 110, box.peer.PlainPort());
  MailAccount account;
  account.popServerName = L"pop.example.com";
  account.popUserName = std::wstring(box.user.begin(), box.user.end());
  account.popPassword = std::wstring(box.peer.Password().begin(), box.peer.Password().end());
  for (auto _ : state) {
    if (!PopSession(account, kPeerMessages)) {
      state.SkipWithError("the session did not fetch every message");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPeerMessages);
}
BENCHMARK(Dovecot1000_PopClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// mpop fetching everything into a maildir (its UID file removed each time,
// so that every message is new to it, as to the client above).
void Dovecot1000_Mpop(benchmark::State& state) {
  PopPeerBox& box = ThePopBox();
  const std::string dir = Scratch("mpop");
  const std::string config = dir + "/mpoprc", uidls = dir + "/uidls", maildir = dir + "/maildir";
  WriteFile(config, "defaults\ntls off\nauth user\nkeep on\nreceived_header off\nuidls_file " + uidls +
                        "\ndelivery maildir " + maildir + "\naccount bench\nhost 127.0.0.1\nport " +
                        std::to_string(box.peer.PlainPort()) + "\nuser " + box.user + "\npassword " +
                        box.peer.Password() + "\naccount default : bench\n");
  const std::string command = "mpop -q -C " + config + " > " + dir + "/out.txt 2>&1";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(maildir);
    std::filesystem::remove(uidls);
    for (const char* sub : {"/cur", "/new", "/tmp"}) std::filesystem::create_directories(maildir + sub);
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("mpop failed (see out.txt in the benchmark's root)");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPeerMessages);
}
BENCHMARK(Dovecot1000_Mpop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same message files for both SMTP clients.
struct SmtpFiles {
  SmtpFiles() {
    peer.Ready() || (std::fprintf(stderr, "postfix: %s\n", peer.Error().c_str()), std::abort(), false);
    dir = Scratch("smtp");
    for (int i = 1; i <= kSmtpMessages; ++i) {
      texts.push_back(MakeMessage(i, 4 << 10));
      paths.push_back(dir + "/mail" + std::to_string(i) + ".eml");
      WriteFile(paths.back(), texts.back());
    }
  }
  qv::test::PostfixPeer& peer = qv::test::PostfixPeer::Shared();
  std::string dir;
  std::vector<std::string> texts, paths;
};
SmtpFiles& TheSmtpFiles() {
  static SmtpFiles files;
  return files;
}

class Accepted : public SmtpClient::NotifySmtp {
 public:
  void notify(int message, long w, long) override {
    if (message == 0) ++accepted;
    if (message == 1) error = w;
  }
  int accepted = 0;
  long error = 0;
};

// One session: the first message by newConnection, the rest by sendEmail.
void Postfix200_SmtpClient(benchmark::State& state) {
  TheRoot();
  SmtpFiles& files = TheSmtpFiles();
  qv::seams::MapHost("smtp.example.com", 25, files.peer.PlainPort());
  MailAccount account;
  account.senderAddress = L"me@example.com";
  account.smtpServerName = L"smtp.example.com";
  account.smtpPort = 25;
  for (auto _ : state) {
    state.PauseTiming();
    files.peer.ClearMail();
    std::vector<std::string> texts = files.texts;  // stuffed in place
    state.ResumeTiming();
    SmtpClient client;
    Accepted accepted;
    client.registerNotifySmtp(&accepted);
    client.setAccount(&account, nullptr);
    for (int i = 0; i < kSmtpMessages && !accepted.error; ++i) {
      RawEmail_S mail{"me@example.com", {"one@example.org"}, &texts[static_cast<size_t>(i)]};
      client.setMail(&mail);
      i == 0 ? client.newConnection() : client.sendEmail();
    }
    client.quit();
    if (accepted.error || accepted.accepted != kSmtpMessages) {
      state.SkipWithError("the session did not send every message");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kSmtpMessages);
}
BENCHMARK(Postfix200_SmtpClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// An account whose send box holds the same texts, on the same postfix.
struct SenderAccount {
  SenderAccount() {
    TheRoot();
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(L"\\Application Data\\QuvoMail\\", nullptr);
    SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"DataPath", L"\\Application Data\\QuvoMail\\");
    QvAccountCreator().CreateFolders(L"Bench");
    account.reset(QvAccountInfoInterface::OpenAccountInfo(L"Bench", L""));
    Settings s;
    for (auto bit : {Settings::kSenderAddress, Settings::kSmtpServerName, Settings::kSmtpServerPort,
                     Settings::kSousinTrayID, Settings::kSousinZumiTrayID}) {
      s.Select(bit);
    }
    s.strSenderAddress = L"me@example.com";
    s.strSmtpServerName = L"smtp.example.com";
    s.uiSmtpServerPort = 25;
    account->SetAccountInfoAttributes(s);
    s.Select(Settings::kSousinTrayID);
    s.Select(Settings::kSousinZumiTrayID);
    account->GetAccountInfoAttributes(&s);
    sendBox = s.ulSousinTrayID;
    sentBox = s.ulSousinZumiTrayID;
  }
  // Empties the sent box and queues every text again.
  bool Refill(const std::vector<std::string>& texts) {
    std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
    std::unique_ptr<QvFolderInterface> sent(storage ? storage->OpenFolder(sentBox) : nullptr);
    std::unique_ptr<QvFolderInterface> queue(storage ? storage->OpenFolder(sendBox) : nullptr);
    std::vector<unsigned long> ids;
    if (!sent || !queue || !sent->GetMessageIds(&ids) || (!ids.empty() && !sent->RemoveMessage(ids))) return false;
    for (const std::string& text : texts) {
      unsigned long id = 0;
      if (!queue->CreateMessage(&id, static_cast<unsigned long>(text.size()))) return false;
      std::unique_ptr<QvMessageInterface> message(queue->OpenMessage(id));
      if (!message || !message->Write(text)) return false;
    }
    return true;
  }
  using Settings = QvAccountInfoInterface::Attributes;
  std::unique_ptr<QvAccountInfoInterface> account;
  unsigned long sendBox = 0, sentBox = 0;
};

class SentCount : public Sender::Notify {
 public:
  void notify(int message, long, long) override { sent += message == 1 ? 1 : 0; }
  int sent = 0;
};

void Postfix200_Sender(benchmark::State& state) {
  SmtpFiles& files = TheSmtpFiles();
  static SenderAccount bench;
  qv::seams::MapHost("smtp.example.com", 25, files.peer.PlainPort());
  QvRASController ras;
  for (auto _ : state) {
    state.PauseTiming();
    files.peer.ClearMail();
    if (!bench.Refill(files.texts)) {
      state.SkipWithError("the send box could not be filled");
      break;
    }
    state.ResumeTiming();
    Sender sender;
    SentCount count;
    sender.RegisterNotify(&count);
    if (sender.SendMultiMail(bench.account.get(), &ras, L"") != 1 || count.sent != kSmtpMessages) {
      state.SkipWithError("the run did not send every message");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kSmtpMessages);
}
BENCHMARK(Postfix200_Sender)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// msmtp, one run per message file, as a user's script would send them.
void Postfix200_Msmtp(benchmark::State& state) {
  SmtpFiles& files = TheSmtpFiles();
  const std::string config = files.dir + "/msmtprc";
  WriteFile(config, "defaults\ntls off\nauth off\naccount bench\nhost 127.0.0.1\nport " +
                        std::to_string(files.peer.PlainPort()) +
                        "\nfrom me@example.com\naccount default : bench\n");
  for (auto _ : state) {
    state.PauseTiming();
    files.peer.ClearMail();
    state.ResumeTiming();
    for (const std::string& path : files.paths) {
      const std::string command = "msmtp -C " + config + " one@example.org < " + path;
      if (std::system(command.c_str()) != 0) {
        state.SkipWithError("msmtp failed");
        break;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kSmtpMessages);
}
BENCHMARK(Postfix200_Msmtp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
