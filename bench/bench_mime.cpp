// MIME decoding and encoding beside GMime 3, in one run, on the same bytes:
// the received-mail corpus of the tests, decoded whole (header fields and
// text bodies as Unicode) and header only; and one mail with a 300 KB
// attachment encoded. Compare the items/s and bytes/s of each pair.
#include <benchmark/benchmark.h>
#include <gmime/gmime.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/content/EmlCompose.h"
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
