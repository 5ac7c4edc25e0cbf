#pragma once

#include "catalogue/thumbnails.h"

#include <QImage>
#include <QString>
#include <map>

// The saved discs' thumbnails as a window shows them, one store open per disc: a store is opened
// the first time one of its disc's rows is asked for, and kept until `forget` (a new search, a
// disc changed), so that a grid of two thousand cells opens a handful of files, not thousands.
// A store no longer written for its catalogue file opens empty (catalogue/thumbnails.h).
class SavedThumbnails {
  public:
    explicit SavedThumbnails(QString dataFolder);

    // The thumbnail of tree row `row` of the disc whose catalogue file is `file`; null when it
    // has none or `file` is not a bare file name of the data folder.
    [[nodiscard]] QImage imageOf(const QString &file, qint64 row);
    // Drops every store opened, so that the next question reads the files as they are then.
    void forget();

  private:
    QString m_dataFolder;
    std::map<QString, Thumbnails> m_open;
};
