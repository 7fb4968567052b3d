#include "engine/transport/PopBeforeSmtp.h"

#include "engine/public/foundation/QvMiddleError.h"

namespace {

// A POP3 failure as the SMTP session reports it. The "-ERR" to "QUIT" comes
// after the login went through: the server knows the address by then.
uint32_t SmtpCode(uint32_t pop) {
  switch (pop) {
    case 0:
    case QVMDL_ERR_POP_QUIT:
      return 0;
    case QVMDL_ERR_POP_CONNECT:
      return QVMDL_ERR_SMTP_POP_CONNECT;
    case QVMDL_ERR_POP_LOGIN:
    case QVMDL_ERR_POP_NO_TIMESTAMP:
      return QVMDL_ERR_SMTP_AUTH;
    case QVMDL_ERR_POP_NO_NETWORK:
      // No socket, or no secure one: "STLS" offered, then refused or failed.
      return QVMDL_ERR_SMTP_NO_NETWORK;
    case QVMDL_ERR_POP_CANCELLED:
    case QVMDL_ERR_POP_ABORTED:
      return QVMDL_ERR_SMTP_CANCELLED;
    case QVMDL_ERR_POP_TIMEOUT:
      return QVMDL_ERR_SMTP_TIMEOUT;
    case QVMDL_ERR_POP_NO_THREAD:
      return QVMDL_ERR_SMTP_NO_THREAD;
    case QVMDL_ERR_POP_SOCKET:
      return QVMDL_ERR_SMTP_SOCKET;
    case QVMDL_ERR_NET_LINK_LOST:
      return QVMDL_ERR_NET_LINK_LOST;
    default:
      return QVMDL_ERR_SMTP_UNEXPECTED;
  }
}

}  // namespace

PopBeforeSmtp::PopBeforeSmtp() { client_.registerNotifyPop(this); }

void PopBeforeSmtp::SetAccount(const MailAccount& account, void* connection) {
  account_ = MailAccount{};
  account_.popServerName = account.popServerName;
  account_.popPort = account.popPort;
  account_.popUserName = account.popUserName;
  account_.popPassword = account.popPassword;
  account_.apop = account.apop;
  connection_ = connection;
}

uint32_t PopBeforeSmtp::Login() {
  popError_ = 0;
  complete_ = false;
  client_.setAccount(&account_, connection_);
  client_.setPopMode(static_cast<int>(PopMode::LoginOnly));
  client_.newConnection();
  if (popError_) return SmtpCode(popError_);
  return complete_ ? 0 : static_cast<uint32_t>(QVMDL_ERR_SMTP_UNEXPECTED);
}

// The first failure decides; a cancel's own notice follows its error.
bool PopBeforeSmtp::notify(int message, long w, long /*l*/) {
  if (message == PopClient::MSG_PopErrorOccured && !popError_) popError_ = static_cast<uint32_t>(w);
  if (message == PopClient::MSG_PopComplete) complete_ = true;
  return true;
}
