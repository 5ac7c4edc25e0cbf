// Dates as the program shows them and writes them to CSV, in several zones and under an English
// locale.

#include "catalogue/csv.h"
#include "catalogue/factstext.h"
#include "support/localzone.h"

#include <QDateTime>
#include <gtest/gtest.h>

TEST(Dates, ShownInKoreanAndWrittenToCsvInLocalTimeWithTheOffset)
{
    const qint64 newYearNoon = 1704110400; // 2024-01-01 12:00 UTC
    const qint64 julyNoon = 1719835200;    // 2024-07-01 12:00 UTC
    const struct {
        const char *tz;
        qint64 seconds;
        const char *shown;
        const char *csv;
    } cases[] = {
        {"KST-9", newYearNoon, "24. 1. 1. 오후 9:00", "2024-01-01T21:00:00+09:00"},
        {"UTC0", newYearNoon, "24. 1. 1. 오후 12:00", "2024-01-01T12:00:00+00:00"},
        {"NST3:30NDT,M3.2.0,M11.1.0", newYearNoon, "24. 1. 1. 오전 8:30", "2024-01-01T08:30:00-03:30"},
        {"NST3:30NDT,M3.2.0,M11.1.0", julyNoon, "24. 7. 1. 오전 9:30", "2024-07-01T09:30:00-02:30"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", julyNoon, "24. 7. 1. 오후 2:00", "2024-07-01T14:00:00+02:00"},
        {"KST-9", 0, "70. 1. 1. 오전 9:00", "1970-01-01T09:00:00+09:00"},
    };
    for (const auto &c : cases) {
        const LocalZone zone(c.tz);
        const QDateTime utc = QDateTime::fromSecsSinceEpoch(c.seconds, Qt::UTC);
        EXPECT_EQ(dateText(c.seconds), QString::fromUtf8(c.shown)) << c.tz;
        EXPECT_EQ(dateText(utc), QString::fromUtf8(c.shown)) << c.tz;
        EXPECT_EQ(csvDate(utc), QString::fromUtf8(c.csv)) << c.tz;
    }
    EXPECT_EQ(csvDate(QDateTime()), QString()) << "an unknown date is an empty cell";
    EXPECT_EQ(dateText(QDateTime()), QString::fromUtf8("날짜 모름"));
}
