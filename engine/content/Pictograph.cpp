#include "engine/content/Pictograph.h"

#include <bitset>
#include <cstring>
#include <new>

#include "engine/public/content/CharsetText.h"
#include "engine/content/JapaneseCharset.h"
#include "platform/base/AsciiScan.h"
#include "platform/codepage/CodePage.h"

namespace content {
namespace {

#define QV_TOKEN(code, name) {code, "<#" name ">", static_cast<int>(sizeof("<#" name ">") - 1)}
constexpr PictographToken kTokens[] = {
    QV_TOKEN(0xF040, "HEART"),     QV_TOKEN(0xF041, "CLOCK"),     QV_TOKEN(0xF042, "TELEPHONE"),
    QV_TOKEN(0xF043, "CUP"),       QV_TOKEN(0xF044, "STAR"),      QV_TOKEN(0xF045, "VSEL"),
    QV_TOKEN(0xF046, "HSEL"),      QV_TOKEN(0xF047, "DENPA"),     QV_TOKEN(0xF048, "FINE"),
    QV_TOKEN(0xF049, "RAIN"),      QV_TOKEN(0xF04A, "CLOUD"),     QV_TOKEN(0xF04B, "TEAR"),
    QV_TOKEN(0xF04C, "SMILE"),     QV_TOKEN(0xF04D, "KISS"),      QV_TOKEN(0xF04E, "MELODY"),
    QV_TOKEN(0xF04F, "CAR"),       QV_TOKEN(0xF050, "TRAIN"),     QV_TOKEN(0xF051, "PLANE"),
    QV_TOKEN(0xF052, "BIKE"),      QV_TOKEN(0xF053, "HOME"),      QV_TOKEN(0xF054, "BUIL"),
    QV_TOKEN(0xF055, "PEACE"),     QV_TOKEN(0xF056, "DINNER"),    QV_TOKEN(0xF057, "GLASS"),
    QV_TOKEN(0xF058, "CRY"),       QV_TOKEN(0xF059, "TULIP"),     QV_TOKEN(0xF05A, "BASEBALL"),
    QV_TOKEN(0xF05B, "BALL"),      QV_TOKEN(0xF05C, "PUNCH"),     QV_TOKEN(0xF05D, "THUNDER"),
    QV_TOKEN(0xF05E, "ANGRY"),     QV_TOKEN(0xF05F, "BEER"),      QV_TOKEN(0xF060, "NOTE"),
    QV_TOKEN(0xF061, "PEN"),       QV_TOKEN(0xF062, "DOKURO"),    QV_TOKEN(0xF063, "MAIL"),
    QV_TOKEN(0xF064, "NOSMOKING"), QV_TOKEN(0xF065, "BELL"),      QV_TOKEN(0xF066, "FLOWER"),
    QV_TOKEN(0xF067, "SPA"),       QV_TOKEN(0xF068, "MOON"),      QV_TOKEN(0xF069, "FLAG"),
    QV_TOKEN(0xF06A, "MASK"),      QV_TOKEN(0xF06B, "RECORD"),    QV_TOKEN(0xF06C, "MEAT"),
    QV_TOKEN(0xF06D, "DOG"),       QV_TOKEN(0xF06E, "CAT"),       QV_TOKEN(0xF06F, "MONKEY"),
    QV_TOKEN(0xF070, "ELEPHANT"),  QV_TOKEN(0xF071, "TAKO"),      QV_TOKEN(0xF072, "NOODLE"),
    QV_TOKEN(0xF073, "MIC"),       QV_TOKEN(0xF074, "PIKI"),      QV_TOKEN(0xF075, "PIYOPIYO"),
    QV_TOKEN(0xF076, "SLEEP"),     QV_TOKEN(0xF077, "COFFEE"),    QV_TOKEN(0xF078, "TABACCO"),
    QV_TOKEN(0xF079, "AUAU"),      QV_TOKEN(0xF07A, "ONIGIRI"),   QV_TOKEN(0xF07B, "BAG"),
    QV_TOKEN(0xF07C, "UNCHI"),     QV_TOKEN(0xF07D, "TIE"),       QV_TOKEN(0xF07E, "SHIRT"),
    QV_TOKEN(0xF080, "SUIKA"),     QV_TOKEN(0xF081, "ICE"),       QV_TOKEN(0xF082, "BIKINI"),
    QV_TOKEN(0xF083, "HASAMI"),    QV_TOKEN(0xF084, "CHUSHA"),    QV_TOKEN(0xF085, "MARINE"),
    QV_TOKEN(0xF086, "FROG"),      QV_TOKEN(0xF087, "BYEBYE"),    QV_TOKEN(0xF088, "BHEART"),
    QV_TOKEN(0xF089, "DIA"),       QV_TOKEN(0xF08A, "CLUBS"),     QV_TOKEN(0xF08B, "SPADE"),
    QV_TOKEN(0xF08C, "CLIP"),      QV_TOKEN(0xF08D, "SNOWMAN"),   QV_TOKEN(0xF08E, "CAKE"),
    QV_TOKEN(0xF08F, "APPLE"),     QV_TOKEN(0xF090, "PRESENT"),   QV_TOKEN(0xF091, "MONEY"),
    QV_TOKEN(0xF092, "EXIT"),      QV_TOKEN(0xF093, "DOOR"),      QV_TOKEN(0xF094, "OYAJI"),
    QV_TOKEN(0xF095, "PHS"),       QV_TOKEN(0xF096, "HOSHI"),     QV_TOKEN(0xF097, "TICKET"),
    QV_TOKEN(0xF098, "LOVELOVE"),  QV_TOKEN(0xF099, "HIRAMEKI"),  QV_TOKEN(0xF09A, "PETA"),
    QV_TOKEN(0xF09B, "NIKONIKO"),  QV_TOKEN(0xF09C, "TENNIS"),    QV_TOKEN(0xF09D, "MOVIE"),
    QV_TOKEN(0xF09E, "SKI"),       QV_TOKEN(0xF09F, "!!"),        QV_TOKEN(0xF0A0, "!?"),
    QV_TOKEN(0xF0A1, "?"),         QV_TOKEN(0xF0A2, "DOWN"),      QV_TOKEN(0xF0A3, "UP"),
    QV_TOKEN(0xF0A4, "GOOD"),      QV_TOKEN(0xF0A5, "MORIMORI"),  QV_TOKEN(0xF0A6, "CHEART"),
    QV_TOKEN(0xF0A7, "UZUMAKI"),   QV_TOKEN(0xF0A8, "TYPHOON"),   QV_TOKEN(0xF0A9, "SEA"),
    QV_TOKEN(0xF0AA, "SURF"),      QV_TOKEN(0xF0AB, "YAMA"),      QV_TOKEN(0xF0AC, "FUJI"),
    QV_TOKEN(0xF0AD, "CAMP"),      QV_TOKEN(0xF0AE, "OCHIBA"),    QV_TOKEN(0xF0AF, "BUS"),
    QV_TOKEN(0xF0B0, "SOCCER"),    QV_TOKEN(0xF0B1, "BEGINNER"),  QV_TOKEN(0xF0B2, "REW"),
    QV_TOKEN(0xF0B3, "FF"),        QV_TOKEN(0xF0B4, "IMPORTANT"), QV_TOKEN(0xF0B5, "18KIN"),
    QV_TOKEN(0xF0B6, "CAUTION"),   QV_TOKEN(0xF0B7, "RECICLE"),   QV_TOKEN(0xF0B8, "BARI3"),
    QV_TOKEN(0xF0B9, "DEMPA"),     QV_TOKEN(0xF0BA, "PEKE"),      QV_TOKEN(0xF0BB, "COPY"),
    QV_TOKEN(0xF0BC, "REG"),       QV_TOKEN(0xF0BD, "777"),       QV_TOKEN(0xF0BE, "0"),
    QV_TOKEN(0xF0BF, "1"),         QV_TOKEN(0xF0C0, "2"),         QV_TOKEN(0xF0C1, "3"),
    QV_TOKEN(0xF0C2, "4"),         QV_TOKEN(0xF0C3, "5"),         QV_TOKEN(0xF0C4, "6"),
    QV_TOKEN(0xF0C5, "7"),         QV_TOKEN(0xF0C6, "8"),         QV_TOKEN(0xF0C7, "9"),
    QV_TOKEN(0xF0C8, "ARIES"),     QV_TOKEN(0xF0C9, "TAURUS"),    QV_TOKEN(0xF0CA, "GEMINI"),
    QV_TOKEN(0xF0CB, "CANCER"),    QV_TOKEN(0xF0CC, "LEO"),       QV_TOKEN(0xF0CD, "VIRGO"),
    QV_TOKEN(0xF0CE, "LIBLA"),     QV_TOKEN(0xF0CF, "SCORPIO"),   QV_TOKEN(0xF0D0, "OPHIUCHUS"),
    QV_TOKEN(0xF0D1, "SAGITTA"),   QV_TOKEN(0xF0D2, "CAPRICO"),   QV_TOKEN(0xF0D3, "AQUARIUS"),
    QV_TOKEN(0xF0D4, "PISCES"),    QV_TOKEN(0xF0D5, "JIZOU"),     QV_TOKEN(0xF0D6, "MAKUDO"),
    QV_TOKEN(0xF0D7, "MOS"),       QV_TOKEN(0xF0D9, "LOTTE"),     QV_TOKEN(0xF0DB, "DOUTOR"),
    QV_TOKEN(0xF0E0, "PEACH"),     QV_TOKEN(0xF0E3, "!DONKEY"),   QV_TOKEN(0xF0E7, "LAWSON"),
    QV_TOKEN(0xF0E9, "AM/PM"),     QV_TOKEN(0xF0F0, "SEIBU"),     QV_TOKEN(0xF0FC, "85"),
    QV_TOKEN(0xF140, "MOYAI"),     QV_TOKEN(0xF148, "UFJ"),       QV_TOKEN(0xF14D, "EXIT2"),
    QV_TOKEN(0xF150, "TS-CRY"),
};
#undef QV_TOKEN
constexpr size_t kTokenCount = sizeof(kTokens) / sizeof(kTokens[0]);
static_assert(kTokenCount == 163);

// The longest token is 12 characters; a token pair grows by at most that.
constexpr long kTokenGrowth = 12;
// Window after "<" in which a received token must close.
constexpr size_t kTokenLookAhead = 25;

const PictographToken* FindToken(uint16_t code) {
  size_t lo = 0, hi = kTokenCount;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (kTokens[mid].code < code)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo < kTokenCount && kTokens[lo].code == code ? &kTokens[lo] : nullptr;
}

const PictographToken* FindTokenText(std::string_view text) {
  for (const auto& t : kTokens)
    if (text.size() == static_cast<size_t>(t.length) && std::memcmp(text.data(), t.text, text.size()) == 0) return &t;
  return nullptr;
}

// Which pairs of the leads 81-9F and E0-EF the code page cannot convert. Built
// once; the construction of a function-local static is thread-safe.
struct UnmappableTable {
  std::bitset<48 * 256> bits;
  static int LeadSlot(uint8_t lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31; }
  UnmappableTable() {
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
      if (lead == 0xA0) lead = 0xE0;
      for (int trail = 0; trail <= 0xFF; ++trail) {
        bool bad = trail < 0x40 || trail == 0x7F || trail > 0xFC;
        if (!bad) {
          char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
          WCHAR wide[2];
          bad = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pair, 2, wide, 2) <= 0;
        }
        bits[static_cast<size_t>(LeadSlot(static_cast<uint8_t>(lead)) * 256 + trail)] = bad;
      }
    }
  }
};

}  // namespace

const PictographToken* PictographTokens(size_t* count) {
  if (count) *count = kTokenCount;
  return kTokens;
}

bool IsPassThroughPictograph(uint16_t code) {
  return (code >= 0xF89F && code <= 0xF8FC) || (code >= 0xF940 && code <= 0xF949) ||
         (code >= 0xF950 && code <= 0xF952) || (code >= 0xF955 && code <= 0xF957) ||
         (code >= 0xF95B && code <= 0xF95E) || (code >= 0xF972 && code <= 0xF97E) ||
         (code >= 0xF980 && code <= 0xF9FC);
}

bool IsTokenPictograph(uint8_t lead, uint8_t trail) {
  if (IsPassThroughPictograph(lead, trail)) return false;
  bool lead_ok = lead == 0xF0 || lead == 0xF1 || (lead >= 0xF4 && lead <= 0xF9);
  return lead_ok && IsSjisTrail(trail);
}

long PictographTokenLength(std::string_view sjis, int* pairs) {
  size_t n = TextLength(sjis), i = 0;
  long count = 0, lt = 0;
  while (i < n) {
    auto c = static_cast<uint8_t>(sjis[i]);
    if (IsDBCSLeadByte(c) && i + 1 < n) {
      if (IsTokenPictograph(c, static_cast<uint8_t>(sjis[i + 1]))) ++count;
      i += 2;
      continue;
    }
    if (c == '<') ++lt;
    ++i;
  }
  if (pairs) *pairs = static_cast<int>(count);
  if (count == 0) return 0;
  long size = static_cast<long>(n) + kTokenGrowth * count + lt;
  if (size >= 51200) {
    char* probe = new (std::nothrow) char[static_cast<size_t>(size) + 100];
    if (probe == nullptr) return -1;
    delete[] probe;
  }
  return size;
}

void PictographsToTokens(std::string_view sjis, std::string& out, int pairs) {
  size_t n = TextLength(sjis), i = 0;
  int done = 0;
  while (i < n) {
    auto c = static_cast<uint8_t>(sjis[i]);
    if (IsDBCSLeadByte(c)) {
      if (i + 1 >= n) break;
      auto t = static_cast<uint8_t>(sjis[i + 1]);
      const PictographToken* token = nullptr;
      if (IsTokenPictograph(c, t) && done < pairs) {
        ++done;
        token = FindToken(static_cast<uint16_t>(c << 8 | t));
      }
      if (token)
        out.append(token->text, static_cast<size_t>(token->length));
      else
        out.append(sjis.substr(i, 2));
      i += 2;
      continue;
    }
    if (c == '<') out.push_back('<');
    out.push_back(static_cast<char>(c));
    ++i;
  }
}

void TokensToPictographs(std::string& text) {
  size_t n = TextLength(text), r = 0, w = 0;
  char* p = text.data();
  bool keptLt = false;  // the byte written last is a "<" that started no token
  std::string token;
  while (r < n) {
    auto c = static_cast<uint8_t>(p[r]);
    if (IsDBCSLeadByte(c) && r + 1 < n) {
      p[w++] = p[r++];
      p[w++] = p[r++];
      keptLt = false;
      continue;
    }
    if (c != '<') {
      p[w++] = p[r++];
      keptLt = false;
      continue;
    }
    if (keptLt) {  // the second "<" of a doubled one
      ++r;
      keptLt = false;
      continue;
    }
    // Look for ">" within the window, with "#" between and no second "<".
    size_t end = 0;
    bool hash = false;
    size_t limit = r + kTokenLookAhead < n - 1 ? r + kTokenLookAhead : n - 1;
    for (size_t j = r + 1; j <= limit; ++j) {
      if (p[j] == '<') break;
      if (p[j] == '#') hash = true;
      if (p[j] == '>') {
        end = j;
        break;
      }
    }
    const PictographToken* found = nullptr;
    if (end != 0 && hash) {
      token.clear();
      for (size_t j = r; j <= end; ++j)
        if (static_cast<uint8_t>(p[j]) >= 0x20 && static_cast<uint8_t>(p[j]) <= 0x7E) token.push_back(p[j]);
      found = FindTokenText(token);
    }
    if (found) {
      p[w++] = static_cast<char>(found->code >> 8);
      p[w++] = static_cast<char>(found->code & 0xFF);
      r = end + 1;
      keptLt = false;
    } else {
      p[w++] = p[r++];
      keptLt = true;
    }
  }
  text.resize(w);
}

bool IsUnmappableSjis(uint8_t lead, uint8_t trail) {
  static const UnmappableTable table;
  if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF))) return true;
  return table.bits[static_cast<size_t>(UnmappableTable::LeadSlot(lead) * 256 + trail)];
}

namespace {

// What ReplaceUnmappableSjis does with each lead and trail, by
// (lead << 8 | trail): one lookup a pair.
struct ReplacedPairs {
  std::bitset<0x10000> bits;
  ReplacedPairs() {
    for (int c = 0x80; c <= 0xFF; ++c) {
      if (!IsSjisLead(static_cast<uint8_t>(c))) continue;
      for (int t = 0; t <= 0xFF; ++t) {
        auto lead = static_cast<uint8_t>(c), trail = static_cast<uint8_t>(t);
        bool replace;
        if (c == 0xF0 || c == 0xF1 || (c >= 0xF4 && c <= 0xFC))
          replace = !IsSjisTrail(trail);  // pictographs and user-defined characters stay
        else if (c == 0xF2 || c == 0xF3)
          replace = true;
        else
          replace = IsUnmappableSjis(lead, trail);
        bits[static_cast<size_t>(c << 8 | t)] = replace;
      }
    }
  }
};

}  // namespace

void ReplaceUnmappableSjis(std::string& text) {
  static const ReplacedPairs replaced;
  size_t n = TextLength(text), i = 0;
  auto* p = reinterpret_cast<uint8_t*>(text.data());
  while (i < n) {
    uint8_t c = p[i];
    if (c < 0x80) {
      i += qv::AsciiRun<>(text.data() + i, n - i);
      continue;
    }
    // The code page's lead bytes are the Shift_JIS ones.
    if (!IsSjisLead(c)) {
      ++i;
      continue;
    }
    if (i + 1 >= n) break;  // a final lead: the terminator is not touched
    if (replaced.bits[static_cast<size_t>(c << 8 | p[i + 1])]) {
      p[i] = 0x81;
      p[i + 1] = 0xAC;
    }
    i += 2;
  }
}

}  // namespace content
