// Receiving end to end: QvRetriever fetching a dovecot mailbox of 1,000 mails
// of 4 KB and 20 of 2 MB over loopback into the account's store (filed,
// indexed, UIDs journalled), beside mpop delivering the same mailbox into a
// maildir and fetchmail handing each mail to an MDA that appends it to an
// mbox; plain POP3 and POP3 over TLS. The "small" passes fetch a mailbox of
// the 1,000 small mails alone from the plain port, where the cost per mail of
// the receive itself shows; the retriever upgrades that session with STLS
// (the peer offers it), and mpop runs both plain and upgraded. Ratios matter,
// not absolute times. "SessionOnlySmall" runs the retriever's POP3 session
// alone, every mail dropped as it comes: the share of a pass that no store,
// however cheap, can take away (the server's start of a session and its rate
// of serving), against which the other passes are read.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchReceive.h"
#include "engine/public/transport/PopClient.h"
#include "platform/net/ConnMgr.h"

namespace {

using namespace bench_receive;

constexpr int kIterations = 3;

void Retriever(benchmark::State& state) {
  TheRoot("retriever");
  Retrieve(state, TheMailbox(), state.range(0) != 0);
}
BENCHMARK(Retriever)->ArgName("tls")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations);

void RetrieverSmall(benchmark::State& state) { Retrieve(state, SmallMailbox(), false); }
BENCHMARK(RetrieverSmall)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations);

// The same session (STLS, login, UID list, pipelined fetches) with nothing
// stored: each mail is taken from the session and dropped.
class Dropper : public PopClient::NotifyPop {
 public:
  explicit Dropper(PopClient* client) : client_(client) {}
  bool notify(int message, long, long) override {
    if (message == PopClient::MSG_PopErrorOccured || message == PopClient::MSG_PopAborted) failed = true;
    if (message > PopClient::MSG_PopNewHeader) return true;
    std::string text, uid;
    client_->getMail(&text, &uid);
    dropped += !text.empty() && !uid.empty();
    return true;
  }
  int dropped = 0;
  bool failed = false;

 private:
  PopClient* client_;
};

void SessionOnlySmall(benchmark::State& state) {
  Mailbox& box = SmallMailbox();
  TheRoot();
  qv::seams::MapHost("pop.example.com", 110, box.peer.PlainPort());
  qv::seams::SetTrustedCaFile(box.peer.CaFile());
  CONNMGR_CONNECTIONINFO info{};
  info.cbSize = sizeof info;
  HANDLE connection = nullptr;
  DWORD status = 0;
  if (ConnMgrEstablishConnectionSync(&info, &connection, 1000, &status) != S_OK) {
    state.SkipWithError("no data connection");
    return;
  }
  MailAccount account;
  account.popServerName = L"pop.example.com";
  account.popUserName = std::wstring(box.user.begin(), box.user.end());
  account.popPassword = std::wstring(box.peer.Password().begin(), box.peer.Password().end());
  double cpu = 0;
  for (auto _ : state) {
    PopClient client;  // knows no UID: every mail is new to it
    Dropper dropper(&client);
    state.PauseTiming();
    SettleDisk();
    state.ResumeTiming();
    const double before = CpuMicros(RUSAGE_SELF);
    client.registerNotifyPop(&dropper);
    client.setAccount(&account, connection);
    client.setPopMode(0);
    client.newConnection();
    cpu += CpuMicros(RUSAGE_SELF) - before;
    if (dropper.failed || dropper.dropped != box.count) {
      state.SkipWithError("the session did not hand over every message");
      break;
    }
  }
  ConnMgrReleaseConnection(connection, 0);
  state.SetItemsProcessed(state.iterations() * box.count);
  state.counters["cpu_us/mail"] = cpu / static_cast<double>(state.iterations() * box.count);
}
BENCHMARK(SessionOnlySmall)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations);

void Mpop(benchmark::State& state) {
  const bool tls = state.range(0) != 0;
  RunMpop(state, TheMailbox(), tls, tls ? "mpop-tls" : "mpop");
}
BENCHMARK(Mpop)->ArgName("tls")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations);

// 0: plain POP3; 1: the plain port upgraded with STLS, as the retriever
// does whenever the server offers it.
void MpopSmall(benchmark::State& state) {
  const bool startTls = state.range(0) != 0;
  RunMpop(state, SmallMailbox(), false, startTls ? "mpop-small-stls" : "mpop-small", startTls);
}
BENCHMARK(MpopSmall)->ArgName("stls")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations);

// fetchmail handing each mail to an MDA (its UID file removed each pass).
void Fetchmail(benchmark::State& state) {
  const bool tls = state.range(0) != 0;
  Mailbox& box = TheMailbox();
  const std::string dir = Scratch(tls ? "fetchmail-tls" : "fetchmail");
  const std::string config = dir + "/fetchmailrc", ids = dir + "/fetchids", mbox = dir + "/mbox";
  const std::string security = tls ? " ssl sslcertfile " + box.peer.CaFile() + " sslcertck" : " sslproto ''";
  WriteFile(config,
            "poll localhost service " + std::to_string(tls ? box.peer.SecurePort() : box.peer.PlainPort()) +
                " protocol pop3 uidl user \"" + box.user + "\" password \"" + box.peer.Password() +
                "\" keep fetchall no rewrite mda \"cat >> " + mbox + "\"" + security + "\n",
            0700);
  RunClient(
      state, kMessages, "FETCHMAILHOME=" + dir + " fetchmail -s -f " + config + " -i " + ids + " > " + dir + "/out.txt 2>&1",
      [&] {
        std::filesystem::remove(mbox);
        std::filesystem::remove(ids);
      },
      "fetchmail failed (see out.txt in the benchmark's root)");
}
BENCHMARK(Fetchmail)->ArgName("tls")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations);

}  // namespace

BENCHMARK_MAIN();
