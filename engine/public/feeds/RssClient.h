// One feed session of a feed account. A fetch (GetRDF) downloads the feed
// document, parses it and turns every item into one raw message for the
// observer; a re-fetch (ReGet) downloads the pictures and contents of stored
// items kept in part and rebuilds their messages. Transfers go through
// RssHttp over the caller's data connection; messages are built by
// EmlCompose::RssEncode with thumbnails from ImageCreater.
//
// A lost link ends the item walk; so does a part download that finds the
// server of the session's document no longer answering.
//
// Every entry point starts with its per-run flags cleared. A cancel stops the
// running session (between items, and a running transfer at its next wait
// step) and is spent by it; a cancel while no session runs is dropped.
// Downloads of a session live in a folder of their own below
// "\Application Data\Rivulet\Tmp\", removed when the session ends.
// During a fetch, the texts of new messages the observer stores on the
// session's thread are synced on threads of their own, several at once; the
// fetch waits for all of them before the old items go and before it returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/feeds/RssItemData.h"
#include "engine/public/transport/MailAccount.h"

class EmlCompose;
class ImageCreater;
class ProtocolLog;
class RssHttp;
struct Email;
struct MFD_RssChannel;
struct MFD_RssChannelItem;
struct MFD_RssDocument;
struct MFD_Url;

class QVMIDDLE_API RssClient {
 public:
  // Calls arrive synchronously on the thread that runs the session.
  class NotifyRss {
   public:
    virtual ~NotifyRss() = default;
    virtual void notify(int message, long w, long l) = 0;
  };
  enum Message {
    // The document was downloaded and parsed, before its items: the observer
    // notes the old items present now.
    MSG_RssDeleteOldData = 0,
    MSG_RssNewMessage = 1,      // a complete message is in getData
    MSG_RssNewPartMessage = 2,  // a message whose parts could not be fetched
    MSG_RssNeedStoredData = 3,  // re-fetch: setRawMailData with the stored message of getData's uid
    MSG_RssErrorOccured = 4,    // w = error code
    MSG_RssCancelled = 7,       // the session ended on a cancel
    // The item walk ended without a transfer error, and the texts of the new
    // items the observer stored on the session's thread are on the disk (a
    // sync that failed is reported as an error instead): the observer removes
    // the old items it noted at MSG_RssDeleteOldData (and only those).
    MSG_RssOldDataExpired = 8,
    // An item's parts are about to be fetched from the network: an observer
    // holding the store for a run of items lets go of it for the wait.
    MSG_RssFetchingParts = 9,
  };

  RssClient();
  ~RssClient();
  RssClient(const RssClient&) = delete;
  RssClient& operator=(const RssClient&) = delete;

  void setRssMode(int mode);
  // Safe from another thread.
  void cancel();
  bool registerNotifyRss(NotifyRss* observer);
  void setAccount(MailAccount* record, void* connection);
  void GetRDF();
  void ReGet();
  int ReGetExpandData();
  // One URL to the caller's file; 0, or the error code (also set in the
  // library-wide error word).
  int HttpReceive(std::wstring* url, std::wstring* file, bool binary);
  void getData(std::string* rawOut, std::string* uidOut);
  void setRawMailData(std::string* stored);
  std::string getLastRecvUid();
  void setDownloadList(std::list<std::string>& uids);
  void getUidlList(std::list<std::wstring>& out);

 private:
  void initialize();
  void closeSocket();
  void rssParserExit();
  int recvExpandInfo();
  void errorHandling(uint32_t code, const char* text);
  int openSSL();
  int openSocket();
  int writeFile(const std::wstring& file, const char* bytes, size_t length);
  bool makeHttpParam(const std::wstring& url, std::wstring* host, std::wstring* path);
  int recvHttp(const std::wstring& url, const std::wstring& file, bool binary);
  std::wstring convertParserResultStr(const wchar_t* text);
  std::wstring convertParserResultUrlStr(const wchar_t* text);
  int getChannelData();
  int getItemData(MFD_RssChannelItem* item, RssItemData* data);
  int getItemNormalData(MFD_RssChannelItem* item, RssItemData* data);
  int getItemExpandData(MFD_RssChannelItem* item, RssItemData* data);
  int getSpecifiedItemData(int number, RssItemData* data);
  void checkExpandInfo(const RssItemData& data, ExpandInfo* expand);
  int recvExpandInfoData(ExpandInfo* expand);
  int makeSmallImage(const ExpandInfo& expand);
  std::string getNewUidl();
  int setContentsToMessage(const std::wstring& link, const std::wstring& download);
  void setRssToEmail(const RssItemData& data, Email* mail, const ExpandInfo& expand);
  void setFilesToEmail(Email* mail, const ExpandInfo& expand);
  int parseData();
  int parseItemData(MFD_RssChannelItem* item, int number);
  int rssParse();
  int rssReGet(const std::string& stored, const std::string& storedUid);
  int rssMain();
  int recvExec();

  // A session: flags cleared, its own download folder, the log started.
  bool beginSession(const char* title);
  void endSession();
  void finishWithError(uint32_t code);
  std::wstring tmpFile(const wchar_t* name) const;
  void sendNotify(int message, long w = 0, long l = 0);

  NotifyRss* observer = nullptr;
  uintptr_t socket = ~uintptr_t{0};  // a SOCKET; none while closed
  MailAccount account;
  bool isSsl = false;
  void* connection = nullptr;
  ProtocolLog* log = nullptr;
  bool startedFlag = false;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> busy{false};
  int mode = 0;
  bool connected = false;
  std::string lastUid;
  std::string lastRecvUid;
  RssHttp* http = nullptr;
  ImageCreater* images = nullptr;
  EmlCompose* compose = nullptr;
  std::string text;  // the last text download, as it came
  const char* data = nullptr;
  uint32_t dataLength = 0;
  MFD_RssDocument* document = nullptr;
  MFD_Url* urlObject = nullptr;
  MFD_RssChannel* channel = nullptr;
  std::wstring channelTitle;
  std::wstring channelLink;
  std::wstring channelDescription;
  std::string raw;
  std::string uid;
  std::list<std::string> uidList;
  std::list<std::string> downloadList;
  std::wstring sessionFolder;  // "\...\Tmp\<session>\" while a session runs
  std::wstring documentHost;   // the host that served the session's document
  bool socketLibrary = false;
};
