#pragma once

#include "catalogue/mediafacts.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The words and cells of what a picture, a song or a video is (catalogue/mediafacts.h), as the
// results window and the CSV exports show them. Each is empty for a fact the file did not give.

// The date taken as a local time (the camera's clock has no zone); invalid when unknown.
[[nodiscard]] QDateTime takenTime(const MediaFacts &facts);
// "Canon EOS 300D": the model, after the make unless the model begins with the make's first word.
[[nodiscard]] QString cameraText(const MediaFacts &facts);
// "3072 × 2048".
[[nodiscard]] QString pixelsText(const MediaFacts &facts);
// "3:45", "1:02:03".
[[nodiscard]] QString lengthText(qint64 lengthMs);

// What the results window says of a row a song's tags found, not its path or name: "태그로 찾음".
[[nodiscard]] QString byTagText();

// The CSV columns that follow a row's size and date, and their cells; empty cells for a row the
// scan learnt nothing of.
extern const QStringList kMediaHeading;
[[nodiscard]] QStringList mediaCells(const std::optional<MediaFacts> &facts);
