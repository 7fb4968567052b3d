// What the feed tests share: documents and pictures put on the tests' nginx,
// a feed account on a fresh device root, and the pictures of a stored item.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/public/content/EmlCompose.h"
#include "engine/content/MimeSupport.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/codepage/CodePage.h"
#include "platform/imaging/Imaging.h"
#include "platform/testing/Seams.h"
#include "tests/support/DeviceRootFixture.h"
#include "tests/support/NginxPeer.h"
#include "tests/support/TestImages.h"

namespace qv::test::feeds {

constexpr wchar_t kFeedKey[] = L"Software\\Norvale\\Rivulet";
constexpr DWORD kStep = 200;
constexpr DWORD kYellow = 0xFFFFFF00u;

inline std::wstring W(const std::string& utf8) {
  std::wstring w(utf8.size(), L'\0');
  w.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(),
                                                   static_cast<int>(w.size()))));
  return w;
}

// A 64x48 picture of one colour.
inline std::string Picture(DWORD colour, bool png) {
  Pixels p;
  p.width = 64;
  p.height = 48;
  p.argb.assign(64 * 48, colour);
  Bytes b = png ? MakePng(p, PngKind::Rgb) : MakeJpeg(p);
  return std::string(b.begin(), b.end());
}

inline std::string Item20(const std::string& title, const std::string& link, const std::string& extra) {
  return "<item><title>" + title + "</title><link>" + link + "</link>" + extra + "</item>";
}

inline std::string Rss20(const std::string& encoding, const std::string& items) {
  return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><rss version=\"2.0\"><channel><title>" +
         "Channel</title><link>http://feeds.example.jp/</link><description>about</description>" + items +
         "</channel></rss>";
}

inline std::string Image(const std::string& url) { return "<image><title>pic</title><url>" + url + "</url></image>"; }

// The picture parts of a stored message: sizes and the colour of their middle.
// (Parts of feed messages are written to the reader's temporary folder.)
inline std::vector<std::tuple<UINT, UINT, DWORD>> Pictures(const std::string& raw) {
  EmlCompose eml;
  Email mail;
  EXPECT_TRUE(eml.Decode(&mail, &raw));
  std::vector<std::tuple<UINT, UINT, DWORD>> found;
  for (const Enclosure& part : mail.attachments) {
    const std::wstring path = content::kFeedTmpFolder + part.displayName;
    DeleteFileW(path.c_str());
    EXPECT_TRUE(eml.GetEnclosure(raw, part)) << std::hex << eml.GetErrorInfo();
    qv::Image image;
    qv::Bitmap b;
    if (image.LoadFile(path.c_str()) && image.Decode(&b))
      found.emplace_back(image.Info().width, image.Info().height, b.Pixel(b.Width() / 2, b.Height() / 2));
    DeleteFileW(path.c_str());
  }
  return found;
}

// The picture, its one-line and its three-line thumbnail, all of `colour`.
inline void ExpectPictures(const std::string& raw, DWORD colour) {
  const auto pictures = Pictures(raw);
  ASSERT_EQ(pictures.size(), colour != 0 ? 3u : 0u);
  const std::pair<UINT, UINT> sizes[] = {{64, 48}, {48, 36}, {104, 78}};
  for (size_t i = 0; i < pictures.size(); ++i) {
    EXPECT_EQ(std::get<0>(pictures[i]), sizes[i].first);
    EXPECT_EQ(std::get<1>(pictures[i]), sizes[i].second);
    EXPECT_LT(ColorDistance(std::get<2>(pictures[i]), colour), 40);
  }
}

// The children of the receive box by name; `name` is made when missing.
inline std::map<std::wstring, unsigned long> ReceiveBoxFolders(QvAccountInfoInterface* account,
                                                               QvStorageInterface* storage,
                                                               const std::wstring& name = L"") {
  QvAccountInfoInterface::Attributes a;
  a.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  account->GetAccountInfoAttributes(&a);
  std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(a.ulJusinTrayID));
  std::vector<unsigned long> ids;
  box->GetFolderIds(&ids);
  std::map<std::wstring, unsigned long> named;
  for (unsigned long id : ids) {
    QvFolderInterface::FolderAttributes f;
    f.mask = 1;
    if (box->ReadFolderAttributes(id, &f)) named[f.name] = id;
  }
  if (!name.empty() && named.count(name) == 0) {
    EXPECT_TRUE(box->CreateFolder(name, &named[name]));
  }
  return named;
}

struct StoredItem {  // what a test reads of a stored message
  std::string raw;
  std::wstring subject;
  std::wstring body;
  std::string uid;
};

// Every message below the receive box, by the name of its folder.
inline std::multimap<std::wstring, StoredItem> StoredItems(QvAccountInfoInterface* account) {
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::multimap<std::wstring, StoredItem> all;
  for (const auto& [name, f] : ReceiveBoxFolders(account, storage.get())) {
    std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(f));
    std::vector<unsigned long> ids;
    folder->GetMessageIds(&ids);
    for (unsigned long id : ids) {
      StoredItem m;
      std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(id));
      message->Read(&m.raw);
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kUidl;
      if (message->GetAttributes(&a)) m.uid = a.uidl;
      Email mail;
      EmlCompose().Decode(&mail, &m.raw);
      m.subject = mail.subject;
      m.body = mail.body;
      all.emplace(name, m);
    }
  }
  return all;
}

struct StoredExpect {
  const char* list;     // the folder below the receive box
  const char* subject;
  const char* header;   // a header line the message holds
  const char* body;     // how the body begins
  DWORD colour;         // of the picture and its two thumbnails; 0 without
};
struct FeedRun {
  const wchar_t* url;
  int mode;
  const char* request;  // as nginx logged it
  std::vector<StoredExpect> messages;
};

// Three feeds on the server (RSS 1.0 in UTF-8 with dates and categories, RSS
// 2.0 in Shift_JIS with pictures and one contents item, RSS 0.91 without
// categories) and what each leaves stored, one after the other.
inline std::vector<FeedRun> ThreeFeeds(NginxPeer& peer) {
  peer.PutFile("/r10.rdf",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rdf:RDF "
               "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\" "
               "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel rdf:about=\"http://feeds.example.jp/\">"
               "<title>一覧</title><link>http://feeds.example.jp/</link></channel>"
               "<item rdf:about=\"http://feeds.example.jp/1\"><title>円高</title><link>http://feeds.example.jp/1</link>"
               "<description>為替の話</description><dc:date>2026-12-08T09:00+09:00</dc:date>"
               "<dc:subject>経済</dc:subject></item>"
               "<item rdf:about=\"http://feeds.example.jp/2\"><title>試合</title><link>http://feeds.example.jp/2</link>"
               "<dc:date>2026-12-08T10:00+09:00</dc:date><dc:subject>スポーツ</dc:subject></item></rdf:RDF>");
  peer.PutFile("/pic/red.jpg", Picture(kRed, false));
  peer.PutFile("/pic/blue.png", Picture(kBlue, true));
  peer.PutFile("/contents/1.eml", "Subject: contents\r\nDate: x\r\n\r\ncontents body\r\n");
  const std::string items =
      Item20("赤", "http://feeds.example.jp/red",
             "<description>a\\r\\nb</description><category>写真</category>" +
                 Image("http://feeds.example.jp/pic/red.jpg")) +
      Item20("青", "http://feeds.example.jp/blue",
             "<category>写真</category>" + Image("http://feeds.example.jp/pic/blue.png")) +
      Item20("中身", "http://feeds.example.jp/c",
             "<enclosure url=\"http://feeds.example.jp/contents/1.eml\" length=\"60\" type=\"message/rfc822\"/>"
             "<cinst>dl-1</cinst>") +
      Item20("悪", "http://feeds.example.jp/x%0D%0AX-Evil:%201",
             "<category>写真</category>" + Image("http://feeds.example.jp/pic/red.jpg%0D%0AX-Evil:%201"));
  peer.PutFile("/sjis.xml", content::NarrowSjis(W(Rss20("Shift_JIS", items))));
  peer.PutFile("/r091.xml",
               "<?xml version=\"1.0\"?><rss version=\"0.91\"><channel><title>old</title><link>http://o.example.jp/"
               "</link><description>d</description><language>ja</language>"
               "<item><title>plain</title><link>http://o.example.jp/1</link><description>text</description></item>"
               "</channel></rss>");
  return {
      {L"http://feeds.example.jp/r10.rdf", 0, "GET /r10.rdf?mode=push HTTP/1.1",
       {{"経済", "円高", "Date: 2026-12-08T09:00+09:00\r\n", "為替の話", 0},
        {"スポーツ", "試合", "Reply-To: http://feeds.example.jp/2\r\n", "本文はありません", 0}}},
      {L"http://feeds.example.jp/sjis.xml?v=1", 1, "GET /sjis.xml?v=1&mode=manual HTTP/1.1",
       {{"写真", "赤", "Reply-To: http://feeds.example.jp/red\r\n", "a<br>b", kRed},
        {"写真", "青", "Reply-To: http://feeds.example.jp/blue\r\n", "本文はありません", kBlue},
        {"tellaro", "contents", "X-Kxr-Rivulet: contents\r\nx-ml-name: tellaro\r\n"
                                "Reply-To: http://feeds.example.jp/c\r\nX-Feed-Download: dl-1\r\nSubject: contents\r\n",
         "contents body", 0},
        {"写真", "悪", "Reply-To: http://feeds.example.jp/xX-Evil: 1\r\n", "本文はありません", 0}}},
      {L"http://feeds.example.jp/r091.xml", 0, "GET /r091.xml?mode=push HTTP/1.1",
       {{"news", "plain", "Reply-To: http://o.example.jp/1\r\n", "text", 0}}},
  };
}

// The account holds exactly the run's items, each as the table says, and
// nginx logged the run's request with the client's product text.
inline void ExpectStored(NginxPeer& peer, const FeedRun& run, const std::multimap<std::wstring, StoredItem>& all) {
  EXPECT_GE(peer.CountLines(std::string(run.request) + " | Rivulet Middle (TV-4100) | 200", 1), 1);
  ASSERT_EQ(all.size(), run.messages.size());
  for (const StoredExpect& e : run.messages) {
    SCOPED_TRACE(e.subject);
    auto it = std::find_if(all.begin(), all.end(), [&](const auto& m) { return m.second.subject == W(e.subject); });
    ASSERT_NE(it, all.end()) << all.begin()->second.raw;
    const std::string& raw = it->second.raw;
    EXPECT_EQ(it->first, W(e.list)) << "the folder";
    EXPECT_EQ(raw.rfind("X-Kxr-Rivulet", 0), 0u);
    EXPECT_NE(raw.find(e.header), std::string::npos);
    EXPECT_EQ(it->second.body.rfind(W(e.body), 0), 0u);
    const std::string head = raw.substr(0, raw.find("\r\n\r\n") + 2);
    EXPECT_EQ(head.find("\nX-Evil"), std::string::npos);
    for (size_t at = 0; (at = head.find_first_of("\r\n", at)) != std::string::npos; at += 2)
      ASSERT_EQ(head.compare(at, 2, "\r\n"), 0) << "a bare CR or LF in the header";
    ExpectPictures(raw, e.colour);
  }
}

// A feed account "feed" in the feed reader's data folder, with nginx behind
// "feeds.example.jp".
class FeedAccountTest : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    ASSERT_TRUE(peer_.Ready()) << peer_.Error();
    qv::seams::MapHost("feeds.example.jp", 80, peer_.Port());
    qv::seams::SetNetworkWait(kStep, 600);
    MakeDir(L"\\Application Data");
    MakeDir(L"\\Application Data\\Rivulet");
    MakeDir(L"\\Application Data\\Rivulet\\Accounts");
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kFeedKey, L"DataPath", L"\\Application Data\\Rivulet\\Accounts\\"));
    account_ = MakeAccount(L"feed");
    ASSERT_TRUE(account_);
  }

  static std::unique_ptr<QvAccountInfoInterface> MakeAccount(const std::wstring& name) {
    EXPECT_TRUE(QvAccountCreator().CreateFeedFolders(name, kFeedKey));
    return std::unique_ptr<QvAccountInfoInterface>(QvAccountInfoInterface::OpenAccountInfo(name, kFeedKey));
  }

  NginxPeer& peer_ = NginxPeer::Shared();
  std::unique_ptr<QvAccountInfoInterface> account_;
};

}  // namespace qv::test::feeds
