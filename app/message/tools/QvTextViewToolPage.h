// The reading page's tool page: it hosts the plain or the HTML view page,
// binds the palette buttons and the state bar like every text tool page but
// never shows them, and gives the whole area below its origin to the page.
#pragma once

#include "app/message/tools/QvToolPage.h"

class QvTextViewToolPage : public QvTextToolPage {
 public:
  // `html`: the record's body is HTML (the HTML view page), else plain text.
  QvTextViewToolPage(QvMessageRecord* record, int html);
  ~QvTextViewToolPage() override;

  // Leaving a reading page never fails: the page is told and its answer ignored.
  BOOL OnKillActive() override;
  // The screen point (0, 54) in client coordinates.
  POINT PageOrigin() const override;

 protected:
  void PlaceTools(const RECT& client) override;
};
