// HTML templates saved and loaded back, feed messages, their information
// lines and pictures, and the feed thumbnails.
#include "engine/public/content/ImageCreater.h"
#include "tests/engine/content/mime/MimeTestSupport.h"
#include "tests/support/TestImages.h"

using namespace mimetest;

namespace {

class Feed : public MimeTest {
 protected:
  void SetUp() override {
    MimeTest::SetUp();
    files_ = DeviceFolder(L"Files");
    DeviceFolder(L"Application Data/Rivulet/Tmp");
    tmp_ = L"\\Application Data\\Rivulet\\Tmp\\";
    DeviceFolder(L"Windows");
  }
  void WriteImage(const std::wstring& path, const qv::test::Bytes& bytes) {
    WriteDeviceFile(path, std::string(bytes.begin(), bytes.end()));
  }
  std::wstring files_, tmp_;
};

TEST_F(Feed, TemplateSavedAndLoadedBack) {
  WriteDeviceFile(files_ + L"logo.gif", "GIF89a logo");
  WriteDeviceFile(files_ + L"資料.pdf", "%PDF-1.4 data");
  Email mail;
  mail.htmlBody = L"<html><body><p>テンプレート</p>\r\n<img src=\"cid:logo@x\"></body></html>";
  Enclosure logo, doc;
  logo.folder = doc.folder = files_;
  logo.name = L"logo.gif";
  logo.contentId = L"logo@x";
  doc.name = L"資料.pdf";
  mail.inlineParts = {logo};
  mail.attachments = {doc};
  std::wstring path = files_ + L"mine.tpl";
  ASSERT_TRUE(eml_.SaveHtmlTemplate(&mail, &path));
  std::string saved = ReadDeviceFile(path);
  EXPECT_EQ(saved.rfind("T-HTML-MAIL-TEMPLATE\r\nMime-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n"
                        " boundary=\"next_bound_m4345\"\r\n\r\n--next_bound_m4345\r\n"
                        "Content-Type: text/html; charset=\"shift_jis\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n",
                        0),
            0u);

  Email loaded;
  loaded.subject = L"left over";
  std::string text;
  ASSERT_TRUE(eml_.LoadHtmlTemplate(&loaded, &path, &text));
  EXPECT_EQ(text, saved);
  EXPECT_EQ(loaded.htmlBody, mail.htmlBody);
  EXPECT_TRUE(loaded.subject.empty());
  ASSERT_EQ(loaded.inlineParts.size(), 1u);
  EXPECT_EQ(loaded.inlineParts.front().contentId, L"logo@x");
  EXPECT_EQ(loaded.inlineParts.front().isInline, 1);
  ASSERT_EQ(loaded.attachments.size(), 1u);
  Enclosure back = loaded.attachments.front();
  EXPECT_EQ(back.displayName, L"資料.pdf");
  back.folder = DeviceFolder(L"Out");
  ASSERT_TRUE(eml_.GetEnclosure(text, back));
  EXPECT_EQ(ReadDeviceFile(back.folder + L"資料.pdf"), "%PDF-1.4 data");
}

TEST_F(Feed, TemplateLoadFailures) {
  std::wstring missing = files_ + L"none.tpl";
  Email m;
  std::string text;
  EXPECT_FALSE(eml_.LoadHtmlTemplate(&m, &missing, &text));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_FILE_MISSING);
  std::wstring other = files_ + L"other.tpl";
  WriteDeviceFile(other, "Subject: not a template\r\n\r\nbody\r\n");
  m.subject = L"old";
  EXPECT_FALSE(eml_.LoadHtmlTemplate(&m, &other, &text));
  EXPECT_EQ(eml_.GetErrorInfo(), 0xFFFFFFFFu);
  EXPECT_TRUE(m.subject.empty());
  Email withMissingFile;
  withMissingFile.htmlBody = L"<p>x</p>";
  Enclosure gone;
  gone.folder = files_;
  gone.name = L"gone.gif";
  withMissingFile.attachments = {gone};
  std::wstring path = files_ + L"t.tpl";
  EXPECT_FALSE(eml_.SaveHtmlTemplate(&withMissingFile, &path));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_ATTACH_NOT_FOUND);
}

TEST_F(Feed, FeedMessageHeaderAndStructure) {
  WriteDeviceFile(files_ + L"big.jpg", "big picture");
  Email item;
  item.fromAddress = L"news@example.jp";
  item.fromName = L"ニュース";
  item.dateText = L"2026/12/08 10:00";
  item.subject = L"今日の天気";
  item.mailingList = L"tellaro";
  item.body = L"晴れのち曇り";
  item.htmlBody = L"<p>晴れのち曇り</p>";
  Enclosure contents, image, file;
  contents.fileName = L"contents.xml";
  image.folder = L"\\Application Data\\Rivulet\\Tmp\\img.jpg";
  file.folder = files_;
  file.name = L"big.jpg";
  item.attachments = {contents, image, file};
  std::string out;
  ASSERT_TRUE(eml_.RssEncode(&item, &out));
  EXPECT_EQ(item.isFeed, 1);
  EXPECT_EQ(out.rfind("X-Kxr-Rivulet\r\nFrom: =?iso-2022-jp?b?", 0), 0u);
  EXPECT_NE(out.find("\r\nDate: 2026/12/08 10:00\r\nSubject: =?iso-2022-jp?b?"), std::string::npos);
  EXPECT_NE(out.find("\r\nx-ml-name: tellaro\r\n"), std::string::npos);
  EXPECT_EQ(out.find("Reply-To"), std::string::npos);
  EXPECT_EQ(out.find("Message-Id"), std::string::npos);
  EXPECT_EQ(out.find("In-Reply-To"), std::string::npos);
  EXPECT_NE(out.find("Mime-Version: 1.0\r\nX-Feed-Contents: contents.xml\r\n"
                     "X-Feed-Image: \\Application Data\\Rivulet\\Tmp\\img.jpg\r\nContent-Type: multipart/mixed;"),
            std::string::npos);
  EXPECT_NE(out.find("multipart/alternative"), std::string::npos);

  Email back;
  ASSERT_TRUE(eml_.Decode(&back, &out));
  EXPECT_EQ(back.isFeed, 1);
  EXPECT_EQ(back.subject, L"今日の天気");
  EXPECT_EQ(back.fromName, L"ニュース");
  EXPECT_EQ(back.body, L"晴れのち曇り");
  EXPECT_EQ(back.htmlBody, L"<p>晴れのち曇り</p>");
  EXPECT_EQ(back.mailingList, L"tellaro");
  ASSERT_EQ(back.attachments.size(), 1u);
  EXPECT_EQ(back.attachments.front().displayName, L"big.jpg");

  // Only one attachment: the contents line and no picture line.
  Email single;
  single.subject = L"s";
  single.body = L"b";
  Enclosure only;
  only.fileName = L"c.xml";
  single.attachments = {only};
  single.replyTo = L"http://example.jp/item";
  single.messageId = L"id1";
  single.references = L"id0";
  std::string one;
  ASSERT_TRUE(eml_.RssEncode(&single, &one));
  EXPECT_NE(one.find("X-Feed-Contents: c.xml\r\n"), std::string::npos);
  EXPECT_EQ(one.find("X-Feed-Image"), std::string::npos);
  EXPECT_EQ(one.find("multipart"), std::string::npos);
  EXPECT_NE(one.find("Reply-To: http://example.jp/item\r\nMessage-Id: id1\r\nIn-Reply-To: id0\r\n"),
            std::string::npos);
}

TEST_F(Feed, InformationLines) {
  Email item;
  item.subject = L"";
  item.body = L"本文の最初の部分がタイトルになります。長い本文です。";
  // An odd byte before the cut must not split a pair.
  Email odd = item;
  odd.subject = L"x";
  odd.body = L"a本文の最初の部分がタイトルになります。長い本文です。";
  std::string oddText;
  ASSERT_TRUE(eml_.RssEncode(&odd, &oddText));
  TInfoData oddInfo;
  ASSERT_TRUE(eml_.RssGetLineInfo(&oddText, &oddInfo));
  EXPECT_EQ(W(oddInfo.textLine), L"a本文の最初の部分がタイトルになります。");
  item.dateText = L"12/08";
  std::string out;
  ASSERT_TRUE(eml_.RssEncode(&item, &out));
  std::string title, link;
  ASSERT_TRUE(eml_.RssGetLineInfo(&out, &title, &link));
  EXPECT_EQ(W(title), L"本文の最初の部分がタイトルにな");  // 30 bytes

  item.subject = L"見出し";
  item.replyTo = L"http://example.jp/1";
  item.mailingList = L"tellaro";
  ASSERT_TRUE(eml_.RssEncode(&item, &out));
  TInfoData info;
  ASSERT_TRUE(eml_.RssGetLineInfo(&out, &info));
  EXPECT_EQ(W(info.title), L"見出し");
  EXPECT_EQ(info.link, "http://example.jp/1");
  EXPECT_TRUE(info.dateText.empty());
  EXPECT_EQ(W(info.textLine), L"本文の最初の部分がタイトルになります。長");  // 40 bytes

  item.mailingList = L"other";
  ASSERT_TRUE(eml_.RssEncode(&item, &out));
  ASSERT_TRUE(eml_.RssGetLineInfo(&out, &info));
  EXPECT_EQ(info.dateText, "12/08");
  EXPECT_EQ(W(info.textLine), L"本文の最初の部分がタイトルになります。長");
}

TEST_F(Feed, ThumbnailsFromEveryFormat) {
  qv::test::Pixels pixels = qv::test::Quarters(64, 48);
  WriteImage(files_ + L"p.jpg", qv::test::MakeJpeg(pixels));
  WriteImage(files_ + L"p.png", qv::test::MakePng(pixels, qv::test::PngKind::Rgb));
  WriteImage(files_ + L"p.gif", qv::test::MakeGif(pixels));
  WriteImage(files_ + L"p.bmp", qv::test::MakeBmp(pixels, qv::test::BmpKind::Rgb24));
  ImageCreater images;
  for (std::wstring ext : {L"jpg", L"png", L"gif", L"bmp"}) {
    std::wstring source = files_ + L"p." + ext;
    std::wstring one = files_ + L"one-" + ext + L".jpg", three = files_ + L"three-" + ext + L".jpg";
    ASSERT_TRUE(images.ConvertImageTo1Line(source.data(), one.data())) << S(ext);
    ASSERT_TRUE(images.ConvertImageTo3Line(source.data(), three.data())) << S(ext);
    for (auto [path, w, h] : {std::tuple{one, 48u, 36u}, std::tuple{three, 104u, 78u}}) {
      qv::Image image;
      ASSERT_TRUE(image.LoadFile(path.c_str()));
      EXPECT_EQ(image.Info().format, qv::ImageFormat::Jpeg);
      EXPECT_EQ(image.Info().width, w);
      EXPECT_EQ(image.Info().height, h);
      qv::Bitmap b;
      ASSERT_TRUE(image.Decode(&b));
      // The quarters survive the stretch: red top left, white bottom right.
      EXPECT_LT(qv::test::ColorDistance(b.Pixel(2, 2), qv::test::kRed), 40) << S(ext);
      EXPECT_LT(qv::test::ColorDistance(b.Pixel(w - 3, h - 3), qv::test::kWhite), 40) << S(ext);
    }
  }
  // A portrait picture is stretched to the same sizes.
  WriteImage(files_ + L"tall.png", qv::test::MakePng(qv::test::Quarters(30, 90), qv::test::PngKind::Rgb));
  std::wstring tall = files_ + L"tall.png", out = files_ + L"tall.jpg";
  ASSERT_TRUE(images.ConvertImageTo3Line(tall.data(), out.data()));
  qv::ImageInfo info;
  ASSERT_TRUE(qv::GetImageInfo(out.c_str(), &info));
  EXPECT_EQ(info.width, 104u);
  EXPECT_EQ(info.height, 78u);
}

TEST_F(Feed, ThumbnailFailures) {
  ImageCreater images;
  std::wstring missing = files_ + L"none.jpg", target = files_ + L"t.jpg";
  EXPECT_FALSE(images.ConvertImageTo1Line(missing.data(), target.data()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_EML_FILE_MISSING);
  // A damaged picture and one whose header claims a huge size fail and
  // write nothing.
  qv::test::Bytes jpeg = qv::test::MakeJpeg(qv::test::Quarters(64, 48));
  jpeg.resize(jpeg.size() / 2);
  WriteImage(files_ + L"cut.jpg", jpeg);
  std::wstring cut = files_ + L"cut.jpg";
  EXPECT_FALSE(images.ConvertImageTo1Line(cut.data(), target.data()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_EML_IMAGE_LOAD);
  EXPECT_FALSE(DeviceFileExists(target));
  qv::test::Bytes ihdr = {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 2, 0, 0, 0};  // 100000 x 100000
  WriteImage(files_ + L"huge.png", qv::test::MakePngFromParts(ihdr, qv::test::Bytes(16, 0)));
  std::wstring huge = files_ + L"huge.png";
  EXPECT_FALSE(images.ConvertImageTo3Line(huge.data(), target.data()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_EML_IMAGE_LOAD);
  EXPECT_FALSE(DeviceFileExists(target));
}

TEST_F(Feed, TodayImageFromTheItemOrTheDefault) {
  WriteImage(L"\\Windows\\TINFO.jpg", qv::test::MakeJpeg(qv::test::Quarters(64, 48)));
  std::wstring path;
  std::string noPictures = "X-Kxr-Rivulet\r\nSubject: s\r\n\r\ntext\r\n";
  ASSERT_TRUE(eml_.RssGetTodayImage(&noPictures, &path, true));
  EXPECT_EQ(path, tmp_ + L"today.jpg");
  qv::ImageInfo info;
  ASSERT_TRUE(qv::GetImageInfo(path.c_str(), &info));
  EXPECT_EQ(info.width, 48u);  // made from the device's default picture
  EXPECT_TRUE(DeviceFileExists(tmp_ + L"default_small.jpg"));
  std::wstring weather;
  ASSERT_TRUE(eml_.RssGetWeatherImage(&weather, false));
  EXPECT_EQ(weather, tmp_ + L"default_large.jpg");
  ASSERT_TRUE(qv::GetImageInfo(weather.c_str(), &info));
  EXPECT_EQ(info.width, 104u);

  // Three pictures: the last (large) or the one before it (small).
  std::string item =
      "X-Kxr-Rivulet: pictures\r\nSubject: s\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\ntext\r\n";
  for (const char* n : {"a", "b", "c"})
    item += std::string("--b\r\nContent-Type: image/jpeg; name=\"") + n +
            ".jpg\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + n + "mFy\r\n";
  item += "--b--\r\n";
  ASSERT_TRUE(eml_.RssGetTodayImage(&item, &path, false));
  EXPECT_EQ(ReadDeviceFile(path), ReadDeviceFile(tmp_ + L"c.jpg"));
  ASSERT_TRUE(eml_.RssGetTodayImage(&item, &path, true));
  EXPECT_EQ(ReadDeviceFile(path), ReadDeviceFile(tmp_ + L"b.jpg"));
  ASSERT_TRUE(eml_.RssGetTodayImage(&item, &path, true));  // the picture written before is used again
  EXPECT_EQ(ReadDeviceFile(path), ReadDeviceFile(tmp_ + L"b.jpg"));

  std::wstring def;
  EXPECT_TRUE(eml_.RssGetDefaultTodayImage(&def, true));
  EXPECT_EQ(def, L"\\Windows\\TINFO.jpg");
  qv::seams::SetAvailableMemory(0x100000);
  DeleteFileW((tmp_ + L"default_large.jpg").c_str());
  ASSERT_TRUE(eml_.RssGetWeatherImage(&weather, false));
  EXPECT_TRUE(weather.empty());  // too little memory to make the default
}

}  // namespace
