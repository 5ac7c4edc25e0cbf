#pragma once

#include <QString>
#include <functional>

// Position and maximum of a long operation, in 64-bit counts, and the percentage shown
// beside the progress bar. The position is kept within 0 and the maximum; a maximum of
// 0 shows 0%. `onChange` runs only when what a person sees changes (the whole percentage
// or a thousandth of the bar), not on every step of a million-row walk.
class Progress {
  public:
    void setMaximum(qint64 maximum);
    void setPosition(qint64 position);
    // One step on. What a person sees is looked at only every quarter of a thousandth of the
    // maximum and at the maximum itself, so a million steps cost a million increments.
    void advance()
    {
        if (m_position < m_maximum && ++m_position >= m_nextCheck)
            notifyIfShownChanged();
    }

    [[nodiscard]] qint64 position() const { return m_position; }
    [[nodiscard]] qint64 maximum() const { return m_maximum; }
    [[nodiscard]] int percent() const;  // whole part of position * 100 / maximum
    [[nodiscard]] int permille() const; // the bar's fill, 0..1000
    [[nodiscard]] QString percentText() const { return QString::number(percent()) + u'%'; }
    // The whole percentage as last shown (it lags the position by less than a quarter of a
    // thousandth of the maximum).
    [[nodiscard]] int shownPercent() const { return m_shownPercent; }

    std::function<void()> onChange;

  private:
    void notifyIfShownChanged();

    qint64 m_position = 0;
    qint64 m_maximum = 0;
    int m_shownPermille = -1;
    int m_shownPercent = -1;
    qint64 m_nextCheck = 0;
};
