// The outgoing-mail queue of one account: sends the messages waiting in the
// send box (all of them, or the ids given) over one SMTP session, and for
// each message the server accepts writes the send history, files a copy in
// the sent box (then where the sent-mail rules put it) and removes it from
// the send box. Runs on the caller's thread; Cancel may come from another.
//
// A message the server accepted never goes out again: when its copy cannot
// be filed, the original itself moves into the sent box, and when even that
// fails it stays in the send box marked (state kSentNotFiled) and later runs
// pass over it until the user saves it again.
//
// Observer messages (notify(message, w, l)):
//   0  code 0   the SMTP session failed for the current message
//   1  0    0   one message was sent, recorded and filed
//   2  code n   a queue failure (n: messages the limit could not remove)
//   3  0    0   the run is closing the SMTP session
//   4  1|2  0   connecting, connected
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/content/RawEmail_S.h"
#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/SmtpClient.h"

class MailHistory;
class QvAccountInfoInterface;
class QvClassifier;
class QvFolderInterface;
class QvRASController;
class QvStorageInterface;

class QVMIDDLE_API Sender {
 public:
  class Notify {
   public:
    virtual ~Notify() = default;
    virtual void notify(int message, long w, long l) = 0;
  };

  // The state byte of a send-box message that went out but could be neither
  // filed nor removed: runs pass over it (any rewrite by the user clears it).
  static constexpr uint8_t kSentNotFiled = 2;

  Sender();
  virtual ~Sender();
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;

  // One observer; null clears it, a second one is refused.
  bool RegisterNotify(Notify* observer);
  // 1 when the run ended well (an empty send box included), else 0; the
  // caller releases the connection through the controller.
  int SendMultiMail(QvAccountInfoInterface* account, QvRASController* ras, std::wstring password);
  int SendMultiMail(QvAccountInfoInterface* account, QvRASController* ras, std::vector<unsigned long>& ids,
                    std::wstring password);
  // From any thread: no further message starts; a session in progress is
  // cancelled. Returns 1.
  int Cancel();
  int Quit();

 private:
  // The SMTP client's notifications, forwarded to OnReceiveMessage.
  class SmtpAdaptor : public SmtpClient::NotifySmtp {
   public:
    explicit SmtpAdaptor(Sender* owner) : owner_(owner) {}
    void notify(int message, long w, long l) override { owner_->OnReceiveMessage(message, w, l); }

   private:
    Sender* owner_;
  };

  // How preparing one message came out.
  enum class Prepared { Ready, Skipped, Failed };

  int Run(QvAccountInfoInterface* account, QvRASController* ras, const std::vector<unsigned long>* ids,
          const std::wstring& password);
  int SendQueue();
  bool SetMailAccountinfo(const std::wstring& password);
  bool CheckFreeSpace(unsigned count);
  bool CheckSavesentmaildata();
  bool ConnectRas();
  Prepared CheckMakemaildata();
  uint32_t Makemaildata(unsigned long id);
  void SendMail();
  void StartsendMail();
  void SendNG();
  bool Savesentmaildata(unsigned long original);
  void WriteSendHistoryData();
  bool RemoveWaitfldmaildata(unsigned long id);
  bool MoveToSentBox(unsigned long id);
  bool MarkSentNotFiled(unsigned long id, unsigned long copy = 0);
  void ClearSentMark(unsigned long id);
  void SettleFiledCopies();
  static constexpr char kCopyMark[] = "sent-copy:";
  QvFolderInterface* SentBox();
  void OnReceiveMessage(int message, long w, long l);
  void Sender_Error(uint32_t code, long detail = 0);
  void Sentmail_Completed();
  void Sender_Statuschanged(long status);
  void Clearparameter();
  void CloseRun();
  unsigned long CurrentId() const { return queue_[position_]; }

  // The texts of the current message, each with this one owner: `text_` as
  // composed (the sent copy is filed from it), `wire_` the copy the SMTP
  // client dot-stuffs in place. Declared before the client, which keeps a
  // pointer to `wire_` until it is gone.
  std::string text_;
  std::string wire_;
  RawEmail_S mail_;
  MailAccount mailAccount_;

  SmtpAdaptor adaptor_{this};
  std::unique_ptr<SmtpClient> smtp_;
  std::unique_ptr<QvClassifier> classifier_;
  Notify* observer_ = nullptr;

  QvAccountInfoInterface* account_ = nullptr;
  QvRASController* ras_ = nullptr;
  HANDLE connection_ = nullptr;  // the link (Connection Manager) the session runs over
  std::unique_ptr<QvStorageInterface> storage_;
  std::unique_ptr<QvFolderInterface> sendBox_;
  std::unique_ptr<QvFolderInterface> sentBox_;
  std::unique_ptr<MailHistory> history_;
  unsigned long sendBoxId_ = 0;
  unsigned long sentBoxId_ = 0;

  // The run: the ids to send, in order, and how many of them may go.
  std::vector<unsigned long> queue_;
  size_t position_ = 0;
  size_t budget_ = 0;
  unsigned sent_ = 0;

  std::atomic<bool> cancel_{false};
  std::atomic<bool> sessionStarting_{false};
  std::atomic<bool> sessionOpen_{false};  // a message was accepted: the next goes on this session
  bool connected_ = false;
  bool stop_ = false;
  bool skip_ = false;
  bool heard_ = false;  // the SMTP client answered the current message
  bool removeOld_ = false;
  bool removeAfterSend_ = false;
  bool sentBoxTrimmed_ = false;
  bool quitNeeded_ = false;
  uint32_t lastError_ = 0;
};
