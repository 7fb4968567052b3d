// What the account pages share: the soft keys (OK and Cancel belong to the
// sheet), the Back key that cancels only while every enabled edit field of
// the page is empty, the question before changes are dropped, and the
// fields that take ASCII only.
#pragma once

#include <memory>
#include <vector>

#include "app/foundation/QvScrollPage.h"
#include "app/shell/account/QvAccountField.h"

class QvAccountScrollPage : public QvScrollPage {
 public:
  // `askBeforeCancel`: Cancel asks question 20032 first (the account
  // sheet's pages); otherwise it cancels at once.
  QvAccountScrollPage(UINT templateId, UINT menuBarId, bool askBeforeCancel)
      : QvScrollPage(templateId), menuBarId_(menuBarId), askBeforeCancel_(askBeforeCancel) {}

  BOOL OnInitDialog() override;
  BOOL OnKillActive() override;

  static constexpr UINT kDropChangesText = 20032;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  QvAccountField* AddField(int id, QvAccountField::Kind kind, LPCWSTR label, LPCWSTR focusTrace = nullptr,
                           LPCWSTR leaveTrace = nullptr);
  // The question, then the sheet ends with code 2 on Yes.
  void AskAndCancel();
  bool AllEnabledEditsEmpty() const;
  void Enable(int id, bool enabled);
  bool Checked(int id) const;
  // A warning with `label` filled in; the focus goes to the field, its
  // text selected.
  void Refuse(UINT stringId, LPCWSTR label, int field);

 private:
  UINT menuBarId_;
  bool askBeforeCancel_;
  std::vector<std::unique_ptr<QvAccountField>> fields_;
};

// A number field's value, read as the framework's exchange does unless the
// field is disabled and empty: then it is `whenEmpty`. Checks the range.
class CDataExchange;
void ExchangeNumber(CDataExchange* dx, int id, uint32_t& value, uint32_t low, uint32_t high, uint32_t whenEmpty);
