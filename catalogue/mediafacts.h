#pragma once

#include "catalogue/rownotes.h"

#include <QString>
#include <optional>

// What a scan learns of a picture, a song or a video from the file's own bytes (notes of the
// kind "media"): the date a photo was taken, the camera, the picture's size, a song's tags and
// the length of a song or a video. A fact the file does not give is unknown: an empty text, or
// kUnknown for a number.
struct MediaFacts {
    enum class Kind { Picture, Audio, Video };
    static constexpr qint64 kUnknown = -1;

    Kind kind = Kind::Picture;
    // The date taken as the camera wrote it, in its own local time with no zone:
    // "2004-07-11T15:05:00" (seconds "00" when the file gives none). Sorts as text.
    QString taken;
    QString make;  // camera make, "Canon"
    QString model; // camera model, "Canon EOS 300D"
    qint64 width = kUnknown;
    qint64 height = kUnknown;
    QString artist;
    QString album;
    QString title;
    qint64 track = kUnknown;
    qint64 year = kUnknown;
    qint64 lengthMs = kUnknown; // a song's or a video's length in milliseconds

    bool operator==(const MediaFacts &) const = default;
};

inline constexpr QByteArrayView kMediaNotes = "media";

// One line of text: "kind<TAB>taken<TAB>make<TAB>model<TAB>width<TAB>height<TAB>artist<TAB>
// album<TAB>title<TAB>track<TAB>year<TAB>length", the kind a word ("picture", "audio",
// "video"), numbers in decimal ("-" unknown), texts as UTF-8 with tabs and line breaks made
// spaces (empty unknown).
[[nodiscard]] QByteArray encodeMediaFacts(const MediaFacts &facts);
// None for a text that is no such line. Fields after the twelfth, which a later version may
// add, are ignored.
[[nodiscard]] std::optional<MediaFacts> decodeMediaFacts(QByteArrayView text);
