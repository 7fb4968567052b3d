#include "engine/public/store/QvMessageFields.h"

#include "engine/foundation/QvLocalTime.h"

SYSTEMTIME QvMessageFields::LocalTimeToSystemTime(SYSTEMTIME local) {
  QvLocalTime::Shift(&local, -QvLocalTime::OffsetNow());
  return local;
}

SYSTEMTIME QvMessageFields::SystemTimeToLocalTime(SYSTEMTIME utc) {
  QvLocalTime::Shift(&utc, QvLocalTime::OffsetNow());
  return utc;
}
