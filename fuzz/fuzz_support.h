#pragma once

// What every fuzz target needs: the application object record sets post their change notices
// through, a scratch folder for files, a cursor over the input bytes and a check that stops the
// run with a message when a property breaks. A broken property must stop the run like a crash
// does, or the fuzzer would carry on past it.

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzz {

[[noreturn]] inline void fail(const char *property, const QString &detail = QString())
{
    std::fprintf(stderr, "\n*** fuzz property broken: %s\n", property);
    if (!detail.isEmpty())
        std::fprintf(stderr, "*** %s\n", detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool holds, const char *property)
{
    if (!holds)
        fail(property);
}

// Text with every character outside printable ASCII written as \uXXXX, for failure messages.
inline QString shown(QStringView text)
{
    QString out;
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out.append(c);
        else
            out.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')));
    }
    return out;
}

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "tarvek-fuzz";
    static char *argv[] = {name, nullptr};
    // Kept for the whole process: record sets post their change notices to it.
    static QCoreApplication *app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

// A folder of this process's own, in memory when /dev/shm is there (TARVEK_FUZZ_TMP overrides
// the parent), removed when the process exits normally.
inline const std::string &scratchDir()
{
    // Never freed, so that the exit handler can still read it after static objects are gone.
    static const std::string *dir = [] {
        std::string parent = "/tmp";
        if (const char *chosen = std::getenv("TARVEK_FUZZ_TMP"); chosen && *chosen)
            parent = chosen;
        else if (::access("/dev/shm", W_OK) == 0)
            parent = "/dev/shm";
        auto *path = new std::string(parent + "/tarvek-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(*path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchDir(), ignored);
        });
        return path;
    }();
    return *dir;
}

inline QString scratchFile(const char *name)
{
    return QString::fromStdString(scratchDir() + "/" + name);
}

// Writes `bytes` to `path`, replacing what was there.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    std::FILE *file = std::fopen(path.toLocal8Bit().constData(), "wb");
    check(file != nullptr, "the harness can create its scratch file");
    const size_t written =
        bytes.isEmpty() ? 0 : std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
    check(written == size_t(bytes.size()) && std::fclose(file) == 0,
          "the harness can write its scratch file");
}

// The same, with the file's modification time a day back, so that the search index trusts its
// stamp and reads it in parts.
inline void writeOldFile(const QString &path, const QByteArray &bytes)
{
    writeFile(path, bytes);
    const struct timespec dayBack = {::time(nullptr) - 86400, 0};
    const struct timespec times[2] = {dayBack, dayBack};
    ::utimensat(AT_FDCWD, path.toLocal8Bit().constData(), times, 0);
}

inline QByteArray readFile(const QString &path)
{
    QByteArray bytes;
    std::FILE *file = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!file)
        return bytes;
    char block[65536];
    for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.append(block, qsizetype(got));
    std::fclose(file);
    return bytes;
}

// True for about one input in 32, decided by the input's own bytes. Targets that can build
// inputs of megabytes (tens of milliseconds a run against about one) build them only then: a
// mutation of such an input then mostly gives a small one again, so that most runs stay fast.
inline bool rarely(const uint8_t *data, size_t size)
{
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += data[i];
    return sum % 32 == 0;
}

// Hands out the input front to back: single control bytes first, then the rest as text.
class Input {
  public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    // The next byte, or 0 once the input is used up.
    uint8_t byte()
    {
        if (m_pos >= m_size)
            return 0;
        return m_data[m_pos++];
    }
    // Everything up to the next `separator` (which is consumed), or the rest.
    QByteArray until(char separator)
    {
        size_t end = m_pos;
        while (end < m_size && m_data[end] != uint8_t(separator))
            ++end;
        QByteArray part(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(end - m_pos));
        m_pos = end < m_size ? end + 1 : end;
        return part;
    }
    [[nodiscard]] bool atEnd() const { return m_pos >= m_size; }
    QByteArray rest()
    {
        QByteArray part(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(m_size - m_pos));
        m_pos = m_size;
        return part;
    }

  private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace fuzz
