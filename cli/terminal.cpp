#include "cli/terminal.h"

#include <QStringList>
#include <cstdio>
#include <unistd.h>

void tellUser(const QString &text)
{
    QByteArray out;
    for (const QString &line : text.split(u'\n'))
        out += line.isEmpty() ? QByteArray("\n") : "tarvek-cli: " + line.toUtf8() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stderr);
    std::fflush(stderr);
}

bool askUser(const QString &question)
{
    const QByteArray prompt = question.toUtf8() + " [y/N] ";
    std::fwrite(prompt.constData(), 1, size_t(prompt.size()), stderr);
    std::fflush(stderr);
    char line[256];
    if (!std::fgets(line, sizeof line, stdin))
        return false;
    const QString answer = QString::fromUtf8(line).trimmed().toLower();
    return answer == u"y" || answer == u"yes" || answer == u"예" || answer == u"네";
}

ProgressLine::ProgressLine() : m_terminal(::isatty(STDERR_FILENO) == 1)
{
}

ProgressLine::~ProgressLine()
{
    clear();
}

void ProgressLine::show(const QString &text)
{
    if (!m_terminal || (m_last.isValid() && m_last.elapsed() < 100))
        return;
    m_last.start();
    // The line is cut to fit a narrow terminal: a wrapped line could not be rewritten.
    const QByteArray line = "\r\033[K" + text.left(70).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    m_dirty = true;
}

void ProgressLine::clear()
{
    if (!m_dirty)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_dirty = false;
}
