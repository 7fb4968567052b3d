// Turns a received or stored Email into the draft of a reply, a reply to
// all, or a forward, in place.
#pragma once

#include <string>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/content/Email.h"

class QVMIDDLE_API QuoteEmail {
 public:
  QuoteEmail();
  virtual ~QuoteEmail();

  // Modes: 1 reply, 2 reply to all, 3 forward; 4, 5, 6 the same keeping the
  // former recipient lists for the replies.
  void Convertmaildata(int mode, std::wstring const& ownAddress, Email* mail);

 private:
  void Editmail_header(int mode, std::wstring const& ownAddress, Email* mail);
  void Editmail_bodydata(int mode, std::wstring const& dateLine, std::wstring const& sender, std::wstring* body);
};
