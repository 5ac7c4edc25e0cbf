#pragma once

#include <QString>

// Opens the help file at its top. The topic plays no part: every caller gets the index.
void gf_help(const QString &as_item);

class QKeyEvent;
class QWidget;
// The keys every list window takes that its table passes on: Esc closes `window`, F1 opens the
// help. False for any other key, which the window hands on as it would.
bool closeOrHelpKey(QWidget &window, const QKeyEvent *event);
