// Mail text throughput beside what a user would pick instead: CP932 through
// glibc's iconv, base64 through OpenSSL's EVP block codec. Ratios matter,
// not absolute times; each pair runs over the same bytes in one run.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "engine/public/content/CharsetText.h"
#include "engine/content/HeaderWords.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/MailCodec.h"
#include "platform/codepage/CodePage.h"

using namespace content;

namespace {

// A Japanese mail body: kanji, kana, half-width kana, ASCII and line ends.
const std::wstring& SampleWide() {
  static const std::wstring text = [] {
    const std::wstring para =
        L"お世話になっております。来週の打ち合わせの件でご連絡いたします。\n"
        L"日時：１２月１０日（水）午後３時から、場所は本社３階の会議室です。\n"
        L"資料は添付のファイル(meeting-2008.pdf)をご覧ください。ｶﾀｶﾅ ﾃｽﾄ もあります。\n"
        L"Please reply by Friday. よろしくお願いいたします。\n\n";
    std::wstring all;
    while (all.size() < 32 * 1024) all += para;
    return all;
  }();
  return text;
}

const std::string& SampleSjis() {
  static const std::string s = [] {
    std::string out;
    WStringToSjis(SampleWide(), out);
    return out;
  }();
  return s;
}

const std::string& SampleBytes() {
  static const std::string s = [] {
    std::string b(96 * 1024, '\0');
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>((i * 131 + (i >> 7)) & 0xFF);
    return b;
  }();
  return s;
}

void SetBytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// --- CP932 to wide text and back

void Cp932ToWide_Ours(benchmark::State& state) {
  const std::string& in = SampleSjis();
  std::wstring out;
  for (auto _ : state) {
    MultiByteToWString(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, in.size());
}
BENCHMARK(Cp932ToWide_Ours);

void Cp932ToWide_PlatformDirect(benchmark::State& state) {
  const std::string& in = SampleSjis();
  for (auto _ : state) {
    std::wstring out = qv::Cp932ToWide(in);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, in.size());
}
BENCHMARK(Cp932ToWide_PlatformDirect);

void IconvRun(benchmark::State& state, const char* to, const char* from, const char* in, size_t inBytes,
              size_t outBytes) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv_open failed");
    return;
  }
  std::vector<char> out(outBytes);
  for (auto _ : state) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    size_t srcLeft = inBytes;
    char* dst = out.data();
    size_t dstLeft = out.size();
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  SetBytes(state, inBytes);
}

void Cp932ToWide_Iconv(benchmark::State& state) {
  const std::string& in = SampleSjis();
  IconvRun(state, "WCHAR_T", "CP932", in.data(), in.size(), in.size() * sizeof(wchar_t) + 16);
}
BENCHMARK(Cp932ToWide_Iconv);

void WideToCp932_Ours(benchmark::State& state) {
  const std::wstring& in = SampleWide();
  std::string out;
  for (auto _ : state) {
    WStringToSjis(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, SampleSjis().size());
}
BENCHMARK(WideToCp932_Ours);

void WideToCp932_PlatformDirect(benchmark::State& state) {
  const std::wstring& in = SampleWide();
  for (auto _ : state) {
    std::string out = qv::WideToCp932(in);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, SampleSjis().size());
}
BENCHMARK(WideToCp932_PlatformDirect);

void WideToCp932_Iconv(benchmark::State& state) {
  const std::wstring& in = SampleWide();
  IconvRun(state, "CP932", "WCHAR_T", reinterpret_cast<const char*>(in.data()), in.size() * sizeof(wchar_t),
           in.size() * 2 + 16);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * SampleSjis().size()));
}
BENCHMARK(WideToCp932_Iconv);

// --- ISO-2022-JP

void SjisToJis_Ours(benchmark::State& state) {
  const std::string& in = SampleSjis();
  std::string out;
  for (auto _ : state) {
    out.clear();
    SjisToJis(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, in.size());
}
BENCHMARK(SjisToJis_Ours);

void SjisToJis_Iconv(benchmark::State& state) {
  const std::string& in = SampleSjis();
  IconvRun(state, "ISO-2022-JP//TRANSLIT", "CP932", in.data(), in.size(), in.size() * 4 + 16);
}
BENCHMARK(SjisToJis_Iconv);

void JisToSjis_Ours(benchmark::State& state) {
  std::string jis;
  SjisToJis(SampleSjis(), jis);
  std::string work;
  for (auto _ : state) {
    work = jis;
    JisToSjis(work);
    benchmark::DoNotOptimize(work.data());
  }
  SetBytes(state, jis.size());
}
BENCHMARK(JisToSjis_Ours);

void JisToSjis_Iconv(benchmark::State& state) {
  static const std::string jis = [] {
    std::string out;
    SjisToJis(SampleSjis(), out);
    return out;
  }();
  IconvRun(state, "CP932", "ISO-2022-JP", jis.data(), jis.size(), jis.size() + 16);
}
BENCHMARK(JisToSjis_Iconv);

// --- base64 and quoted-printable

void Base64Encode_Ours(benchmark::State& state) {
  const std::string& in = SampleBytes();
  std::string out;
  for (auto _ : state) {
    out.clear();
    Base64Encoder enc;
    enc.put(in, out, true);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, in.size());
}
BENCHMARK(Base64Encode_Ours);

void Base64Encode_OpenSsl(benchmark::State& state) {
  const std::string& in = SampleBytes();
  std::vector<unsigned char> out(in.size() * 4 / 3 + 8);
  for (auto _ : state) {
    int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(in.size()));
    benchmark::DoNotOptimize(n);
  }
  SetBytes(state, in.size());
}
BENCHMARK(Base64Encode_OpenSsl);

const std::string& Base64Text() {
  static const std::string s = [] {
    std::string out;
    Base64Encoder enc;
    enc.put(SampleBytes(), out, true);
    return out;
  }();
  return s;
}
// EVP_DecodeBlock takes no line breaks: it gets the same text without them.
const std::string& Base64Flat() {
  static const std::string s = [] {
    std::string out;
    for (char c : Base64Text())
      if (c != '\r' && c != '\n') out.push_back(c);
    return out;
  }();
  return s;
}

void Base64Decode_Ours(benchmark::State& state) {
  const std::string& in = Base64Text();
  std::string out;
  for (auto _ : state) {
    out.clear();
    Base64Decoder dec;
    dec.put(in, out, true);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, SampleBytes().size());
}
BENCHMARK(Base64Decode_Ours);

void Base64Decode_OpenSsl(benchmark::State& state) {
  const std::string& in = Base64Flat();
  std::vector<unsigned char> out(in.size());
  for (auto _ : state) {
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(in.size()));
    benchmark::DoNotOptimize(n);
  }
  SetBytes(state, SampleBytes().size());
}
BENCHMARK(Base64Decode_OpenSsl);

void QpEncode_Ours(benchmark::State& state) {
  std::string jis;
  SjisToJis(SampleSjis(), jis);
  std::string out;
  for (auto _ : state) {
    out.clear();
    QpEncoder enc;
    enc.put(jis, out, true);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, jis.size());
}
BENCHMARK(QpEncode_Ours);

void QpDecode_Ours(benchmark::State& state) {
  std::string jis, qp;
  SjisToJis(SampleSjis(), jis);
  QpEncoder enc;
  enc.put(jis, qp, true);
  std::string out;
  for (auto _ : state) {
    out.clear();
    QpDecoder dec;
    dec.put(qp, out, true);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, jis.size());
}
BENCHMARK(QpDecode_Ours);

// --- encoded words

void EncodeHeaderWords(benchmark::State& state) {
  const std::wstring subject = L"Re: 来週の打ち合わせの件（１２月１０日 午後３時）について";
  for (auto _ : state) {
    std::string out = EncodeHeaderWord(subject, true);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(EncodeHeaderWords);

void DecodeHeaderWordsBench(benchmark::State& state) {
  const std::string value = EncodeHeaderWord(L"Re: 来週の打ち合わせの件（１２月１０日 午後３時）について", true);
  for (auto _ : state) {
    std::string out = DecodeHeaderWords(value, true);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DecodeHeaderWordsBench);

}  // namespace

BENCHMARK_MAIN();
