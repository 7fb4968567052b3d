// The HTML control's document model: what received HTML becomes (text,
// formats, paragraphs, objects), what the compose side's subset writes back,
// and that hostile HTML leaves nothing runnable or remote in the model.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "outside/Markwright/HtmlDocument.h"

namespace {

using markwright::Document;

// The model as one readable line: text with "|" for paragraph ends, "/" for
// line breaks, "[img:src]" and "[hr]" for objects.
std::wstring Shape(const Document& d) {
  std::wstring out;
  for (size_t i = 0; i < d.Length(); ++i) {
    const wchar_t c = d.At(i);
    if (c == markwright::kParagraphEnd) out += L'|';
    else if (c == markwright::kLineBreak) out += L'/';
    else if (c == markwright::kObject) {
      const auto& o = d.ObjectOf(d.Tag(i));
      out += o.kind == markwright::Object::kRule ? L"[hr]" : L"[img:" + o.source + L"]";
    } else out += c;
  }
  return out;
}

struct LoadCase {
  const char* html;
  const wchar_t* shape;
  const wchar_t* html_out;  // what the model writes back
};

TEST(MarkwrightDocument, LoadsAndWritesTheSubset) {
  const LoadCase cases[] = {
      {"", L"", L""},
      {"plain  text\n here", L"plain text here", L"<div>plain text here</div>"},
      {"<div>a</div><div align=center>b</div>", L"a|b", L"<div>a</div><div align=\"center\">b</div>"},
      {"<p>x<br>y<br></p>", L"x/y", L"<div>x<br>y</div>"},
      {"<div><br></div><div>z</div>", L"|z", L"<div><br></div><div>z</div>"},
      {"a<hr>b", L"a|[hr]|b", L"<div>a</div><hr><div>b</div>"},
      {"<b>B</b><i>I</i><u>U</u><s>S</s><blink>K</blink>", L"BIUSK",
       L"<div><b>B</b><i>I</i><u>U</u><s>S</s><blink>K</blink></div>"},
      {"<font size=+2 color=red>big</font>", L"big", L"<div><font size=\"5\" color=\"#ff0000\">big</font></div>"},
      {"<a href='mailto:a@b.jp'>m</a>", L"m", L"<div><a href=\"mailto:a@b.jp\">m</a></div>"},
      {"<img src='cid:Part1'>&amp;<img src='pic.gif' width=20>", L"[img:cid:Part1]&[img:pic.gif]",
       L"<div><img src=\"cid:Part1\">&amp;<img src=\"pic.gif\" width=\"20\"></div>"},
      {"<marquee>m</marquee><marquee behavior=alternate>n</marquee>", L"m|n",
       L"<div><marquee>m</marquee></div><div><marquee behavior=\"alternate\">n</marquee></div>"},
      {"a&nbsp;&nbsp;b", L"a  b", L"<div>a&nbsp;&nbsp;b</div>"},
      {"<body bgcolor='#102030'>x</body>", L"x", L"<body bgcolor=\"#102030\"><div>x</div></body>"},
      // Newsletters: tables and lists as flowed text.
      {"<table><tr><td>1</td><td>2</td></tr><tr><th>3</th></tr></table>", L"1 2|3", nullptr},
      {"<ul><li>a<ol><li>b</li><li>c</li></ol></li></ul>", L"・a|\u30001. b|\u30002. c", nullptr},
      {"<h1>T</h1><p style='color:#00f;font-weight:bold;text-align:right'>s</p>", L"T|s", nullptr},
      // Hostile: nothing of these reaches the model.
      {"<script>alert(1)</script><style>p{background:url(http://x/)}</style>ok", L"ok", nullptr},
      {"<img src='http://evil/t.gif' alt='alt'><img src='file:///etc/passwd'><img src='../up.gif'>", L"alt", nullptr},
      {"<iframe src='http://x'>f</iframe><object data='x'>o</object><form><input value=v>t</form>", L"t", nullptr},
      {"<a href='javascript:alert(1)' onclick='x()'>j</a>", L"j", L"<div>j</div>"},
      {"<div style='display:none'>hidden</div>shown", L"shown", nullptr},
      {"<svg><text>s</text></svg>after", L"after", nullptr},
  };
  for (const LoadCase& c : cases) {
    Document d;
    d.LoadHtml(std::string(c.html));
    EXPECT_EQ(Shape(d), c.shape) << c.html;
    if (c.html_out) {
      EXPECT_EQ(d.ToHtml(), c.html_out) << c.html;
    }
    Document again;
    again.LoadHtml(d.ToHtml());
    EXPECT_TRUE(again.SameAs(d)) << "load, write, load differs for " << c.html;
  }
}

TEST(MarkwrightDocument, FormatsAndStylesComeFromTheMarkup) {
  Document d;
  d.LoadHtml(std::string("<center><font color='#123456' size=1><b>x</b></font></center><h1>h</h1>"
                         "<span style='font-size:32px;text-decoration:underline line-through'>c</span>"));
  ASSERT_EQ(Shape(d), L"x|h|c");
  EXPECT_EQ(d.FormatAt(0).color, 0x563412u);
  EXPECT_EQ(d.FormatAt(0).size, 1);
  EXPECT_EQ(d.FormatAt(0).attrs, static_cast<uint32_t>(markwright::kBold));
  EXPECT_EQ(d.ParagraphAt(0).align, 2);
  EXPECT_EQ(d.FormatAt(2).size, 6);
  EXPECT_EQ(d.ParagraphAt(2).align, 1);
  EXPECT_EQ(d.FormatAt(4).attrs, static_cast<uint32_t>(markwright::kUnderline | markwright::kStrike));
  EXPECT_EQ(d.FormatAt(4).size, 6);  // 32 pixels is HTML's size 6
}

TEST(MarkwrightDocument, DeepAndLargeDocumentsStayBounded) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<div><b>";
  deep += "bottom";
  Document d;
  d.LoadHtml(deep);
  EXPECT_EQ(Shape(d), L"bottom");
  // A tag with a hundred thousand attributes keeps its name only.
  std::string attrs = "<b";
  for (int i = 0; i < 100000; ++i) attrs += " a" + std::to_string(i) + "=1";
  const auto start = std::chrono::steady_clock::now();
  d.LoadHtml(attrs + ">bold");
  // Quadratic in the attributes it took minutes; kept to its name, milliseconds.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(Shape(d), L"bold");
  EXPECT_EQ(d.FormatAt(0).attrs, static_cast<uint32_t>(markwright::kBold));
  std::string huge(3u * 1024 * 1024, 'x');
  d.LoadHtml(huge);
  EXPECT_LE(d.Length(), markwright::kMaxChars);
  EXPECT_GT(d.Length(), 1000000u);
}

TEST(MarkwrightDocument, LinkKindsByPrefix) {
  const std::pair<const wchar_t*, int> cases[] = {{L"", 0}, {L"MailTo:a@b", 1}, {L"tel:117", 3},
                                                  {L"IMAGE:x", 6}, {L"http://x", 2}, {L"telx", 2}};
  for (const auto& [link, kind] : cases) EXPECT_EQ(markwright::LinkKind(link), kind) << link;
}

}  // namespace
