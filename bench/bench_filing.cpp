// Filing received mail beside what a user could do instead: a thousand
// received 4 KB mails decoded, matched against the account's rules, stored
// with their attributes and recorded in the receive history, beside the same
// mails delivered as maildir files with the same durability (each file's
// data synced, then the directory where its name appears, as often as the
// store syncs). The mails are filed as a receive files them: under one hold
// of the store's mutexes for 32 mails at a time (QvStoreBatch). The closing
// line gives the ratio; ratios matter, not times.
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "bench/BenchMaildir.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/store/QvStoreBatch.h"
#include "engine/public/transport/QvClassifier.h"
#include "platform/kernel/Files.h"

namespace {

constexpr uint32_t kMails = 1000;
constexpr size_t kMailBytes = 4096;
constexpr wchar_t kData[] = L"\\Application Data\\QuvoMail\\";
const char* const kSenders[4] = {"hanako@example.ne.jp", "boss@example.co.jp", "list@ml.example.org",
                                 "friend@example.com"};

std::string SampleMail(uint32_t n) {
  std::string mail = "Date: Tue, 01 Dec 2026 09:00:00 +0900\r\nFrom: " + std::string(kSenders[n % 4]) +
                     "\r\nTo: taro@example.co.jp\r\nSubject: test " + std::to_string(n) +
                     "\r\nx-ml-name: qvmail-dev\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n";
  while (mail.size() < kMailBytes - 2) mail += "The quick brown fox jumps over the lazy dog, line by line.\r\n";
  mail.resize(kMailBytes - 2);
  return mail + "\r\n";
}

struct Root : BenchDeviceRoot {
  Root() : BenchDeviceRoot("filing") {
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(kData, nullptr);
    SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"DataPath", kData);
  }
};

// A new account with its trays and three rules into the folders below the
// receive box; the fourth sender matches none.
std::unique_ptr<QvAccountInfoInterface> MakeAccount() {
  QvAccountCreator().CreateFolders(L"受信");
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"受信", L""));
  if (!account) return account;
  QvAccountInfoInterface::Attributes settings;
  settings.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  account->GetAccountInfoAttributes(&settings);
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::unique_ptr<QvFolderInterface> inbox(storage ? storage->OpenFolder(settings.ulJusinTrayID) : nullptr);
  std::vector<unsigned long> children;
  if (!inbox || !inbox->GetFolderIds(&children) || children.size() < 3) return nullptr;
  std::unique_ptr<QvClassificationParamInterface> rules(account->OpenClassificationParamInterface());
  rules->SetAttributes({{L"家族", L"From", L"HANAKO", static_cast<uint32_t>(children[0]), 1, 0},
                        {L"仕事", L"From", L"boss@", static_cast<uint32_t>(children[1]), 3, 0},
                        {L"ML", L"X-ML-name", L"none", static_cast<uint32_t>(children[2]), 1, 0},
                        {L"ML2", L"件名", L"test 9", static_cast<uint32_t>(children[2]), 1, 0}});
  return account;
}

void File1000_Classifier(benchmark::State& state) {
  std::vector<std::string> mails;
  for (uint32_t n = 0; n < kMails; ++n) mails.push_back(SampleMail(n));
  for (auto _ : state) {
    state.PauseTiming();
    {
      Root root;
      auto account = MakeAccount();
      if (!account) state.SkipWithError("account");
      std::vector<std::string> work = mails;
      state.ResumeTiming();
      QvClassifier classifier;
      std::optional<QvStoreBatch> batch;
      for (size_t i = 0; i < work.size(); ++i) {
        if (i % 32 == 0) batch.emplace();
        if (!classifier.SaveToFolder(work[i], "UID", false, account.get())) state.SkipWithError("file");
      }
      batch.reset();
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}
BENCHMARK(File1000_Classifier)->Unit(benchmark::kMillisecond)->Iterations(1);

// Maildir delivery into one of four folders, as the rules spread the mail.
void File1000_Maildir(benchmark::State& state) {
  std::vector<std::string> mails;
  for (uint32_t n = 0; n < kMails; ++n) mails.push_back(SampleMail(n));
  DeliverToMaildir<Root>(state, mails, 4);
}
BENCHMARK(File1000_Maildir)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return RunWithRatio(argc, argv, "File1000_Classifier/iterations:1", "File1000_Maildir/iterations:1",
                      "filing / maildir delivery (1,000 received mails of 4 KB)");
}
