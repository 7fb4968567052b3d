#include "platform/base/WinFormat.h"

#include <cstdio>
#include <string_view>

#include <atomic>

#include "platform/base/WideText.h"

namespace qv {
namespace {

std::wstring Latin1ToWide(std::string_view s) {
  std::wstring out;
  for (char c : s) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

std::string WideToLatin1(std::wstring_view s) {
  std::string out;
  for (wchar_t c : s) out.push_back(static_cast<uint32_t>(c) < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

std::atomic<std::wstring (*)(std::string_view)> g_toWide{Latin1ToWide};
std::atomic<std::string (*)(std::wstring_view)> g_toNarrow{WideToLatin1};

std::wstring NarrowToWide(std::string_view s) { return g_toWide.load()(s); }
std::string WideToNarrow(std::wstring_view s) { return g_toNarrow.load()(s); }

enum class Size { kDefault, kShort, kChar, kLong, kLongLong, kPtr, kWide, kNarrow };

struct Directive {
  std::string flags;
  int width = -1;
  int precision = -1;
  bool left = false;
  Size size = Size::kDefault;
};

// Format text is converted between the two character kinds only where it
// holds arguments; literal text passes through unchanged.
template <class Ch>
struct Out;

template <>
struct Out<wchar_t> {
  static std::wstring FromAscii(const std::string& s) { return std::wstring(s.begin(), s.end()); }
  static std::wstring Own(const wchar_t* s, int max) {
    std::wstring_view v(s);
    return std::wstring(max >= 0 && static_cast<size_t>(max) < v.size() ? v.substr(0, max) : v);
  }
  static std::wstring Other(const char* s, int max) {
    std::wstring w = NarrowToWide(s);
    if (max >= 0 && static_cast<size_t>(max) < w.size()) w.resize(max);
    return w;
  }
  static std::wstring OwnChar(int c) { return std::wstring(1, static_cast<wchar_t>(c)); }
  static std::wstring OtherChar(int c) {
    const char n = static_cast<char>(c);
    return NarrowToWide(std::string_view(&n, 1));
  }
};

template <>
struct Out<char> {
  static std::string FromAscii(const std::string& s) { return s; }
  static std::string Own(const char* s, int max) {
    std::string_view v(s);
    return std::string(max >= 0 && static_cast<size_t>(max) < v.size() ? v.substr(0, max) : v);
  }
  static std::string Other(const wchar_t* s, int max) {
    std::wstring_view v(s);
    if (max >= 0 && static_cast<size_t>(max) < v.size()) v = v.substr(0, max);
    return WideToNarrow(v);
  }
  static std::string OwnChar(int c) { return std::string(1, static_cast<char>(c)); }
  static std::string OtherChar(int c) {
    const wchar_t w = static_cast<wchar_t>(c);
    return WideToNarrow(std::wstring_view(&w, 1));
  }
};

template <class Ch>
void Pad(std::basic_string<Ch>& out, const std::basic_string<Ch>& body, const Directive& directive) {
  const size_t width = directive.width > 0 ? static_cast<size_t>(directive.width) : 0;
  if (body.size() >= width) {
    out += body;
  } else if (directive.left) {
    out += body;
    out.append(width - body.size(), static_cast<Ch>(' '));
  } else {
    out.append(width - body.size(), static_cast<Ch>(' '));
    out += body;
  }
}

std::string NumberText(const Directive& directive, char conv, va_list* ap) {
  std::string f = "%" + directive.flags;
  if (directive.left) f += '-';
  if (directive.width >= 0) f += std::to_string(directive.width);
  if (directive.precision >= 0) {
    f += '.';
    f += std::to_string(directive.precision);
  }
  char buf[128];
  const bool isSigned = conv == 'd' || conv == 'i';
  if (conv == 'e' || conv == 'E' || conv == 'f' || conv == 'g' || conv == 'G' || conv == 'a' || conv == 'A') {
    f += conv;
    const double v = va_arg(*ap, double);
    std::string text(512, '\0');
    const int n = std::snprintf(text.data(), text.size(), f.c_str(), v);
    text.resize(n > 0 ? std::min<size_t>(n, text.size() - 1) : 0);
    return text;
  }
  f += "ll";
  f += conv;
  if (isSigned) {
    long long v;
    switch (directive.size) {
      case Size::kLongLong: v = va_arg(*ap, long long); break;
      case Size::kPtr: v = static_cast<long long>(va_arg(*ap, intptr_t)); break;
      case Size::kShort: v = static_cast<short>(va_arg(*ap, int)); break;
      case Size::kChar: v = static_cast<signed char>(va_arg(*ap, int)); break;
      default: v = va_arg(*ap, int); break;  // "l" is 32-bit, as on the device
    }
    std::snprintf(buf, sizeof buf, f.c_str(), v);
  } else {
    unsigned long long v;
    switch (directive.size) {
      case Size::kLongLong: v = va_arg(*ap, unsigned long long); break;
      case Size::kPtr: v = static_cast<unsigned long long>(va_arg(*ap, uintptr_t)); break;
      case Size::kShort: v = static_cast<unsigned short>(va_arg(*ap, unsigned)); break;
      case Size::kChar: v = static_cast<unsigned char>(va_arg(*ap, unsigned)); break;
      default: v = va_arg(*ap, unsigned); break;
    }
    std::snprintf(buf, sizeof buf, f.c_str(), v);
  }
  return buf;
}

template <class Ch>
std::basic_string<Ch> Format(const Ch* fmt, va_list* ap) {
  using O = Out<Ch>;
  std::basic_string<Ch> out;
  if (!fmt) return out;
  const bool wide = sizeof(Ch) != 1;
  for (const Ch* p = fmt; *p;) {
    if (*p != '%') {
      out.push_back(*p++);
      continue;
    }
    const Ch* start = p++;
    Directive directive;
    for (;; ++p) {
      if (*p == '-') {
        directive.left = true;
      } else if (*p == '0' || *p == ' ' || *p == '+' || *p == '#') {
        directive.flags.push_back(static_cast<char>(*p));
      } else {
        break;
      }
    }
    if (*p == '*') {
      directive.width = va_arg(*ap, int);
      if (directive.width < 0) directive.left = true, directive.width = -directive.width;
      ++p;
    } else {
      while (*p >= '0' && *p <= '9') directive.width = (directive.width < 0 ? 0 : directive.width * 10) + (*p++ - '0');
    }
    if (*p == '.') {
      ++p;
      directive.precision = 0;
      if (*p == '*') {
        directive.precision = va_arg(*ap, int);
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') directive.precision = directive.precision * 10 + (*p++ - '0');
      }
    }
    if (*p == 'I' && p[1] == '6' && p[2] == '4') {
      directive.size = Size::kLongLong, p += 3;
    } else if (*p == 'I' && p[1] == '3' && p[2] == '2') {
      p += 3;
    } else if (*p == 'I' || *p == 'z' || *p == 't' || *p == 'j') {
      directive.size = *p == 'j' ? Size::kLongLong : Size::kPtr, ++p;
    } else if (*p == 'l' && p[1] == 'l') {
      directive.size = Size::kLongLong, p += 2;
    } else if (*p == 'h' && p[1] == 'h') {
      directive.size = Size::kChar, p += 2;
    } else if (*p == 'h') {
      directive.size = Size::kShort, ++p;
    } else if (*p == 'l' || *p == 'w') {
      directive.size = Size::kLong, ++p;
    } else if (*p == 'L') {
      ++p;
    }
    const Ch conv = *p;
    if (!conv) {
      out.append(start, p);
      break;
    }
    ++p;
    // "h" forces narrow, "l"/"w" force wide; otherwise %s is the format's own kind.
    const bool forceNarrow = directive.size == Size::kShort;
    const bool forceWide = directive.size == Size::kLong;
    switch (conv) {
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
      case 'e': case 'E': case 'f': case 'g': case 'G': case 'a': case 'A':
        out += O::FromAscii(NumberText(directive, static_cast<char>(conv), ap));
        break;
      case 'p': {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0*llX", static_cast<int>(sizeof(void*) * 2),
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(va_arg(*ap, void*))));
        Pad(out, O::FromAscii(buf), directive);
        break;
      }
      case 'c': case 'C': {
        const int c = va_arg(*ap, int);
        const bool own = forceNarrow ? !wide : forceWide ? wide : conv == 'c';
        Pad(out, own ? O::OwnChar(c) : O::OtherChar(c), directive);
        break;
      }
      case 's': case 'S': {
        const bool own = forceNarrow ? !wide : forceWide ? wide : conv == 's';
        const void* arg = va_arg(*ap, const void*);
        std::basic_string<Ch> body;
        if (!arg) {
          body = O::FromAscii("(null)");
        } else if (own) {
          body = O::Own(static_cast<const Ch*>(arg), directive.precision);
        } else if constexpr (sizeof(Ch) == 1) {
          body = O::Other(static_cast<const wchar_t*>(arg), directive.precision);
        } else {
          body = O::Other(static_cast<const char*>(arg), directive.precision);
        }
        Pad(out, body, directive);
        break;
      }
      case 'n':
        (void)va_arg(*ap, void*);  // never written through
        break;
      case '%':
        out.push_back('%');
        break;
      default:
        out.append(start, p);  // unknown: kept as written
        break;
    }
  }
  return out;
}

}  // namespace

namespace {

template <typename Ch>
std::basic_string<Ch> VFormat(const Ch* format, va_list args) {
  va_list ap;
  va_copy(ap, args);  // the caller's list stays usable
  std::basic_string<Ch> out = Format<Ch>(format, &ap);
  va_end(ap);
  return out;
}

}  // namespace

std::wstring VFormatW(const wchar_t* format, va_list args) { return VFormat(format, args); }
std::string VFormatA(const char* format, va_list args) { return VFormat(format, args); }

std::wstring FormatW(const wchar_t* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::wstring out = VFormat(format, ap);
  va_end(ap);
  return out;
}

std::string FormatA(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string out = VFormat(format, ap);
  va_end(ap);
  return out;
}

void SetFormatNarrowCodec(NarrowTextCodec codec) {
  g_toWide = codec.toWide ? codec.toWide : Latin1ToWide;
  g_toNarrow = codec.toNarrow ? codec.toNarrow : WideToLatin1;
}

}  // namespace qv
