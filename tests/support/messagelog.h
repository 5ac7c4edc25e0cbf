#pragma once

#include "widgets/messagebox.h"

#include <QStringList>

// While it lives, every message box is answered with `answer` instead of being shown, and its
// title and text are kept as "title|text".
struct MessageLog {
    MessageLog()
    {
        setMessageBoxHook([this](const QString &title, const QString &text) {
            messages << title + u'|' + text;
            return answer;
        });
    }
    ~MessageLog() { setMessageBoxHook({}); }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    QStringList messages;
    int answer = 1; // 1 OK or Yes, 2 No
};
