// A message as it goes to the SMTP client: the envelope and the text sent
// after DATA. The composer fills it; the sender owns the text string.
#pragma once

#include <list>
#include <string>

struct RawEmail_S {
  std::string sender;                 // envelope sender, bare address
  std::list<std::string> recipients;  // envelope recipients, bare addresses, in order
  std::string* text = nullptr;        // header and body exactly as sent; owned by the caller
};

