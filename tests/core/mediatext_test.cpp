#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "catalogue/mediatext.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(MediaText, PicturesSongsAndVideosInWords)
{
    const auto picture = [](QString taken, QString make, QString model, qint64 width, qint64 height) {
        MediaFacts facts;
        facts.taken = taken;
        facts.make = make;
        facts.model = model;
        facts.width = width;
        facts.height = height;
        return facts;
    };
    const auto sound = [](MediaFacts::Kind kind, QString artist, QString album, qint64 ms,
                          qint64 width = -1) {
        MediaFacts facts;
        facts.kind = kind;
        facts.artist = artist;
        facts.album = album;
        facts.lengthMs = ms;
        facts.width = width;
        facts.height = width > 0 ? 1080 : -1;
        return facts;
    };
    const std::pair<MediaFacts, QString> cases[] = {
        {picture(u"2004-07-11T15:05:00"_s, u"Canon"_s, u"Canon EOS 300D"_s, 3072, 2048),
         u"촬영 2004. 7. 11. 오후 3:05 · Canon EOS 300D · 3072 × 2048"_s},
        {picture(u"1999-01-02T09:07:30"_s, u"NIKON CORPORATION"_s, u"NIKON D70"_s, -1, -1),
         u"촬영 1999. 1. 2. 오전 9:07 · NIKON D70"_s},
        {picture({}, u"Apple"_s, u"iPhone 4"_s, 640, 480), u"Apple iPhone 4 · 640 × 480"_s},
        {picture(u"no date"_s, u"OLYMPUS"_s, {}, 0, 0), u"OLYMPUS"_s},
        {picture({}, {}, {}, -1, -1), QString()},
        {sound(MediaFacts::Kind::Audio, u"김광석"_s, u"다시 부르기"_s, 225'400),
         u"김광석 · 다시 부르기 · 3:45"_s},
        {sound(MediaFacts::Kind::Audio, {}, u"앨범"_s, 59'600), u"앨범 · 1:00"_s},
        {sound(MediaFacts::Kind::Video, {}, {}, 3'723'000, 1920), u"1:02:03 · 1920 × 1080"_s},
        {sound(MediaFacts::Kind::Video, {}, {}, -1), QString()},
    };
    for (const auto &[facts, text] : cases)
        EXPECT_EQ(mediaFactsText(facts), text) << text.toStdString();

    // The status line says it first, for a row whose facts describe its tree only.
    RecordSet tree(d_dir_tree());
    tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\n"
                      u"E:/\t바다.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t2\n"
                      u"E:/\ta.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2"_s);
    TreeFacts facts;
    for (qint64 row = 1; row <= 3; ++row)
        facts.append({1024, 0});
    facts.notes.of(kMediaNotes).set(2, encodeMediaFacts(cases[0].first));
    EXPECT_EQ(rowFactsText(tree, facts, 2), u"E:/바다.jpg — "_s + cases[0].second + u" · "_s +
                                                sizeText(1024) + u" (1,024바이트) · "_s + dateText(0));
    EXPECT_EQ(rowFactsText(tree, facts, 3),
              u"E:/a.txt — "_s + sizeText(1024) + u" (1,024바이트) · "_s + dateText(0));
    facts.append({1, 0}); // a tree of four rows: these facts are another tree's
    EXPECT_EQ(rowFactsText(tree, facts, 2), u"E:/바다.jpg — 크기 모름 · 날짜 모름"_s);
}
