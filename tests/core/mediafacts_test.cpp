#include "catalogue/mediafacts.h"

#include <gtest/gtest.h>

TEST(MediaFacts, EveryFieldComesBackAndBadLinesAreNone)
{
    MediaFacts photo;
    photo.taken = QStringLiteral("2004-07-11T15:05:00");
    photo.make = QStringLiteral("Canon");
    photo.model = QStringLiteral("Canon EOS\t300D");
    photo.width = 3072;
    photo.height = 2048;
    MediaFacts song;
    song.kind = MediaFacts::Kind::Audio;
    song.artist = QStringLiteral("김광석");
    song.album = QStringLiteral("다시 부르기\n2");
    song.title = QStringLiteral("이등병의 편지");
    song.track = 3;
    song.year = 1993;
    song.lengthMs = 225'000;
    MediaFacts clip;
    clip.kind = MediaFacts::Kind::Video;
    clip.width = 0;
    clip.lengthMs = 0;

    for (const MediaFacts &facts : {photo, song, clip}) {
        const QByteArray line = encodeMediaFacts(facts);
        EXPECT_FALSE(line.contains('\n'));
        std::optional<MediaFacts> back = decodeMediaFacts(line);
        ASSERT_TRUE(back);
        MediaFacts flat = facts;
        flat.model.replace(u'\t', u' ');
        flat.album.replace(u'\n', u' ');
        EXPECT_EQ(*back, flat);
        // A later version's extra fields are passed over.
        EXPECT_EQ(decodeMediaFacts(line + "\tmore\t1"), back);
    }

    const QByteArray good = encodeMediaFacts(song);
    for (const QByteArray &bad :
         {QByteArray(), QByteArray("audio"), good.left(good.lastIndexOf('\t')),
          QByteArray(good).replace("audio", "sound"), QByteArray(good).replace("1993", "19x3"),
          QByteArray(good).replace("225000", "-5")})
        EXPECT_FALSE(decodeMediaFacts(bad)) << bad.constData();
}
