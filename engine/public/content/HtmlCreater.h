// The HTML page shown for a feed message that has no HTML body of its own:
// its text, its received date (right-aligned) and its first picture.
#pragma once

#include "engine/public/QvMiddleExport.h"
#include "engine/public/content/Email.h"

class QVMIDDLE_API HtmlCreater {
 public:
  HtmlCreater();
  ~HtmlCreater();
  // Builds `htmlBody` when it is empty; false when there is no text body.
  bool CreateHtml(Email& mail);
};
