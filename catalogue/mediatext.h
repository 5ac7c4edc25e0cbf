#pragma once

#include "catalogue/discfacts.h"
#include "catalogue/mediacells.h"

#include <QString>

// The words a Korean user reads for what a picture, a song or a video is.

// "촬영 2004. 7. 11. 오후 3:05 · Canon EOS 300D · 3072 × 2048" for a picture, "아티스트 · 앨범 ·
// 3:45" for a song, "1:02:03 · 1920 × 1080" for a video: what is known of it, empty when nothing.
[[nodiscard]] QString mediaFactsText(const MediaFacts &facts);
// A date taken as the camera wrote it ("2004-07-11T15:05:00"): "2004. 7. 11. 오후 3:05", in the
// camera's own time; empty when there is none.
[[nodiscard]] QString takenText(const QString &taken);
// The facts of row `row` of a tree, when `facts` describe it and the row has them.
[[nodiscard]] std::optional<MediaFacts> mediaFactsAt(const TreeFacts &facts, qint64 treeRows, qint64 row);
