#include "app/shell/maillist/MailListRunners.h"

MailListRunners& MailListScreenRunners() {
  static MailListRunners runners;
  return runners;
}
