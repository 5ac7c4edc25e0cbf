#pragma once

#include "files/progress.h"

#include <QString>
#include <functional>

// What a long loop (a scan, a load, a search) needs from the window that runs it: a way to let
// queued input run and learn of a cancel, a place to show the item being worked on, the
// progress bar and the percentage text beside it. Every hook may be left empty, so the loops
// run in tests and benchmarks without a window.
class HookContext {
  public:
    // Lets queued input run (the yield loop); returns true when the user has cancelled.
    std::function<bool()> yieldAndCheckCancel;
    // The item being worked on, such as the folder being listed.
    std::function<void(const QString &)> showItem;
    // The percentage text ("37%"), each time its whole number changes.
    std::function<void(const QString &)> showStatus;
    // Position and maximum of the progress bar; none when null.
    Progress *progress = nullptr;

    [[nodiscard]] bool cancelled() const { return yieldAndCheckCancel && yieldAndCheckCancel(); }
    void setMaximum(qint64 maximum);
    // One more step: the bar moves and the percentage text follows when its number changes.
    void advance();

  private:
    int m_shownPercent = -1;
};
