// The tree pictures and the icon are loaded from the resources compiled into
// tarvek_gui, so these tests also prove the resources reach a program that
// links the library.

#include <QFile>
#include <QImage>
#include <QSet>
#include <QString>
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <vector>

namespace {

const QRgb White = qRgb(255, 255, 255);
const QRgb Grey = qRgb(128, 128, 128);
const QRgb Black = qRgb(0, 0, 0);

struct Pixel {
    int x;
    int y;
    QRgb colour;
};

struct PictureCase {
    const char *name;
    int width;
    int height;
    int inkCount; // pixels that are not white, or -1 for free drawings: catches stray dots
    std::vector<Pixel> pixels;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const PictureCase &c, std::ostream *os)
{
    *os << c.name;
}

QString resourcePath(const char *name)
{
    return QStringLiteral(":/pictures/") + QString::fromLatin1(name);
}

QByteArray readResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

quint32 le32(const QByteArray &data, int offset)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(data.at(offset + i));
    return value;
}

quint16 le16(const QByteArray &data, int offset)
{
    return quint16(quint8(data.at(offset)) | (quint8(data.at(offset + 1)) << 8));
}

int countInk(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != White;
    return count;
}

// Both ends of each dotted line, a dot in between and the gaps around them.
std::vector<Pixel> cornerPixels()
{
    return {{5, 1, Grey},   {5, 11, Grey},  {7, 11, Grey},  {15, 11, Grey}, {5, 0, White},  {5, 2, White},
            {5, 12, White}, {5, 13, White}, {5, 17, White}, {4, 11, White}, {6, 11, White}, {14, 11, White}};
}

std::vector<Pixel> teePixels()
{
    return {{5, 1, Grey},   {5, 11, Grey},  {5, 13, Grey},  {5, 17, Grey},  {15, 11, Grey}, {5, 0, White},
            {5, 12, White}, {5, 16, White}, {5, 18, White}, {6, 11, White}, {4, 11, White}};
}

std::vector<Pixel> verticalLinePixels()
{
    return {{4, 1, Grey},   {4, 9, Grey},   {4, 17, Grey}, {4, 0, White}, {4, 2, White},
            {4, 16, White}, {4, 18, White}, {3, 1, White}, {5, 1, White}};
}

std::vector<Pixel> horizontalLinePixels()
{
    return {{1, 11, Grey},  {9, 11, Grey},   {15, 11, Grey}, {0, 11, White},
            {2, 11, White}, {14, 11, White}, {1, 10, White}, {1, 12, White}};
}

// The four corners of the box and the end of every connector are shared by
// minus.bmp and plus.bmp; the box inside must stay white around the bar.
std::vector<Pixel> boxPixels()
{
    return {{1, 7, Grey},   {9, 7, Grey},   {1, 15, Grey},  {9, 15, Grey},   {5, 7, Grey},
            {1, 11, Grey},  {5, 1, Grey},   {5, 5, Grey},   {5, 17, Grey},   {11, 11, Grey},
            {15, 11, Grey}, {3, 11, Black}, {7, 11, Black}, {5, 11, Black},  {5, 0, White},
            {5, 6, White},  {5, 16, White}, {5, 18, White}, {10, 11, White}, {12, 11, White},
            {2, 11, White}, {8, 11, White}, {2, 8, White},  {8, 14, White},  {0, 11, White}};
}

std::vector<Pixel> minusPixels()
{
    std::vector<Pixel> pixels = boxPixels();
    pixels.insert(pixels.end(), {{5, 9, White}, {5, 10, White}, {5, 13, White}});
    return pixels;
}

std::vector<Pixel> plusPixels()
{
    const std::vector<Pixel> bar = {{5, 9, Black},  {5, 10, Black}, {5, 13, Black}, {5, 8, White},
                                    {5, 14, White}, {4, 9, White},  {6, 13, White}};
    std::vector<Pixel> pixels = boxPixels();
    pixels.insert(pixels.end(), bar.begin(), bar.end());
    return pixels;
}

// The closed folder's body spans x 1..12 on rows 4..13; the rest is free.
std::vector<Pixel> closedFolderPixels()
{
    return {{1, 4, Black}, {12, 4, Black}, {1, 13, Black}, {12, 13, Black}, {0, 0, White}, {15, 15, White}};
}

// The archive is the closed folder with a zipper down its front, silver and black in turn.
std::vector<Pixel> archivePixels()
{
    const QRgb silver = qRgb(192, 192, 192);
    return {{1, 4, Black},  {12, 4, Black}, {1, 13, Black}, {12, 13, Black}, {6, 5, Black},
            {7, 5, silver}, {6, 6, silver}, {7, 6, Black},  {6, 12, silver}, {0, 0, White}};
}

std::vector<Pixel> openFolderPixels()
{
    return {{0, 0, White}, {18, 17, White}, {0, 17, White}};
}

// A box outline of 9 by 9 has 32 dots and its connectors 7 more.
const int BoxInk = 32 + 7;

std::vector<PictureCase> pictureCases()
{
    return {
        {"empty.bmp", 16, 19, 11, cornerPixels()},        {"empty2.bmp", 16, 19, 14, teePixels()},
        {"lines.bmp", 16, 19, 9, verticalLinePixels()},   {"line.bmp", 16, 19, 8, horizontalLinePixels()},
        {"minus.bmp", 16, 19, BoxInk + 5, minusPixels()}, {"plus.bmp", 16, 19, BoxInk + 9, plusPixels()},
        {"folder.bmp", 16, 16, -1, closedFolderPixels()}, {"foldopen.bmp", 19, 18, -1, openFolderPixels()},
        {"archive.bmp", 16, 16, -1, archivePixels()}};
}

class PictureTest : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PictureTest, HeaderIsUncompressedFourBitWithSixteenColours)
{
    const PictureCase &c = GetParam();
    const QByteArray data = readResource(resourcePath(c.name));
    ASSERT_GE(data.size(), 14 + 40 + 64) << c.name << " is missing or truncated";
    EXPECT_EQ(data.left(2), QByteArray("BM"));
    EXPECT_EQ(le32(data, 14), 40u) << "not a BITMAPINFOHEADER";
    EXPECT_EQ(int(le32(data, 18)), c.width);
    EXPECT_EQ(int(le32(data, 22)), c.height) << "rows must be stored bottom-up";
    EXPECT_EQ(le16(data, 28), 4) << "bits per pixel";
    EXPECT_EQ(le32(data, 30), 0u) << "compression must be BI_RGB";
    const quint32 coloursUsed = le32(data, 46);
    EXPECT_TRUE(coloursUsed == 0 || coloursUsed == 16) << coloursUsed;
    const int rowBytes = (c.width * 4 + 31) / 32 * 4;
    EXPECT_EQ(int(le32(data, 10)), 14 + 40 + 64) << "pixels must follow the palette";
    EXPECT_EQ(data.size(), 14 + 40 + 64 + rowBytes * c.height);
}

TEST_P(PictureTest, PaletteIsTheStandardSixteenColours)
{
    static const std::array<QRgb, 16> standard = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    const QByteArray data = readResource(resourcePath(GetParam().name));
    ASSERT_GE(data.size(), 14 + 40 + 64);
    for (int i = 0; i < 16; ++i) {
        const int at = 54 + 4 * i; // entries are blue, green, red, reserved
        const QRgb entry = qRgb(quint8(data.at(at + 2)), quint8(data.at(at + 1)), quint8(data.at(at)));
        EXPECT_EQ(entry, standard[i]) << "palette entry " << i;
    }
}

TEST_P(PictureTest, LoadsWithItsSizeAndKeyPixels)
{
    const PictureCase &c = GetParam();
    const QImage image(resourcePath(c.name));
    ASSERT_FALSE(image.isNull()) << c.name;
    EXPECT_EQ(image.size(), QSize(c.width, c.height));
    for (const Pixel &p : c.pixels)
        EXPECT_EQ(image.pixel(p.x, p.y), p.colour) << c.name << " at (" << p.x << "," << p.y << ")";
    if (c.inkCount >= 0) {
        EXPECT_EQ(countInk(image), c.inkCount) << c.name << " has stray or missing dots";
    }
}

INSTANTIATE_TEST_SUITE_P(TreePictures, PictureTest, ::testing::ValuesIn(pictureCases()),
                         [](const auto &info) {
                             return QString::fromLatin1(info.param.name).section('.', 0, 0).toStdString();
                         });

// The tree puts lines.bmp one pixel right of the boxes and corners, so its
// dots at x = 4 must land on the same rows as theirs at x = 5.
TEST(TreePictureJoins, VerticalDotsLineUpAcrossPictures)
{
    const QImage lines(resourcePath("lines.bmp"));
    const QImage tee(resourcePath("empty2.bmp"));
    const QImage minus(resourcePath("minus.bmp"));
    ASSERT_FALSE(lines.isNull() || tee.isNull() || minus.isNull());
    for (int y = 0; y < 19; ++y) {
        EXPECT_EQ(lines.pixel(4, y), tee.pixel(5, y)) << "row " << y;
        if (y <= 6) {
            EXPECT_EQ(lines.pixel(4, y), minus.pixel(5, y)) << "row " << y;
        }
    }
}

QSet<QRgb> coloursOf(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return colours;
}

// The folders are free drawings; they must at least be drawings, in colour.
TEST(FolderPictures, AreNotBlank)
{
    for (const char *name : {"folder.bmp", "foldopen.bmp", "archive.bmp"}) {
        const QImage image(resourcePath(name));
        ASSERT_FALSE(image.isNull()) << name;
        const QSet<QRgb> colours = coloursOf(image);
        EXPECT_GT(countInk(image), image.width() * image.height() / 4) << name;
        EXPECT_TRUE(colours.contains(Black)) << name << " needs an outline";
        EXPECT_TRUE(colours.contains(qRgb(255, 255, 0))) << name << " needs its yellow";
    }
    const QSet<QRgb> open = coloursOf(QImage(resourcePath("foldopen.bmp")));
    EXPECT_TRUE(open.contains(Grey)) << "the back edge of the open folder";
    EXPECT_TRUE(open.contains(qRgb(192, 192, 192))) << "the inside of the open folder";
}

TEST(ApplicationIcon, LoadsAtSixtyFourPixelsWithTransparentCorners)
{
    const QImage icon(QStringLiteral(":/tarvek.png"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(64, 64));
    EXPECT_TRUE(icon.hasAlphaChannel());
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(63, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(0, 63)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(20, 20)), 255) << "the disc should be solid";
}

} // namespace
