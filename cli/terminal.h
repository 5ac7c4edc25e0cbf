#pragma once

#include <QElapsedTimer>
#include <QString>

// What tarvek-cli says to the person at the terminal, all of it on standard error so that
// standard output holds only the records.

// A message, each line prefixed with the program's name ("tarvek-cli: ..."), the window's words.
void tellUser(const QString &text);

// Asks a yes-or-no question on standard error and reads the answer from standard input: true
// only for "y", "yes", "예" or "네"; no answer (the end of input) is no.
[[nodiscard]] bool askUser(const QString &question);

// One line of progress that rewrites itself, shown only when standard error is a terminal, at
// most ten times a second.
class ProgressLine {
  public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    void show(const QString &text);
    // Takes the line away, so that what follows starts on a clean line.
    void clear();
    [[nodiscard]] bool shown() const { return m_terminal; }

  private:
    bool m_terminal;
    bool m_dirty = false;
    QElapsedTimer m_last;
};
