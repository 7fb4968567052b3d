// The retriever's one HTTP fetch for a feed account. It lives with the feed
// client because it drives one, and the feeds stand above transport; the rest
// of QvRetriever is in engine/transport.
#include <memory>
#include <new>
#include <string>

#include "engine/public/feeds/RssClient.h"
#include "engine/feeds/src/RssClientCodes.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/QvRetriever.h"

int QvRetriever::HttpReceive(QvAccountInfoInterface* account, std::wstring* url, std::wstring* result, bool flag) {
  if (!CheckAccountInfoInterface(account)) return feeds::kErrFetchSetup;
  std::unique_ptr<QvRASController> ras(new (std::nothrow) QvRASController);
  if (!ras) return feeds::kErrFetchSetup;
  long status = 0;
  void* connection = ras->EstablishConnection(&status, account);
  if (connection == nullptr) {
    SetQvMiddleError(QVMDL_ERR_RECV_NO_CONNECTION);
    return feeds::kErrFetchSetup;
  }
  // The fetch borrows the run's account and record; a later mail run must
  // find them, and the carrier-account flag, as they were.
  QvAccountInfoInterface* const keptAccount = account_;
  const Kind keptKind = kind_;
  const bool keptTAccount = tAccount_;
  const bool keptAutoRetrieval = autoRetrieval_;
  const QvAccountInfoInterface::Attributes keptSettings = settings_;
  MailAccount keptRecord = record_;
  account_ = account;
  int code = feeds::kErrFetchSetup;
  if (setMailAccount(std::wstring())) {
    // Held in this block: the client goes before the controller whose
    // connection it used (the controller's end releases that connection).
    std::unique_ptr<RssClient> client(new (std::nothrow) RssClient);
    if (client) {
      client->setAccount(&record_, connection);
      code = client->HttpReceive(url, result, flag);
    }
  }
  account_ = keptAccount;
  kind_ = keptKind;
  tAccount_ = keptTAccount;
  autoRetrieval_ = keptAutoRetrieval;
  settings_ = keptSettings;
  record_ = std::move(keptRecord);
  return code;
}
