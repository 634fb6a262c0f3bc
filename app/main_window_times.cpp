// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's time edits: a typed time moves the thumbs once it is complete and in
// order, is checked when the edit is left, and the row then shows both times in one form.
#include <QLineEdit>
#include <string>
#include <utility>

#include "app/main_window.h"
#include "cutting/time/time_text.h"

namespace {

std::string Text(const QLineEdit* edit) {
  return edit->text().toStdString();
}

// The milliseconds `edit` holds: `shown` when it still shows that time (which it may show
// cut to tenths), so that an untouched edit keeps the selection's exact end.
int32_t EditMs(const QLineEdit* edit, int32_t shown) {
  const std::string text = NormalizePreciseTimeText(Text(edit));
  return text == MsToTimeText(shown) || text == MsToPreciseTimeText(shown) ? shown
                                                                           : TimeTextToMs(text);
}

bool HoldsTime(const QLineEdit* edit) {
  return IsShownTimeText(Text(edit));
}

bool IsAnyTimeText(const std::string& text) {
  return IsTimeText(text) || IsPreciseTimeText(text);
}

}  // namespace

void TfrmMain::TakeTypedTimes() {
  if (!HoldsTime(eStart) || !HoldsTime(eEnd)) return;
  if (FSelection.Set(EditMs(eStart, FSelection.StartMs()), EditMs(eEnd, FSelection.EndMs()))) {
    FSelection.SetPrecise(IsPreciseTimeText(Text(eStart)) || IsPreciseTimeText(Text(eEnd)));
    ShowSelection(false);
  }
}

// A time typed to the millisecond puts the other edit in that form too, and back, so that
// the row reads one way; an edit holding a time the selection did not take is left alone.
void TfrmMain::ShowTimesInOneForm() {
  const bool showing = FShowingSelection;
  FShowingSelection = true;
  for (const auto& [edit, ms] :
       {std::pair{eStart, FSelection.StartMs()}, {eEnd, FSelection.EndMs()}})
    if (HoldsTime(edit) && EditMs(edit, ms) == ms) edit->setText(Shown(ms));
  FShowingSelection = showing;
}

// While typing, only complete times in order move the thumbs; nothing is said.
void TfrmMain::eStartChange() {
  if (!FShowingSelection) TakeTypedTimes();
}

void TfrmMain::eEndChange() {
  if (!FShowingSelection) TakeTypedTimes();
}

bool TfrmMain::eStartExit() {
  const std::string text = Text(eStart);
  QString problem;
  if (!IsAnyTimeText(text))
    problem = tr("Please make sure the time format is 00:00:00.0");
  else if (IsAnyTimeText(Text(eEnd)) && TimeTextToMs(Text(eEnd)) <= TimeTextToMs(text))
    problem = tr("Please make sure the start time should be smaller than the end time");
  if (problem.isEmpty()) {
    eStart->setText(QString::fromStdString(NormalizePreciseTimeText(text)));
    TakeTypedTimes();
    ShowTimesInOneForm();
    return true;
  }
  ShowMessage(problem);
  eStart->setFocus();
  return false;
}

bool TfrmMain::eEndExit() {
  const std::string text = Text(eEnd);
  QString problem;
  if (!IsAnyTimeText(text))
    problem = tr("Please make sure the time format is 00:00:00.0");
  else if (TimeTextToMs(text) > FSelection.LengthMs())
    problem = tr("Please make sure the end time should be smaller than the total time");
  if (problem.isEmpty()) {
    eEnd->setText(QString::fromStdString(NormalizePreciseTimeText(text)));
    TakeTypedTimes();
    ShowTimesInOneForm();
    return true;
  }
  ShowMessage(problem);
  eEnd->setFocus();
  return false;
}
