// The feed session: entry points, transfers, the document parse and the item
// walk. How one item becomes a message is in RssClientItem.cpp.
#include "engine/public/feeds/RssClient.h"

#include <cstring>

#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/content/ImageCreater.h"
#include "engine/content/MimeSupport.h"
#include "engine/feeds/src/RssClientCodes.h"
#include "engine/public/feeds/RssHttp.h"
#include "engine/feeds/src/mfd_rssdocument.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/transport/ProtocolLog.h"
#include "engine/store/QvDeferredSync.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"
#include "platform/net/SecureSocket.h"
#include "platform/net/Winsock.h"

namespace {

using namespace feeds;

constexpr wchar_t kProduct[] = L"Rivulet Middle (TV-4100)";
constexpr wchar_t kRivuletKey[] = L"Software\\NORVALE\\Rivulet";
constexpr wchar_t kFeedFile[] = L"recv.rss";

// The codes that end an item walk: the session cannot go on.

std::string Narrow(const std::wstring& wide) { return content::NarrowSjis(wide); }

void RemoveFolderTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  std::wstring bare = folder;
  if (!bare.empty() && bare.back() == L'\\') bare.pop_back();
  RemoveDirectoryW(bare.c_str());
}

}  // namespace

RssClient::RssClient()
    : log(new ProtocolLog()), http(new RssHttp(kProduct)), images(new ImageCreater()), compose(new EmlCompose()) {
  NKDbgPrintfW(L"NEW RssClient(%s)\r\n", kProduct);
  http->cancelWatch = &cancelled;
}

RssClient::~RssClient() {
  rssParserExit();
  closeSocket();
  delete compose;
  delete images;
  delete http;
  delete log;
}

void RssClient::setRssMode(int value) { mode = value; }

void RssClient::cancel() {
  NKDbgPrintfW(L"RssClient::cancel()\r\n");
  // Only a running session takes it; the session clears it when it ends.
  if (!busy) return;
  cancelled = true;
  http->Interrupt();  // a running transfer stops now, not at its next wait step
}

bool RssClient::registerNotifyRss(NotifyRss* value) {
  if (value == nullptr) {
    observer = nullptr;
    return true;
  }
  if (observer != nullptr) return false;
  observer = value;
  return true;
}

void RssClient::setAccount(MailAccount* record, void* conn) {
  connection = conn;
  lastUid.clear();
  if (record == nullptr) return;
  // Only the connection data: the SMTP credentials and the UID list stay out.
  const std::wstring keptUid = account.lastUid;
  account = *record;
  account.smtpUserName.clear();
  account.smtpPassword.clear();
  account.popBeforeSmtpWaitSeconds = 0;
  account.uidList.clear();
  if (record->lastUid.empty()) account.lastUid = keptUid;
  isSsl = account.popPort == 995;
  if (isSsl) NKDbgPrintfW(L"RssClient:: set isSSL ON! \r\n");
  lastUid = record->lastUid.empty() ? std::string("00000001") : Narrow(record->lastUid);
}

void RssClient::initialize() {
  startedFlag = false;
  cancelled = false;
  http->ClearInterrupt();
  connected = false;
  documentHost.clear();
}

bool RssClient::beginSession(const char* title) {
  bool idle = false;
  if (!busy.compare_exchange_strong(idle, true)) return false;
  initialize();
  // A folder of this session's own, so that two sessions never share files.
  static std::atomic<unsigned> serial{0};
  CreateDirectoryW(L"\\Application Data\\Rivulet", nullptr);
  CreateDirectoryW(L"\\Application Data\\Rivulet\\Tmp", nullptr);
  for (int attempt = 0; attempt < 100 && sessionFolder.empty(); ++attempt) {
    wchar_t name[64];
    swprintf(name, 64, L"\\Application Data\\Rivulet\\Tmp\\S%08X%04X", static_cast<unsigned>(GetCurrentProcessId()),
             serial.fetch_add(1) & 0xFFFFu);
    if (CreateDirectoryW(name, nullptr)) sessionFolder = std::wstring(name) + L"\\";
  }
  log->start(title, static_cast<unsigned>(std::strlen(title)));
  return true;
}

void RssClient::endSession() {
  rssParserExit();
  closeSocket();
  if (!sessionFolder.empty()) RemoveFolderTree(sessionFolder);
  sessionFolder.clear();
  cancelled = false;
  busy = false;
}

std::wstring RssClient::tmpFile(const wchar_t* name) const { return sessionFolder + name; }

void RssClient::sendNotify(int message, long w, long l) {
  if (observer != nullptr) observer->notify(message, w, l);
}

void RssClient::finishWithError(uint32_t code) {
  errorHandling(code, nullptr);
  if (code == kErrCancelled) sendNotify(MSG_RssCancelled);
}

void RssClient::GetRDF() {
  NKDbgPrintfW(L"*RssClient::GetRDF()\r\n");
  if (busy) return;
  if (account.popServerName.empty()) {
    errorHandling(kErrNoHost, nullptr);
    return;
  }
  if (!beginSession("*** Rss Protocol Start ")) return;
  if (sessionFolder.empty()) {
    finishWithError(QVMDL_ERR_EML_FILE_IO);
  } else {
    // The texts of the new items the observer stores on this thread are
    // synced on threads of their own, several at once, while the walk goes
    // on: the disk then writes them together rather than one by one.
    QvDeferredSync syncs;
    rssMain();
  }
  endSession();
}

int RssClient::rssMain() {
  int code = recvExec();
  if (code == 0) code = rssParse();
  if (code == 0 && cancelled) code = kErrCancelled;
  if (code != 0) {
    finishWithError(static_cast<uint32_t>(code));
    return code;
  }
  sendNotify(MSG_RssDeleteOldData);
  code = parseData();
  // The old items go only once every new one is on the disk, so that a power
  // cut never leaves the account with neither.
  QvDeferredSync* syncs = QvDeferredSync::OnThisThread();
  if (code == 0 && syncs != nullptr && !syncs->WaitAll()) code = static_cast<int>(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML);
  if (code != 0) finishWithError(static_cast<uint32_t>(code));
  else sendNotify(MSG_RssOldDataExpired);
  rssParserExit();
  return code;
}

int RssClient::recvExec() {
  NKDbgPrintfW(L"*RssClient::recvExec()\r\n");
  int code = openSocket();
  if (code != 0) return code;
  connected = true;
  std::wstring push;
  GetRegistryValue(HKEY_CURRENT_USER, kRivuletKey, L"PushUrl", &push);
  NKDbgPrintfW(L"** REG(%s)\r\n", push.c_str());
  const std::wstring url = !push.empty() && push != L"0" ? push : account.smtpServerName;
  NKDbgPrintfW(L"** url(%s)\r\n", url.c_str());
  return recvHttp(url, tmpFile(kFeedFile), false);
}

int RssClient::openSocket() {
  WSADATA wsa{};
  if (!socketLibrary) {
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return kErrNoSocket;
    socketLibrary = true;
  }
  if (socket == INVALID_SOCKET) socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket == INVALID_SOCKET) {
    closeSocket();
    return kErrNoSocket;
  }
  if (isSsl && openSSL() != 0) {
    closeSocket();
    return kErrNoSocket;
  }
  return 0;
}

int RssClient::openSSL() {
  DWORD on = SO_SEC_SSL;
  if (setsockopt(socket, SOL_SOCKET, SO_SECURE, reinterpret_cast<const char*>(&on), sizeof on) != 0)
    return kErrNoSocket;
  return 0;
}

void RssClient::closeSocket() {
  if (socket != INVALID_SOCKET) closesocket(socket);
  socket = INVALID_SOCKET;
  connected = false;
  if (socketLibrary) WSACleanup();
  socketLibrary = false;
}

bool RssClient::makeHttpParam(const std::wstring& url, std::wstring* host, std::wstring* path) {
  static constexpr wchar_t kScheme[] = L"http://";
  constexpr size_t kSchemeLength = 7;
  if (url.compare(0, kSchemeLength, kScheme) != 0) return false;
  const size_t slash = url.find(L'/', kSchemeLength);
  if (slash == std::wstring::npos) return false;
  *host = url.substr(kSchemeLength, slash - kSchemeLength);
  *path = slash + 1 < url.size() ? url.substr(slash) : std::wstring(L"/");
  return !host->empty();
}

//   GET /feed.rdf?mode=push HTTP/1.1    (the feed document; "&mode=" after a query)
//   GET /img/1.jpg HTTP/1.1             (pictures and contents as they are named)
int RssClient::recvHttp(const std::wstring& url, const std::wstring& file, bool binary) {
  if (cancelled) return kErrCancelled;
  if (!connected) return kErrLinkLost;
  std::wstring host, path;
  if (!makeHttpParam(url, &host, &path)) return kErrNoHost;
  const bool document = !sessionFolder.empty() && file == tmpFile(kFeedFile);
  if (document) {
    path += path.find(L'?') == std::wstring::npos ? L'?' : L'&';
    path += mode != 0 ? L"mode=manual" : L"mode=push";
    documentHost = host;
  }
  NKDbgPrintfW(L"*RssClient::recvHttp(%s%s)\r\n", host.c_str(), path.c_str());
  std::wstring watch = url;
  const int result = http->OpenURL(connection, host, path, L"", binary ? &watch : nullptr,
                                   static_cast<int>(watch.size()));
  if (result == 200) {
    // The bytes go to the file as they came; a text ends at its first NUL.
    size_t length = http->bufferLength;
    if (!binary) length = strnlen(http->buffer, length);
    if (binary) {
      data = http->buffer;
      dataLength = http->bufferLength;
    } else {
      text.assign(http->buffer, length);
    }
    const int code = writeFile(file, http->buffer, length);
    http->ClearBuf();
    data = nullptr;
    dataLength = 0;
    if (code != 0) SetQvMiddleError(static_cast<uint32_t>(code));
    return code;
  }
  switch (result) {
    case -10:
      connected = false;
      return kErrLinkLost;
    case -8:
      connected = false;
      return kErrTimeOut;
    case -12:
      connected = false;
      return kErrCancelled;
    case -4:
    case -6:
      // The server that served this session's document no longer answers:
      // every later part would go the same way, so the session ends (and the
      // items of the run before stay). A part on another host is only dropped.
      if (!document && !documentHost.empty() && host == documentHost) {
        connected = false;
        return kErrLinkLost;
      }
      return kErrHttp;
    default:
      return kErrHttp;
  }
}

int RssClient::writeFile(const std::wstring& file, const char* bytes, size_t length) {
  DeleteFileW(file.c_str());
  const uint32_t code = content::WriteNewFile(file, std::string_view(bytes, length));
  return code == QVMDL_SUCCESS ? 0 : static_cast<int>(code);
}

int RssClient::rssParse() {
  NKDbgPrintfW(L"*RssClient::rssRarse()\r\n");
  rssParserExit();
  int rc = MFD_Url_Create(&urlObject);
  if (rc == MFD_OK) rc = MFD_RssDocument_Create(&document);
  if (rc != MFD_OK) return rc == MFD_ERR_NOMEM ? kErrParserMemory : kErrParserSetup;
  std::wstring url = L"file://" + tmpFile(kFeedFile);
  for (auto& c : url)
    if (c == L'\\') c = L'/';
  if (MFD_Url_SetUrl(urlObject, url.c_str()) != MFD_OK) return kErrParserSetup;
  rc = MFD_RssDocument_ParseFile(document, urlObject);
  if (rc != MFD_OK) {
    MFD_RssError* error = nullptr;
    const bool queued = MFD_RssDocument_PopError(document, &error) == MFD_OK;
    if (queued) {
      int32_t line = 0, column = 0;
      const wchar_t* message = nullptr;
      MFD_RssError_GetLine(error, &line);
      MFD_RssError_GetColumn(error, &column);
      MFD_RssError_GetMessage(error, &message);
      NKDbgPrintfW(L"*RssClient::Prase error Reslut line:[%d] column:[%d]\r\n%s\r\n", line, column,
                   convertParserResultStr(message).c_str());
      MFD_RssError_Free(&error);
    } else {
      NKDbgPrintfW(L"**RssClient  parse Error\r\n");
    }
    return !queued && rc == MFD_ERR_NOMEM ? kErrParserMemory : kErrParse;
  }
  channel = nullptr;
  if (document->channels != nullptr && document->channels->first != nullptr)
    channel = *static_cast<MFD_RssChannel**>(document->channels->first->data);
  return channel != nullptr ? 0 : kErrNoChannel;
}

void RssClient::rssParserExit() {
  channel = nullptr;
  if (urlObject != nullptr) MFD_Url_Free(&urlObject);
  if (document != nullptr) MFD_RssDocument_Free(&document);
}

int RssClient::getChannelData() {
  const wchar_t* title = nullptr;
  const wchar_t* link = nullptr;
  const wchar_t* description = nullptr;
  for (int rc : {MFD_RssChannel_GetTitle(channel, &title), MFD_RssChannel_GetLink(channel, &link),
                 MFD_RssChannel_GetDescription(channel, &description)})
    if (rc != MFD_OK && rc != MFD_ERR_ABSENT) return kErrChannel;
  channelTitle = convertParserResultUrlStr(title);
  channelLink = convertParserResultUrlStr(link);
  channelDescription = convertParserResultUrlStr(description);
  return 0;
}

int RssClient::parseData() {
  NKDbgPrintfW(L"*RssClient::parseData()\r\n");
  MFD_List* items = nullptr;
  const int rc = MFD_RssChannel_GetItems(channel, &items);
  if (rc != MFD_OK && rc != MFD_ERR_ABSENT) return kErrChannel;
  if (getChannelData() != 0) return kErrChannel;
  if (items == nullptr) return 0;
  int number = 1;
  for (MFD_ListNode* node = items->first; node != nullptr; node = node->next, ++number) {
    if (cancelled) return kErrCancelled;
    const int code = parseItemData(*static_cast<MFD_RssChannelItem**>(node->data), number);
    if (feeds::EndsSession(code)) return code;
    if (code != 0) NKDbgPrintfW(L"**RssClient item %d dropped:[%x]\r\n", number, code);
  }
  return 0;
}

int RssClient::getSpecifiedItemData(int number, RssItemData* out) {
  MFD_List* items = nullptr;
  if (channel == nullptr || MFD_RssChannel_GetItems(channel, &items) != MFD_OK || items == nullptr) return 0;
  int at = 1;
  for (MFD_ListNode* node = items->first; node != nullptr; node = node->next, ++at)
    if (at == number) return getItemNormalData(*static_cast<MFD_RssChannelItem**>(node->data), out);
  return 0;
}

int RssClient::recvExpandInfo() { return 0; }

void RssClient::errorHandling(uint32_t code, const char* /*text*/) {
  if (code != 0x2002008) closeSocket();
  sendNotify(MSG_RssErrorOccured, static_cast<long>(code), 0);
  NKDbgPrintfW(L"*RssClient::errorHandling() ret:[%x]\r\n", code);
}

void RssClient::ReGet() {
  NKDbgPrintfW(L"*RssClient::ReGet()\r\n");
  if (!beginSession("*** Rss ReGet Start ")) return;
  const int code = sessionFolder.empty() ? static_cast<int>(QVMDL_ERR_EML_FILE_IO) : openSocket();
  if (code != 0) {
    finishWithError(static_cast<uint32_t>(code));
  } else {
    connected = true;
    ReGetExpandData();
  }
  endSession();
}

int RssClient::ReGetExpandData() {
  NKDbgPrintfW(L"*RssClient::ReGetExpandData()\r\n");
  int fetched = 0;
  for (const std::string& wanted : downloadList) {
    int code = cancelled ? kErrCancelled : 0;
    if (code == 0) {
      uid = wanted;
      raw.clear();
      sendNotify(MSG_RssNeedStoredData);
      code = raw.empty() ? kErrRefetch : rssReGet(raw, wanted);
    }
    if (code != 0) {
      finishWithError(static_cast<uint32_t>(code));
      return code;
    }
    ++fetched;
  }
  if (fetched == 0) {
    finishWithError(kErrRefetch);
    return kErrRefetch;
  }
  return 0;
}

int RssClient::HttpReceive(std::wstring* url, std::wstring* file, bool binary) {
  if (url == nullptr || file == nullptr) {
    SetQvMiddleError(kErrNoHost);
    return kErrNoHost;
  }
  bool idle = false;
  if (!busy.compare_exchange_strong(idle, true)) {
    SetQvMiddleError(kErrLinkLost);
    return kErrLinkLost;
  }
  initialize();
  connected = true;
  const int code = recvHttp(*url, *file, binary);
  connected = false;
  cancelled = false;
  busy = false;
  SetQvMiddleError(code == 0 ? QVMDL_SUCCESS : static_cast<uint32_t>(code));
  return code;
}

void RssClient::getData(std::string* rawOut, std::string* uidOut) {
  if (rawOut != nullptr) *rawOut = raw;
  if (uidOut != nullptr) *uidOut = uid;
}

void RssClient::setRawMailData(std::string* stored) {
  if (stored != nullptr) raw = *stored;
}

std::string RssClient::getLastRecvUid() { return lastRecvUid; }

void RssClient::setDownloadList(std::list<std::string>& uids) { downloadList = uids; }

void RssClient::getUidlList(std::list<std::wstring>& out) {
  for (const std::string& u : uidList) {
    NKDbgPrintfW(L"[%s]\r\n", content::WidenSjis(u).c_str());
    out.push_back(content::WidenSjis(u));
  }
}
