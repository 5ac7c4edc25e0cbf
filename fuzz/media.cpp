// Properties of the readers of pictures, songs and videos over any bytes:
// - no crash, and no reading past a time bound, whatever a file claims of its sizes;
// - what they give is a note that reads back as the same facts, with no negative number;
// - a thumbnail, when there is one, is a JPEG of at most 160 pixels on its long side.
//
// Input: one byte choosing the reader (the file's type), then the file's bytes.

#include "catalogue/mediafacts.h"
#include "fuzz_support.h"
#include "scanner/mediaread.h"

#include <QElapsedTimer>
#include <QImage>

namespace {

using fuzz::check;

constexpr MediaType kTypes[] = {MediaType::Jpeg,     MediaType::Picture,   MediaType::Mp3,
                                MediaType::Flac,     MediaType::OggVorbis, MediaType::Opus,
                                MediaType::Mp4Audio, MediaType::Wma,       MediaType::Wav,
                                MediaType::Aiff,     MediaType::Mp4Video,  MediaType::Wmv};
constexpr qint64 kMilliseconds = 5000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const MediaType type = kTypes[data[0] % std::size(kTypes)];
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    QElapsedTimer timer;
    timer.start();
    const MediaRead read = readMediaBytes(bytes, type);
    check(timer.elapsed() < kMilliseconds, "a file is read within the time bound");
    if (read.facts) {
        const std::optional<MediaFacts> back = decodeMediaFacts(encodeMediaFacts(*read.facts));
        check(back.has_value(), "the facts make a note that reads back");
        for (const qint64 n : {back->width, back->height, back->track, back->year, back->lengthMs})
            check(n == MediaFacts::kUnknown || n >= 0, "no number is negative");
    }
    if (!read.thumbnail.isEmpty()) {
        const QImage image = QImage::fromData(read.thumbnail, "JPEG");
        check(!image.isNull(), "a thumbnail is a JPEG");
        check(std::max(image.width(), image.height()) <= kThumbnailSide, "a thumbnail is 160 pixels at most");
    }
    return 0;
}
