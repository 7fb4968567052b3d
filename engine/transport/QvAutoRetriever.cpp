#include "engine/public/transport/QvAutoRetriever.h"

#include <memory>
#include <string>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvSystemInfoInterface.h"
#include "engine/public/transport/QvRetriever.h"
#include "platform/kernel/Debug.h"

// A stop from the making on ends the first wait, however soon it comes.
QvAutoRetriever::QvAutoRetriever() : retriever_(new QvRetriever) { retriever_->ExpectRun(); }

QvAutoRetriever::~QvAutoRetriever() { delete retriever_; }

bool QvAutoRetriever::StartWaiting(QvRASController* ras) {
  NKDbgPrintfW(L"QvAutoRetriever::StartWaiting() --- TOP\r\n");
  std::wstring name;
  if (!QvSystemInfoInterface::GetTAccount(name) || name.empty()) {
    SetQvMiddleError(QVMDL_ERR_RECV_NO_CARRIER_ACCOUNT);
    return false;
  }
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  if (!account) return false;
  retriever_->SetTAccountMode();
  const bool result = retriever_->RetrieveMessages(account.get(), ras, std::string());
  account.reset();
  retriever_->CancelTAccountMode();
  NKDbgPrintfW(L"QvAutoRetriever::StartWaiting() --- END\r\n");
  return result;
}

bool QvAutoRetriever::StopWaiting() {
  retriever_->CancelRetrieveMessages();
  return true;
}
