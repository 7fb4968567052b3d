// MIME decoding and encoding beside GMime 3, in one run, on the same bytes:
// the received-mail corpus of the tests, decoded whole (header fields and
// text bodies as Unicode) and header only; one generated mail of each body
// kind decoded as the classifier files it (BM_DecodeForSave); and one mail
// with a 300 KB attachment encoded. Compare the items/s and bytes/s of each
// pair.
#include <benchmark/benchmark.h>
#include <gmime/gmime.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/content/Base64.h"
#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/JapaneseCharset.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/testing/Seams.h"

namespace {

std::filesystem::path SourceDir() {
  const char* top = std::getenv("QV_SOURCE_DIR");
  return top != nullptr ? std::filesystem::path(top) : std::filesystem::path(__FILE__).parent_path().parent_path();
}

// The corpus, each mail twice as large a header block would make it is not
// needed: the mails are as received.
const std::vector<std::string>& Corpus() {
  static std::vector<std::string> mails = [] {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(SourceDir() / "tests/engine/content/mime/corpus")) {
      if (entry.path().extension() != ".eml") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream s;
      s << in.rdbuf();
      out.push_back(s.str());
    }
    return out;
  }();
  return mails;
}

size_t CorpusBytes() {
  size_t n = 0;
  for (const auto& m : Corpus()) n += m.size();
  return n;
}

void Report(benchmark::State& state, size_t messages, size_t bytes) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * messages));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_Decode(benchmark::State& state) {
  EmlCompose eml;
  for (auto _ : state) {
    for (const auto& raw : Corpus()) {
      Email mail;
      eml.Decode(&mail, &raw);
      benchmark::DoNotOptimize(mail.body.data());
    }
  }
  Report(state, Corpus().size(), CorpusBytes());
}
BENCHMARK(BM_Decode);

void BM_DecodeHeader(benchmark::State& state) {
  EmlCompose eml;
  for (auto _ : state) {
    for (const auto& raw : Corpus()) {
      Email mail;
      eml.DecodeHeader(&mail, &raw);
      benchmark::DoNotOptimize(mail.subject.data());
    }
  }
  Report(state, Corpus().size(), CorpusBytes());
}
BENCHMARK(BM_DecodeHeader);

GMimeMessage* GMimeParse(const std::string& raw) {
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(parser);
  g_object_unref(stream);
  return message;
}

// Every text part's content converted to Unicode (UTF-8), as a reader does.
void GMimeTexts(GMimeObject* parent, GMimeObject* part, gpointer data) {
  (void)parent;
  auto* total = static_cast<size_t*>(data);
  if (GMIME_IS_TEXT_PART(part)) {
    char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
    if (text != nullptr) {
      *total += strlen(text);
      g_free(text);
    }
  }
}

void BM_GMimeDecode(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto& raw : Corpus()) {
      GMimeMessage* message = GMimeParse(raw);
      if (message == nullptr) continue;
      size_t total = 0;
      const char* subject = g_mime_message_get_subject(message);
      InternetAddressList* from = g_mime_message_get_from(message);
      char* fromText = internet_address_list_to_string(from, nullptr, FALSE);
      g_free(fromText);
      GDateTime* date = g_mime_message_get_date(message);
      benchmark::DoNotOptimize(date);
      benchmark::DoNotOptimize(subject);
      g_mime_message_foreach(message, GMimeTexts, &total);
      benchmark::DoNotOptimize(total);
      g_object_unref(message);
    }
  }
  Report(state, Corpus().size(), CorpusBytes());
}
BENCHMARK(BM_GMimeDecode);

void BM_GMimeDecodeHeader(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto& raw : Corpus()) {
      GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
      GMimeParser* parser = g_mime_parser_new_with_stream(stream);
      GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
      if (message != nullptr) {
        benchmark::DoNotOptimize(g_mime_message_get_subject(message));
        g_object_unref(message);
      }
      g_object_unref(parser);
      g_object_unref(stream);
    }
  }
  Report(state, Corpus().size(), CorpusBytes());
}
BENCHMARK(BM_GMimeDecodeHeader);

// ---------------------------------------------------------------- receiving one mail

// Mails as the classifier files them, one body kind each: the decode a
// received mail goes through (DecodeForSave) beside GMime's parse and text
// conversion of the same bytes.
const wchar_t kJapaneseLine[] = L"明日の会議は十時からです。資料ｶﾀｶﾅも確認してください、よろしくお願いします。ABC 123";

std::string AsciiBody(size_t bytes) {
  std::string body;
  body.reserve(bytes + 80);
  for (int line = 0; body.size() < bytes; ++line) {
    std::string text = "Line " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog, again and again.";
    text.resize(75, '.');
    body += text + "\r\n";
  }
  return body;
}

// Japanese lines, each converted on its own as a mailer writes them.
std::string JapaneseBody(size_t bytes, std::string (*convert)(const std::wstring&)) {
  std::string body;
  while (body.size() < bytes) body += convert(kJapaneseLine) + "\r\n";
  return body;
}

std::string ToJis(const std::wstring& w) { return content::WStringToJis(w); }
std::string ToSjis(const std::wstring& w) {
  std::string s;
  content::WStringToSjis(w, s);
  return s;
}
std::string ToEuc(const std::wstring& w) {
  std::string s = ToSjis(w);
  content::SjisToEuc(s);
  return s;
}
std::string ToUtf8(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) {
    auto u = static_cast<uint32_t>(c);
    if (u < 0x80) {
      s += static_cast<char>(u);
    } else if (u < 0x800) {
      s += static_cast<char>(0xC0 | u >> 6);
      s += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      s += static_cast<char>(0xE0 | u >> 12);
      s += static_cast<char>(0x80 | (u >> 6 & 0x3F));
      s += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return s;
}

std::string Base64Lines(std::string_view bytes) {
  std::string flat = content::Base64Encode(bytes), out;
  for (size_t at = 0; at < flat.size(); at += 76) out += flat.substr(at, 76) + "\r\n";
  return out;
}

std::string QuotedPrintable(std::string_view bytes) {
  std::string out;
  size_t column = 0;
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\r\n";
      column = 0;
      continue;
    }
    if (column >= 72) {
      out += "=\r\n";
      column = 0;
    }
    if (c >= 0x80 || c == '=') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "=%02X", c);
      out += hex;
      column += 3;
    } else {
      out += static_cast<char>(c);
      ++column;
    }
  }
  return out;
}

std::string Mail(const std::string& typeLines, const std::string& body) {
  return "From: taro@example.jp\r\nTo: hanako@example.jp\r\nSubject: bench\r\n"
         "Date: Wed, 5 Aug 2026 10:20:30 +0900\r\nMIME-Version: 1.0\r\n" +
         typeLines + "\r\n" + body;
}

std::string MultipartMail() {
  std::string text = JapaneseBody(4 * 1024, ToJis);
  return Mail("Content-Type: multipart/mixed; boundary=\"b1\"\r\n",
              "--b1\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" + text +
                  "--b1\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
                  "Content-Transfer-Encoding: base64\r\n\r\n" +
                  Base64Lines(std::string(300 * 1024, 'x')) + "--b1--\r\n");
}

struct ReceivedMail {
  const char* name;
  std::string raw;
};

const std::vector<ReceivedMail>& ReceivedMails() {
  static const std::vector<ReceivedMail> mails = [] {
    const std::string plain = "Content-Type: text/plain\r\n";
    return std::vector<ReceivedMail>{
        {"ascii_2M", Mail("", AsciiBody(2 * 1024 * 1024))},
        {"ascii_4K", Mail("", AsciiBody(4 * 1024))},
        {"jis_200K", Mail("Content-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n",
                          JapaneseBody(200 * 1024, ToJis))},
        {"sjis_8bit_200K", Mail("Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n",
                                JapaneseBody(200 * 1024, ToSjis))},
        {"sjis_unlabelled_200K", Mail("", JapaneseBody(200 * 1024, ToSjis))},
        {"euc_200K", Mail("Content-Type: text/plain; charset=EUC-JP\r\nContent-Transfer-Encoding: 8bit\r\n",
                          JapaneseBody(200 * 1024, ToEuc))},
        {"utf8_base64_200K", Mail("Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n",
                                  Base64Lines(JapaneseBody(150 * 1024, ToUtf8)))},
        {"sjis_qp_200K",
         Mail("Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: quoted-printable\r\n",
              QuotedPrintable(JapaneseBody(70 * 1024, ToSjis)))},
        {"multipart_300K_attachment", MultipartMail()},
    };
  }();
  return mails;
}

void BM_DecodeForSave(benchmark::State& state) {
  const ReceivedMail& mail = ReceivedMails()[static_cast<size_t>(state.range(0))];
  state.SetLabel(mail.name);
  EmlCompose eml;
  // The classifier holds the raw mail already: only its bytes are restored.
  std::string raw;
  for (auto _ : state) {
    raw = mail.raw;
    Email decoded;
    eml.DecodeForSave(&decoded, &raw);
    benchmark::DoNotOptimize(decoded.body.data());
  }
  Report(state, 1, mail.raw.size());
}
BENCHMARK(BM_DecodeForSave)->DenseRange(0, 8);

void BM_GMimeDecodeForSave(benchmark::State& state) {
  const ReceivedMail& mail = ReceivedMails()[static_cast<size_t>(state.range(0))];
  state.SetLabel(mail.name);
  for (auto _ : state) {
    GMimeMessage* message = GMimeParse(mail.raw);
    size_t total = 0;
    if (message != nullptr) {
      g_mime_message_foreach(message, GMimeTexts, &total);
      g_object_unref(message);
    }
    benchmark::DoNotOptimize(total);
  }
  Report(state, 1, mail.raw.size());
}
BENCHMARK(BM_GMimeDecodeForSave)->DenseRange(0, 8);

constexpr size_t kAttachmentBytes = 300 * 1024;

std::string AttachmentBytes() {
  std::string bytes(kAttachmentBytes, '\0');
  uint32_t x = 12345;
  for (auto& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

void BM_Encode300K(benchmark::State& state) {
  auto root = std::filesystem::temp_directory_path() / "qv-bench-mime";
  std::filesystem::create_directories(root / "Files");
  std::ofstream(root / "Files" / "data.bin", std::ios::binary) << AttachmentBytes();
  qv::SetDeviceRoot(root.string());
  Email mail;
  mail.fromAddress = L"taro@example.jp";
  mail.fromName = L"山田太郎";
  mail.to = {L"hanako@example.jp"};
  mail.subject = L"資料を送ります";
  mail.body = L"よろしくお願いします。\r\n";
  Enclosure file;
  file.folder = L"\\Files\\";
  file.name = L"data.bin";
  mail.attachments = {file};
  EmlCompose eml;
  size_t bytes = 0;
  for (auto _ : state) {
    std::string out;
    eml.Encode(&mail, &out);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_Encode300K);

void BM_GMimeEncode300K(benchmark::State& state) {
  const std::string data = AttachmentBytes();
  size_t bytes = 0;
  for (auto _ : state) {
    GMimeMessage* message = g_mime_message_new(TRUE);
    g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, "山田太郎", "taro@example.jp");
    g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_TO, nullptr, "hanako@example.jp");
    g_mime_message_set_subject(message, "資料を送ります", "iso-2022-jp");
    GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
    GMimeTextPart* text = g_mime_text_part_new_with_subtype("plain");
    g_mime_text_part_set_text(text, "よろしくお願いします。\n");
    g_mime_multipart_add(mixed, GMIME_OBJECT(text));
    GMimePart* file = g_mime_part_new_with_type("application", "octet-stream");
    g_mime_part_set_filename(file, "data.bin");
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(data.data(), data.size());
    GMimeDataWrapper* wrapper = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_part_set_content(file, wrapper);
    g_mime_part_set_content_encoding(file, GMIME_CONTENT_ENCODING_BASE64);
    g_mime_multipart_add(mixed, GMIME_OBJECT(file));
    g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed));
    GMimeStream* out = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, out);
    bytes = g_mime_stream_length(out);
    g_object_unref(out);
    g_object_unref(wrapper);
    g_object_unref(stream);
    g_object_unref(file);
    g_object_unref(text);
    g_object_unref(mixed);
    g_object_unref(message);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_GMimeEncode300K);

}  // namespace

int main(int argc, char** argv) {
  g_mime_init();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_mime_shutdown();
  return 0;
}
