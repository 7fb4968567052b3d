// The fast text steps of the decoder against their byte-at-a-time forms
// (ReferenceCodecs.cpp) over generated text: random bytes, ASCII with
// control and high bytes sprinkled in, and Japanese text in every charset
// cut and damaged at random. Every output must match byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/MimeSupport.h"
#include "engine/content/Pictograph.h"
#include "platform/codepage/CodePage.h"
#include "tests/engine/content/identity/ReferenceCodecs.h"
#include "tests/engine/content/mime/MimeTestSupport.h"

namespace {

std::wstring Bytes(const std::string& s) {
  std::wstring out;
  for (char c : s) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

std::string Hex(const std::string& s) {
  std::string out;
  char buf[4];
  for (char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(c));
    out += buf;
  }
  return out;
}

// Japanese text with half-width kana, extension kanji, pictographs, user
// pairs and a pair the code page lacks, in each charset the decoder reads.
std::vector<std::string> Samples() {
  std::string sjis;
  content::WStringToSjis(L"明日の会議は十時からです。ｶﾞｷﾞｸﾞﾊﾟ｡「」ABC abc\n①ⅰ髙﨑\r\n", sjis);
  sjis += "\xF8\x9F\xF9\x40\xFA\x40\xED\x40\xF0\x40\xF2\x41\x85\x40\x81\x7F.\r\n";
  std::string jis, euc, utf8(sjis.size() * 3, '\0');
  content::SjisToJis(sjis, jis);
  content::SjisToEucAppend(sjis, euc);
  std::wstring wide = qv::Cp932ToWide(sjis);
  utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                      utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)));
  return {sjis, jis, euc, utf8, jis + sjis + euc};
}

std::vector<std::string> Inputs() {
  std::mt19937 rng(20261209);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  const std::vector<std::string> samples = Samples();
  const std::string sprinkles[] = {"\x1B$B", "\x1B(B", "\x1B(I", "\x1B$@", "\x1B(J", "\x1B", "\r", "\n", "\r\n",
                                   std::string(1, '\0'), "\x0E", "\x0F", "\x8E", "\x8F", "\xA4\xA2"};
  std::vector<std::string> out = {"", "\n", "\r\n", "\r", std::string(1, '\0'), "a\r\n\r\n"};
  for (int k = 0; k < 3000; ++k) {
    std::string s;
    size_t length = pick(k % 50 == 0 ? 5000 : 400);
    switch (k % 4) {
      case 0:  // any bytes
        while (s.size() < length) s.push_back(static_cast<char>(rng()));
        break;
      case 1:  // ASCII lines with a few of anything else
        while (s.size() < length) {
          size_t what = pick(100);
          if (what < 3) s += sprinkles[pick(std::size(sprinkles))];
          else if (what == 3) s.push_back('\0');
          else if (what < 6) s.push_back(static_cast<char>(0x80 | rng()));
          else s.push_back(static_cast<char>(' ' + pick(95)));
        }
        break;
      default: {  // Japanese cut at random points, now and then damaged
        const std::string& sample = samples[pick(samples.size())];
        while (s.size() < length + sample.size()) s += sample;
        size_t from = pick(sample.size());
        s = s.substr(from, length);
        for (size_t hits = pick(4); hits > 0 && !s.empty(); --hits) s[pick(s.size())] = static_cast<char>(rng());
      }
    }
    out.push_back(s);
  }
  return out;
}

using Step = std::function<std::wstring(const std::string&)>;

std::wstring InPlace(std::string s, void (*step)(std::string&)) {
  step(s);
  return Bytes(s);
}

// The platform conversion with an output of `room` units, as a record of
// its answer, its error and the units it wrote.
std::wstring Converted(bool fast, UINT codePage, const std::string& s, DWORD flags, size_t room) {
  if (s.empty()) return L"";
  std::wstring buffer(room, L'#');
  wchar_t* out = room ? buffer.data() : nullptr;
  auto n = static_cast<int>(s.size());
  DWORD error = 0;
  int made;
  if (fast) {
    SetLastError(0);
    made = MultiByteToWideChar(codePage, flags, s.data(), n, out, static_cast<int>(room));
    error = made == 0 ? GetLastError() : 0;
  } else {
    made = reference::ToWideChar(codePage, flags, s.data(), n, out, static_cast<int>(room), &error);
  }
  return std::to_wstring(made) + L"/" + std::to_wstring(error) + L"/" + buffer;
}

struct Pair {
  std::string name;
  Step fast;
  Step reference;
};

TEST(DecodeIdentity, FastStepsMatchTheirReference) {
  std::vector<Pair> pairs = {
      {"CR LF to LF",
       [](const std::string& s) {
         std::string out;
         EmlCompose().replace0D0Ato0A(s, out);
         return Bytes(out);
       },
       [](const std::string& s) { return Bytes(reference::CrLfToLf(s)); }},
      {"charset guess", [](const std::string& s) { return std::to_wstring(content::DetectCharset(s)); },
       [](const std::string& s) { return std::to_wstring(reference::DetectCharset(s)); }},
      {"charset guess of HTML", [](const std::string& s) { return std::to_wstring(content::DetectCharsetHtml(s)); },
       [](const std::string& s) { return std::to_wstring(reference::DetectCharsetHtml(s)); }},
      {"ISO-2022-JP reader", [](const std::string& s) { return InPlace(s, content::JisToSjis); },
       [](const std::string& s) { return InPlace(s, reference::JisToSjis); }},
      {"EUC-JP reader", [](const std::string& s) { return InPlace(s, content::EucToSjis); },
       [](const std::string& s) { return InPlace(s, reference::EucToSjis); }},
      {"unmappable pairs", [](const std::string& s) { return InPlace(s, content::ReplaceUnmappableSjis); },
       [](const std::string& s) { return InPlace(s, reference::ReplaceUnmappableSjis); }},
      {"widening", [](const std::string& s) { return content::WidenSjis(s); }, reference::WidenSjis},
      {"widening with CR LF", [](const std::string& s) { return content::WidenSjisCrLf(s); },
       reference::WidenSjisCrLf},
      {"length widened with CR LF", [](const std::string& s) { return std::to_wstring(content::WidenedCrLfLength(s)); },
       [](const std::string& s) { return std::to_wstring(reference::WidenSjisCrLf(s).size()); }},
  };
  // Counting, a short output and strict reading, in both code pages.
  for (UINT page : {CP_ACP, CP_UTF8}) {
    for (int mode = 0; mode < 4; ++mode) {
      auto convert = [page, mode](bool fast, const std::string& s) {
        return Converted(fast, page, s, mode >= 2 ? MB_ERR_INVALID_CHARS : 0,
                         mode == 1 ? s.size() / 3 + 1 : mode == 2 ? s.size() : 0);
      };
      const char* modes[] = {", counted", ", short output", ", strict", ", strict count"};
      pairs.push_back({(page == CP_UTF8 ? "UTF-8" : "CP932") + std::string(modes[mode]),
                       [convert](const std::string& s) { return convert(true, s); },
                       [convert](const std::string& s) { return convert(false, s); }});
    }
  }
  const std::vector<std::string> inputs = Inputs();
  for (const Pair& pair : pairs) {
    for (const std::string& in : inputs) {
      if (pair.fast(in) != pair.reference(in)) {
        ADD_FAILURE() << pair.name << " differs on: " << Hex(in);
        break;
      }
    }
  }
}

// Outgoing bodies with long lines, line ends and "<...>" tokens near the
// break columns: the one-pass line breaking gives what breaking in place gave.
TEST(DecodeIdentity, LineBreakingMatchesTheReference) {
  std::mt19937 rng(9122026);
  const wchar_t alphabet[] = {L'a', L'a', L'a', L'a', L'<', L'>', L'\n', L'\r', L'漢', L' '};
  for (int k = 0; k < 2000; ++k) {
    std::wstring text(rng() % 2400, L'a');
    const bool sparse = k % 2 == 0;  // few line ends: many breaks
    for (wchar_t& c : text) {
      c = alphabet[rng() % std::size(alphabet)];
      if (sparse && (c == L'\n' || c == L'\r') && rng() % 50 != 0) c = L'b';
    }
    std::wstring fast = text, slow = text;
    EmlCompose().checkSendBodyReturnCode(fast);
    reference::BreakLongLines(slow);
    if (fast != slow) {
      ADD_FAILURE() << "line breaking differs on a text of " << text.size() << " characters (case " << k << ")";
      break;
    }
  }
}

// A single-part mail of each charset label and text kind: the body decoded
// is the reference steps applied to the part's bytes.
TEST(DecodeIdentity, TextBodiesMatchTheReference) {
  const std::vector<std::string> inputs = Inputs();
  int checked = 0;
  for (const char* charset : {"", "Shift_JIS", "ISO-2022-JP", "EUC-JP", "UTF-8", "us-ascii"}) {
    for (bool html : {false, true}) {
      for (size_t k = 0; k < inputs.size(); k += 7) {
        std::string raw = std::string("Content-Type: text/") + (html ? "html" : "plain") +
                          (*charset ? std::string("; charset=") + charset : std::string()) + "\r\n\r\n" + inputs[k];
        Email mail;
        ASSERT_TRUE(EmlCompose().Decode(&mail, &raw));
        std::string bytes = reference::CrLfToLf(inputs[k]);
        if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
        std::wstring expected = reference::TextBody(bytes, content::WidenSjis(charset), html);
        if (html && expected.size() >= 2 && expected.ends_with(L"\r\n")) expected.resize(expected.size() - 2);
        if ((html ? mail.htmlBody : mail.body) != expected) {
          ADD_FAILURE() << charset << (html ? " html" : " plain") << " differs on: " << Hex(inputs[k]);
          return;
        }
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 5000);
}

// Filing decodes a mail without making its plain text: every other field,
// and whether the body has text, must be what a full decode gives. Mails:
// the received-mail corpora, and generated multipart mails mixing plain and
// HTML texts, attachments and forwarded mails around generated bodies.
std::vector<std::string> FilingMails() {
  std::vector<std::string> mails;
  const std::filesystem::path mime = mimetest::SourceDir();
  const std::filesystem::path top = mime.parent_path().parent_path().parent_path().parent_path();
  for (const auto& dir : {mime / "corpus", top / "fuzz/corpus/fuzz_decode"}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      mails.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  EXPECT_GT(mails.size(), 20u) << "the corpora are missing";
  const std::vector<std::string> inputs = Inputs();
  std::mt19937 rng(1209);
  const char* parts[] = {"text/plain", "text/plain; charset=iso-2022-jp", "text/html", "application/octet-stream",
                         "message/rfc822", "text/plain; name=\"note.txt\""};
  for (int k = 0; k < 1500; ++k) {
    std::string mail = "From: a@example.jp\r\nSubject: m" + std::to_string(k) +
                       "\r\nContent-Type: multipart/" + (k % 3 == 0 ? "alternative" : "mixed") +
                       "; boundary=\"b\"\r\n\r\n";
    for (size_t n = 1 + rng() % 4; n-- > 0;) {
      const std::string type = parts[rng() % std::size(parts)];
      mail += "--b\r\nContent-Type: " + type + "\r\n";
      if (rng() % 4 == 0) mail += "Content-Disposition: attachment; filename=\"f.bin\"\r\n";
      mail += "\r\n";
      if (type == "message/rfc822") mail += "Subject: inner\r\nContent-Type: text/plain\r\n\r\n";
      mail += rng() % 5 == 0 ? std::string() : inputs[rng() % inputs.size()];
      mail += "\r\n";
    }
    mail += "--b--\r\n";
    mails.push_back(std::move(mail));
  }
  return mails;
}

// What filing may not change: every field but the body's text.
std::wstring Fields(const Email& m) {
  std::wstring out = m.fromName + L"|" + m.fromAddress + L"|" + m.replyTo + L"|" + m.subject + L"|" + m.messageId +
                     L"|" + m.inReplyTo + L"|" + m.references + L"|" + m.dateText + L"|" + m.timeZone + L"|" +
                     m.mailingList + L"|" + m.feedDownload + L"|" + m.htmlBody + L"|" +
                     std::to_wstring(m.date.wYear * 10000 + m.date.wMonth * 100 + m.date.wDay) + L"|" +
                     std::to_wstring(m.isPictureMail) + std::to_wstring(m.isFeed) + std::to_wstring(m.isSimple) +
                     (m.body.empty() ? L"|no text|" : L"|text|");
  for (const auto* list : {&m.to, &m.cc, &m.bcc}) {
    for (const std::wstring& address : *list) out += address + L";";
  }
  for (const auto* parts : {&m.attachments, &m.inlineParts}) {
    for (const Enclosure& e : *parts) {
      // A picture named by its content id alone gets a name made from the clock.
      const bool madeName = !e.contentId.empty() && e.name.empty();
      out += (madeName ? L"(made)" + e.contentId : e.displayName) + L"|" + e.mediaType + L"/" + e.mediaSubtype + L"|" + std::to_wstring(e.offset) + L"+" +
             std::to_wstring(e.length) + L"|" + std::to_wstring(e.index) + L";";
    }
    out += L"#";
  }
  return out;
}

TEST(DecodeIdentity, FilingKeepsEverythingButTheBodyText) {
  int checked = 0, withText = 0;
  for (const std::string& mail : FilingMails()) {
    std::string fullRaw = mail, filingRaw = mail;
    Email full, filing;
    // Filing is the full decode plus a fixed Date line in the raw text.
    const bool fullDecoded = EmlCompose().Decode(&full, &fullRaw);
    ASSERT_EQ(EmlCompose().DecodeForSave(&filing, &filingRaw), fullDecoded);
    if (!fullDecoded) continue;
    if (Fields(filing) != Fields(full)) {
      ADD_FAILURE() << "filing differs on: " << Hex(mail.substr(0, 400));
      return;
    }
    ++checked;
    withText += full.body.empty() ? 0 : 1;
  }
  EXPECT_GT(checked, 1000);
  EXPECT_GT(withText, 500);
}

// What the fast steps take for granted about the code page: its lead bytes
// are the Shift_JIS ones, and only the bytes CR and LF widen to CR and LF.
TEST(DecodeIdentity, CodePageKeepsLineEndsAndLeads) {
  for (int b = 0; b < 256; ++b) EXPECT_EQ(IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE, content::IsSjisLead(b)) << b;
  for (int code = 1; code < 0x10000; ++code) {
    wchar_t u;
    if (code == '\r' || code == '\n' || !qv::Cp932DecodeChar(static_cast<uint16_t>(code), &u)) continue;
    EXPECT_TRUE(u != L'\r' && u != L'\n') << code;
  }
}

}  // namespace
