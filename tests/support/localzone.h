#pragma once

#include <QByteArray>
#include <QLocale>

#include <cstdlib>
#include <ctime>

// While it lives, the process keeps local time in the zone of a POSIX TZ string ("KST-9",
// "NST3:30NDT,M3.2.0,M11.1.0"), which needs no zone files, and its default locale is English, as
// under LANG=C: what the program shows must not follow either.
class LocalZone {
  public:
    explicit LocalZone(const char *tz) : m_had(qEnvironmentVariableIsSet("TZ")), m_old(qgetenv("TZ"))
    {
        qputenv("TZ", tz);
        ::tzset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    ~LocalZone()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        ::tzset();
        QLocale::setDefault(QLocale::system());
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;

  private:
    bool m_had;
    QByteArray m_old;
};
