// One row of the history screen: the entry's time stamp as the history
// keeps it (year, month, day, hour and minute digits, then seconds), the
// correspondent's name in the contacts (empty when unknown) and the
// address.
#pragma once

#include "platform/framework/CString.h"

struct QvNameAddressItem {
  CString date;
  CString name;
  CString address;
};
