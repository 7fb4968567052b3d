// Gives the tests' message recorder the program's names for its private
// messages and commands, once per test program that includes this.
#pragma once

#include "app/protocol/ProtocolNames.h"
#include "platform/testing/MessageLog.h"

inline const bool kProtocolNamesAdded = [] {
  for (const ProtocolName& n : PrivateMessageNames()) qv::seams::AddMessageName(n.number, n.name);
  for (const ProtocolName& n : CommandNames()) qv::seams::AddCommandName(n.number, n.name);
  return true;
}();
