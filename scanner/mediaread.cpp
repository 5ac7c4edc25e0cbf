#include "scanner/mediaread.h"

#include "scanner/mediareaders.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<const char *, MediaType>, 34> kExtensions = {{
    {"jpg", MediaType::Jpeg},     {"jpeg", MediaType::Jpeg},     {"jpe", MediaType::Jpeg},
    {"png", MediaType::Picture},  {"tif", MediaType::Picture},   {"tiff", MediaType::Picture},
    {"heic", MediaType::Picture}, {"heif", MediaType::Picture},  {"avif", MediaType::Picture},
    {"webp", MediaType::Picture}, {"cr2", MediaType::Picture},   {"cr3", MediaType::Picture},
    {"nef", MediaType::Picture},  {"arw", MediaType::Picture},   {"dng", MediaType::Picture},
    {"orf", MediaType::Picture},  {"rw2", MediaType::Picture},   {"pef", MediaType::Picture},
    {"raf", MediaType::Picture},  {"srw", MediaType::Picture},   {"mp3", MediaType::Mp3},
    {"flac", MediaType::Flac},    {"ogg", MediaType::OggVorbis}, {"oga", MediaType::OggVorbis},
    {"opus", MediaType::Opus},    {"m4a", MediaType::Mp4Audio},  {"m4b", MediaType::Mp4Audio},
    {"wma", MediaType::Wma},      {"wav", MediaType::Wav},       {"aif", MediaType::Aiff},
    {"aiff", MediaType::Aiff},    {"mp4", MediaType::Mp4Video},  {"m4v", MediaType::Mp4Video},
    {"wmv", MediaType::Wmv},
}};

bool isPicture(MediaType type)
{
    return type == MediaType::Jpeg || type == MediaType::Picture;
}

MediaRead readFrom(MediaSource &source, MediaType type, const MediaLimits &limits)
{
    if (type == MediaType::None || source.size() <= 0)
        return {};
    if (isPicture(type))
        return readPicture(source, type, limits);
    source.setBudget(limits.mostTagBytes);
    return readSound(source, type);
}

} // namespace

MediaType mediaTypeOf(QByteArrayView fileName)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    if (dot < 0 || fileName.size() - dot - 1 > 4)
        return MediaType::None;
    const QByteArray extension = fileName.sliced(dot + 1).toByteArray().toLower();
    for (const auto &[text, type] : kExtensions) {
        if (extension == text)
            return type;
    }
    return MediaType::None;
}

MediaRead readMedia(int fd, MediaType type, const MediaLimits &limits)
{
    MediaSource source = MediaSource::ofFile(fd);
    return readFrom(source, type, limits);
}

MediaRead readMediaBytes(QByteArrayView bytes, MediaType type, const MediaLimits &limits)
{
    MediaSource source = MediaSource::ofBytes(bytes);
    return readFrom(source, type, limits);
}
