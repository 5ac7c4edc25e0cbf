#include "scanner/mediareaders.h"

#include "files/filesystem.h"

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tiostream.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <memory>
#include <mutex>

namespace {

// TagLib reads a file through this: every read comes out of the source's budget, so a tag that
// claims a gigabyte, or a search for a frame through a file of noise, ends where the budget does.
class SourceStream final : public TagLib::IOStream {
  public:
    explicit SourceStream(MediaSource &source) : m_source(source) {}
    TagLib::FileName name() const override { return ""; }
    TagLib::ByteVector readBlock(unsigned long length) override
    {
        const QByteArray bytes = m_source.read(m_position, qint64(length));
        m_position += bytes.size();
        return TagLib::ByteVector(bytes.constData(), unsigned(bytes.size()));
    }
    void writeBlock(const TagLib::ByteVector &) override {}
    void insert(const TagLib::ByteVector &, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    void seek(long offset, Position from) override
    {
        const qint64 base = from == Beginning ? 0 : from == Current ? m_position : m_source.size();
        m_position = std::max<qint64>(0, base + offset);
    }
    long tell() const override { return long(m_position); }
    long length() override { return long(m_source.size()); }
    void truncate(long) override {}

  private:
    MediaSource &m_source;
    qint64 m_position = 0;
};

// ID3 tags of Latin-1 text were written by Korean players in CP949, and by some in UTF-8: the
// bytes are read as a file name on a disc is, with Latin-1 for what is neither.
QString legacyText(QByteArrayView bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    if (std::optional<QString> text = cp949TextOf(bytes))
        return *std::move(text);
    return QString::fromLatin1(bytes);
}

TagLib::String tagString(const TagLib::ByteVector &data)
{
    // Tag fields are padded with NULs.
    QByteArrayView bytes(data.data(), qsizetype(data.size()));
    const qsizetype end = bytes.indexOf('\0');
    if (end >= 0)
        bytes = bytes.first(end);
    return TagLib::String(legacyText(bytes).toStdString(), TagLib::String::UTF8);
}

class Id3v2Latin1 final : public TagLib::ID3v2::Latin1StringHandler {
  public:
    TagLib::String parse(const TagLib::ByteVector &data) const override { return tagString(data); }
};

class Id3v1Text final : public TagLib::ID3v1::StringHandler {
  public:
    TagLib::String parse(const TagLib::ByteVector &data) const override
    {
        return tagString(data).stripWhiteSpace();
    }
};

void readLegacyTagsAsKorean()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static const Id3v2Latin1 id3v2;
        static const Id3v1Text id3v1;
        TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
        TagLib::ID3v1::Tag::setStringHandler(&id3v1);
    });
}

std::unique_ptr<TagLib::File> openSound(SourceStream &stream, MediaType type)
{
    auto *frames = TagLib::ID3v2::FrameFactory::instance();
    constexpr auto style = TagLib::AudioProperties::Average;
    switch (type) {
    case MediaType::Mp3:
        return std::make_unique<TagLib::MPEG::File>(&stream, frames, true, style);
    case MediaType::Flac:
        return std::make_unique<TagLib::FLAC::File>(&stream, frames, true, style);
    case MediaType::OggVorbis:
        return std::make_unique<TagLib::Ogg::Vorbis::File>(&stream, true, style);
    case MediaType::Opus:
        return std::make_unique<TagLib::Ogg::Opus::File>(&stream, true, style);
    case MediaType::Mp4Audio:
    case MediaType::Mp4Video:
        return std::make_unique<TagLib::MP4::File>(&stream, true, style);
    case MediaType::Wma:
    case MediaType::Wmv:
        return std::make_unique<TagLib::ASF::File>(&stream, true, style);
    case MediaType::Wav:
        return std::make_unique<TagLib::RIFF::WAV::File>(&stream, true, style);
    case MediaType::Aiff:
        return std::make_unique<TagLib::RIFF::AIFF::File>(&stream, true, style);
    default:
        return nullptr;
    }
}

QString textOf(const TagLib::String &text)
{
    return QString::fromStdString(text.to8Bit(true)).simplified();
}

} // namespace

MediaRead readSound(MediaSource &source, MediaType type)
{
    readLegacyTagsAsKorean();
    SourceStream stream(source);
    MediaRead result;
    try {
        const std::unique_ptr<TagLib::File> file = openSound(stream, type);
        if (!file || !file->isValid())
            return result;
        MediaFacts facts;
        facts.kind = type == MediaType::Mp4Video || type == MediaType::Wmv ? MediaFacts::Kind::Video
                                                                           : MediaFacts::Kind::Audio;
        if (const TagLib::Tag *tag = file->tag()) {
            facts.artist = textOf(tag->artist());
            facts.album = textOf(tag->album());
            facts.title = textOf(tag->title());
            facts.track = tag->track() > 0 ? qint64(tag->track()) : MediaFacts::kUnknown;
            facts.year = tag->year() > 0 ? qint64(tag->year()) : MediaFacts::kUnknown;
        }
        if (const TagLib::AudioProperties *properties = file->audioProperties())
            facts.lengthMs = properties->lengthInMilliseconds() > 0
                                 ? qint64(properties->lengthInMilliseconds())
                                 : MediaFacts::kUnknown;
        result.facts = facts;
    } catch (const std::exception &) {
        // TagLib reports damage by its results; an allocation that fails on a hostile size lands here.
    }
    return result;
}
