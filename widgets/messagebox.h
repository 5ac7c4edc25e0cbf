#pragma once

#include <QString>
#include <functional>

class QWidget;

enum class MessageIcon { None, Information, Question, Exclamation, StopSign };
enum class MessageButtons { Ok, YesNo };

// A modal message box with Korean buttons ("확인", "예", "아니요"), centred over the window it
// belongs to. Returns the button pressed: 1 for OK or Yes, 2 for No. `defaultButton` is 1-based;
// with no icon named, the information icon shows.
int MessageBox(const QString &title, const QString &text, MessageIcon icon = MessageIcon::Information,
               MessageButtons buttons = MessageButtons::Ok, int defaultButton = 1);

// Tests answer message boxes without showing them: while set, MessageBox hands its
// title and text here and returns what this returns.
using MessageBoxHook = std::function<int(const QString &title, const QString &text)>;
void setMessageBoxHook(MessageBoxHook hook);
