// Breaking the long lines of an outgoing plain body at 300 columns, on the
// wide text and again on its ISO-2022-JP form (where tokens made it longer).
#include "engine/public/content/EmlCompose.h"
#include "engine/content/JapaneseCharset.h"

namespace {

constexpr size_t kBodyColumns = 300;
constexpr size_t kLookBack = 13;
constexpr char kEsc = 0x1B;

}  // namespace

void EmlCompose::checkSendBodyReturnCode(std::wstring& text) {
  // The walk reads the text as it grows with its breaks: what was passed is
  // in `out` (a break lands at most a short token back from its end), what
  // is ahead is still the original from `from` on. Inserting into the text
  // itself moved its whole rest at every break.
  std::wstring out;
  out.reserve(text.size() + text.size() / (kBodyColumns - 1) + 1);
  size_t column = 0;
  size_t from = 0;
  const auto pass = [&] { out.push_back(text[from++]); };
  while (from < text.size()) {
    const wchar_t c = text[from];
    const size_t i = out.size();
    if (column >= kBodyColumns) {
      if (c != L'\n') {
        // Keep a short "<...>" token whole: break one place ahead of it.
        const size_t at = (i >= kLookBack + 1 && out[i - kLookBack] == L'<') ? i - kLookBack - 1 : i;
        out.insert(at, 1, L'\n');
        pass();  // the examined character, moved on by one
        column = 1;
        continue;
      }
      column = 1;
      pass();  // the LF, and the character after it is passed over
      if (from < text.size()) pass();
      continue;
    }
    column = c == L'\n' ? 1 : column + 1;
    pass();
  }
  text.swap(out);
}

void EmlCompose::checkSendBodyReturnCode_S(std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / kBodyColumns + 8);
  size_t column = 0;
  size_t kanjiStart = std::string::npos;  // first byte of the current two-byte run
  auto u = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
  size_t i = 0;
  while (i < text.size()) {
    if (column >= kBodyColumns) {
      size_t p = i;
      // A line end right here, or after the rest of an ESC ( B, ends the
      // line anyway: nothing is inserted.
      size_t lf = text.find('\n', p);
      if (lf != std::string::npos && lf - p <= 3) {
        std::string_view rest(text.data() + p, lf - p);
        std::string_view shift("\x1B(B");
        if (rest.empty() || shift.substr(shift.size() - rest.size()) == rest) {
          out.append(rest);
          i = lf;
          column = 0;
          kanjiStart = std::string::npos;
          out.push_back('\n');
          ++i;
          continue;
        }
      }
      size_t at = p;
      bool found = false;
      // A short "<...>" token is kept whole.
      for (size_t back = kLookBack; back >= 1 && !found; --back) {
        if (p < back) continue;
        size_t lt = p - back;
        if (text[lt] != '<') continue;
        for (size_t k = lt + 1; k < text.size() && k <= lt + 11; ++k)
          if (text[k] == '>') {
            found = true;
            break;
          }
        if (found) at = lt;
        else break;
      }
      if (!found && text[p] != kEsc) {
        if (p >= 1 && text[p - 1] == kEsc) at = p + 2;
        else if (p >= 2 && text[p - 2] == kEsc) at = p + 1;
        else if (kanjiStart != std::string::npos && p > kanjiStart && (p - kanjiStart) % 2 == 1) at = p + 1;
        else if (kanjiStart == std::string::npos && p >= 1 &&
                 ((u(p - 1) >= 128 && u(p - 1) <= 159) || (u(p - 1) >= 224 && u(p - 1) <= 252)) && u(p) >= 64 && u(p) <= 252)
          at = p + 1;
      }
      if (at > text.size()) at = text.size();
      // Bytes up to the break point were copied already; a break that lies
      // ahead copies the bytes before it first, one that lies behind
      // goes into what was copied.
      if (at >= p) {
        out.append(text, p, at - p);
        out.push_back('\n');
        i = at;
      } else {
        out.insert(out.size() - (p - at), 1, '\n');
        i = p;
      }
      column = i - at;
      continue;
    }
    char c = text[i];
    if (c == kEsc && i + 2 < text.size()) {
      kanjiStart = text[i + 1] == '$' ? i + 3 : std::string::npos;
    }
    out.push_back(c);
    column = c == '\n' ? 0 : column + 1;
    ++i;
  }
  // Re-encoding mends the escapes around the inserted line ends.
  content::JisToSjis(out);
  std::string jis;
  jis.reserve(out.size() * 3 + 5);
  content::SjisToJis(out, jis);
  text.swap(jis);
}
