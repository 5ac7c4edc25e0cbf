#pragma once

#include "catalogue/sidefacts.h"

#include <QHash>
#include <QString>
#include <QStringList>

// Each listed disc's totals for the list pane's columns, read from the head of its side file
// when a row first shows them and kept per catalogue file, so that a list of thousands of
// discs reads only the side files of the rows in view.
class DiscTotals {
  public:
    explicit DiscTotals(QString dataFolder) : m_dataFolder(std::move(dataFolder)) {}

    [[nodiscard]] const DiscSummary &of(const QString &file);
    // A disc saved, renamed or deleted: its side file is read again when next shown.
    void forget(const QStringList &files);
    // The catalogue changed elsewhere, in ways not known here.
    void clear() { m_kept.clear(); }

  private:
    QString m_dataFolder;
    QHash<QString, DiscSummary> m_kept;
};

// The columns' texts for a disc: total size, number of files and scan date, each empty when
// unknown.
[[nodiscard]] QStringList totalsTexts(const DiscSummary &disc);
