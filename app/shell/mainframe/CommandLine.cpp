#include "app/shell/mainframe/CommandLine.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\x3000'; }

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWith(std::wstring_view s, std::wstring_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// A switch standing alone: at the end, or followed by a blank.
bool IsSwitch(std::wstring_view s, std::wstring_view name) {
  return StartsWith(s, name) && (s.size() == name.size() || IsBlank(s[name.size()]));
}

// `s` after a switch and its blanks must begin with a quoted text; it is
// taken and `s` moves past the closing quote. False when a quote is missing.
bool TakeQuoted(std::wstring_view* s, std::wstring* out) {
  std::wstring_view rest = Trim(*s);
  if (rest.empty() || rest.front() != L'"') return false;
  const size_t close = rest.find(L'"', 1);
  if (close == std::wstring_view::npos) return false;
  out->assign(rest.substr(1, close - 1));
  *s = rest.substr(close + 1);
  return true;
}

}  // namespace

CommandLineRequest ParseCommandLine(std::wstring_view line) {
  CommandLineRequest r;
  std::wstring_view rest = Trim(line);
  if (rest.empty()) {
    r.whole = WholeCommand::kEmpty;
    return r;
  }
  if (rest == L"-receiveTmail") r.whole = WholeCommand::kReceiveTmail;
  if (rest == L"-receiveTaccount") r.whole = WholeCommand::kReceiveTaccount;
  if (rest == L"-t") r.whole = WholeCommand::kUnattended;
  if (r.whole != WholeCommand::kTokens) return r;

  while (!(rest = Trim(rest)).empty()) {
    if (StartsWith(rest, L"-a ")) {
      std::wstring_view after = rest.substr(3);
      std::wstring name;
      if (!TakeQuoted(&after, &name)) break;
      r.hasAccount = true;
      r.account = std::move(name);
      rest = after;
    } else if (StartsWith(rest, L"mailto:")) {
      size_t end = 0;
      while (end < rest.size() && !IsBlank(rest[end])) ++end;
      r.hasMailto = true;
      r.mailto.assign(rest.substr(0, end));
      rest.remove_prefix(end);
    } else if (StartsWith(rest, L"-attach ")) {
      std::wstring_view after = rest.substr(8);
      std::wstring path;
      if (!TakeQuoted(&after, &path)) break;
      if (r.attachments.size() < kMaxCommandLineAttachments) r.attachments.push_back(std::move(path));
      else ++r.droppedAttachments;
      rest = after;
    } else if (IsSwitch(rest, L"-i")) {
      r.handwriting = true;
      rest.remove_prefix(2);
    } else if (IsSwitch(rest, L"-recvbox") || IsSwitch(rest, L"-sendbox")) {
      r.box.assign(rest.substr(0, 8));
      rest.remove_prefix(8);
    } else if (rest == L"-d") {
      r.decorated = true;
      rest = {};
    } else {
      break;
    }
  }
  rest = Trim(rest);
  r.stoppedAt.assign(rest);
  if (StartsWith(rest, L"-setadress ")) {
    std::wstring_view after = rest.substr(11);
    r.hasSetAddress = TakeQuoted(&after, &r.setAddress);
  }
  return r;
}
