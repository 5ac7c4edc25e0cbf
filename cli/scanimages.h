#pragma once

#include "catalogue/entries.h"

#include <QString>
#include <QStringList>

class Session;

// The pieces of scan-images, apart so that tests drive them with an image reader of their own.

// The disc images of a folder (regular files whose names say so), in listing order.
[[nodiscard]] QStringList imagesIn(const QString &folder);

// The label of each image's disc: its volume label when it has one that no other image of the
// batch shares (without case) and that makes a label; otherwise, or with `fileNames`, its file
// name without the extension. The choice depends on the folder alone, so that a batch run again
// finds the discs it saved before under the same labels.
[[nodiscard]] QStringList labelsForImages(const QStringList &images, bool fileNames);

struct ImageOutcome {
    enum Status { Saved, Skipped, Failed, Interrupted };
    Status status = Failed;
    QString message; // why it was skipped or failed, in words for the user
    qint64 rows = 0; // of the tree saved
};

// One image of the batch: skipped when a disc of the catalogue has its label already, else
// scanned and saved as a new disc. `entry` holds the label, description and category.
[[nodiscard]] ImageOutcome catalogueImage(Session &session, const QString &image,
                                          const CatalogueEntry &entry);
