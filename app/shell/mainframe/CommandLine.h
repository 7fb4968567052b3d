// The program's command line, read as the main frame acts on it: a whole
// line that is one switch ("-receiveTmail", "-receiveTaccount", "-t", or
// nothing), else a run of tokens ("-a", "mailto:", "-attach", "-i",
// "-recvbox", "-sendbox", "-d") that ends at the first token it does not
// know. What was read before that token still counts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A composed mail takes at most this many attachments; later ones are dropped.
constexpr size_t kMaxCommandLineAttachments = 64;

enum class WholeCommand {
  kTokens,           // read as tokens
  kEmpty,            // no arguments at all
  kReceiveTmail,     // "-receiveTmail"
  kReceiveTaccount,  // "-receiveTaccount"
  kUnattended,       // "-t"
};

struct CommandLineRequest {
  WholeCommand whole = WholeCommand::kTokens;
  bool hasAccount = false;
  std::wstring account;  // "-a "name""
  bool hasMailto = false;
  std::wstring mailto;  // the whole "mailto:..." token
  std::vector<std::wstring> attachments;
  size_t droppedAttachments = 0;  // past the limit
  bool handwriting = false;       // "-i"
  bool decorated = false;         // "-d" as the last token
  std::wstring box;               // "-recvbox" or "-sendbox", the last one given
  bool hasSetAddress = false;     // "-setadress "address"" where the scan ended
  std::wstring setAddress;
  std::wstring stoppedAt;  // the text from the token the scan did not know
  // The kind of mail to compose: 2 decorated, 1 handwritten, 0 plain.
  int Kind() const { return decorated ? 2 : handwriting ? 1 : 0; }
};

// Reads the line once from start to end (a long line costs its length).
CommandLineRequest ParseCommandLine(std::wstring_view line);
