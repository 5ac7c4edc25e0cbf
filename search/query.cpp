#include "search/query.h"

#include "catalogue/layouts.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

enum class Key { None, Kind, Size, Date, Taken, Camera, Artist, Album, Category, Disc };

Key keyOf(QStringView name)
{
    static const struct {
        const char16_t *name;
        Key key;
    } keys[] = {{u"종류", Key::Kind},     {u"type", Key::Kind},       {u"크기", Key::Size},
                {u"size", Key::Size},     {u"날짜", Key::Date},       {u"date", Key::Date},
                {u"촬영", Key::Taken},    {u"taken", Key::Taken},     {u"카메라", Key::Camera},
                {u"camera", Key::Camera}, {u"아티스트", Key::Artist}, {u"artist", Key::Artist},
                {u"앨범", Key::Album},    {u"album", Key::Album},     {u"구분", Key::Category},
                {u"디스크", Key::Disc},   {u"disc", Key::Disc}};
    for (const auto &key : keys) {
        if (name.compare(QStringView(key.name), Qt::CaseInsensitive) == 0)
            return key.key;
    }
    return Key::None;
}

// The extensions of each kind of file, and the words for it.
struct KindWords {
    QStringList words;
    QStringList extensions;
};
const std::vector<KindWords> &kindWords()
{
    static const std::vector<KindWords> kinds = {
        {{u"사진"_s, u"그림"_s, u"이미지"_s, u"picture"_s, u"pictures"_s, u"image"_s, u"images"_s, u"photo"_s,
          u"photos"_s},
         {u"jpg"_s, u"jpeg"_s, u"png"_s, u"gif"_s, u"bmp"_s, u"tif"_s, u"tiff"_s, u"webp"_s, u"heic"_s,
          u"heif"_s, u"raw"_s, u"cr2"_s, u"nef"_s, u"arw"_s, u"dng"_s, u"psd"_s}},
        {{u"음악"_s, u"소리"_s, u"music"_s, u"audio"_s, u"sound"_s},
         {u"mp3"_s, u"wav"_s, u"flac"_s, u"ogg"_s, u"m4a"_s, u"wma"_s, u"aac"_s, u"mid"_s, u"midi"_s,
          u"ape"_s, u"opus"_s}},
        {{u"동영상"_s, u"비디오"_s, u"영상"_s, u"video"_s, u"videos"_s, u"movie"_s, u"movies"_s},
         {u"avi"_s, u"mp4"_s, u"mkv"_s, u"mov"_s, u"wmv"_s, u"mpg"_s, u"mpeg"_s, u"m4v"_s, u"webm"_s,
          u"flv"_s, u"3gp"_s, u"vob"_s, u"ts"_s}},
        {{u"문서"_s, u"document"_s, u"documents"_s, u"doc"_s, u"docs"_s},
         {u"txt"_s, u"doc"_s, u"docx"_s, u"hwp"_s, u"hwpx"_s, u"pdf"_s, u"xls"_s, u"xlsx"_s, u"ppt"_s,
          u"pptx"_s, u"odt"_s, u"ods"_s, u"odp"_s, u"rtf"_s, u"md"_s, u"htm"_s, u"html"_s, u"csv"_s}},
        {{u"압축"_s, u"archive"_s, u"archives"_s},
         {u"zip"_s, u"rar"_s, u"7z"_s, u"tar"_s, u"gz"_s, u"tgz"_s, u"bz2"_s, u"xz"_s, u"cab"_s, u"alz"_s,
          u"egg"_s, u"lzh"_s, u"iso"_s}},
    };
    return kinds;
}

// The tokens of a query: runs of text between spaces, a double-quoted part keeping its spaces
// (an unclosed quote runs to the end, as while it is being typed).
struct Token {
    QString text;
    bool quotedFromStart = false; // a quote opens it: no filter, no exclusion
    bool quoted = false;
    bool last = false; // ends the query text
};

std::vector<Token> tokensOf(const QString &text)
{
    std::vector<Token> tokens;
    Token token;
    bool inQuote = false;
    bool any = false;
    for (const QChar c : text) {
        if (c == u'"') {
            inQuote = !inQuote;
            token.quotedFromStart = token.quotedFromStart || !any;
            token.quoted = true;
            any = true;
        } else if (!inQuote && c.isSpace()) {
            if (any)
                tokens.push_back(std::move(token));
            token = {};
            any = false;
        } else {
            token.text += c;
            any = true;
        }
    }
    if (any) {
        token.last = !text.back().isSpace() && text.back() != u'"';
        tokens.push_back(std::move(token));
    }
    return tokens;
}

// "100", "1.5GB", "10 KB" as bytes.
bool parseBytes(QString value, qint64 &bytes)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d+(?:\.\d+)?)\s*(b|k|kb|kib|m|mb|mib|g|gb|gib|t|tb|tib)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(value);
    if (!match.hasMatch())
        return false;
    const QString unit = match.captured(2).toLower();
    int shift = 0;
    if (!unit.isEmpty() && unit != u"b")
        shift = 10 * (int(QStringLiteral("kmgt").indexOf(unit[0])) + 1);
    const double amount = match.captured(1).toDouble() * double(qint64(1) << shift);
    if (amount >= 9.2e18)
        return false;
    bytes = qint64(amount);
    return true;
}

// "2004", "2004-07", "2004-07-15" as the first moment of that period and of the next.
bool parsePeriod(const QString &value, QDateTime &from, QDateTime &next)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d{4})(?:[-/](\d{1,2})(?:[-/](\d{1,2}))?)?$)"));
    const QRegularExpressionMatch match = pattern.match(value.trimmed());
    if (!match.hasMatch())
        return false;
    const int year = match.captured(1).toInt();
    const bool hasMonth = match.hasCaptured(2) && !match.captured(2).isEmpty();
    const bool hasDay = match.hasCaptured(3) && !match.captured(3).isEmpty();
    const QDate first(year, hasMonth ? match.captured(2).toInt() : 1, hasDay ? match.captured(3).toInt() : 1);
    if (!first.isValid())
        return false;
    const QDate after = hasDay ? first.addDays(1) : hasMonth ? first.addMonths(1) : first.addYears(1);
    from = first.startOfDay();
    next = after.startOfDay();
    return true;
}

// ">x", ">=x", "<x", "<=x", "a..b", "a..", "..b" or "x": the comparison and its one or two values.
struct Comparison {
    QString op;
    QString first;
    QString second;
};

Comparison comparisonOf(const QString &value)
{
    for (const char16_t *op : {u">=", u"<=", u">", u"<", u"="}) {
        if (value.startsWith(QStringView(op)))
            return {QString::fromUtf16(op), value.mid(qsizetype(std::char_traits<char16_t>::length(op))), {}};
    }
    const qsizetype dots = value.indexOf(u"..");
    if (dots >= 0)
        return {QStringLiteral(".."), value.left(dots), value.mid(dots + 2)};
    return {{}, value, {}};
}

} // namespace

bool parseSize(const QString &value, SizeRange &range)
{
    const Comparison comparison = comparisonOf(value.trimmed());
    qint64 first = 0, second = 0;
    const bool hasFirst = parseBytes(comparison.first, first);
    range = {};
    if (comparison.op == u"..") {
        const bool hasSecond = parseBytes(comparison.second, second);
        if ((!hasFirst && !comparison.first.trimmed().isEmpty()) ||
            (!hasSecond && !comparison.second.trimmed().isEmpty()) || (!hasFirst && !hasSecond))
            return false;
        if (hasFirst)
            range.least = first;
        if (hasSecond)
            range.most = second;
        return range.least <= range.most;
    }
    if (!hasFirst)
        return false;
    if (comparison.op == u">")
        range.least = first + 1;
    else if (comparison.op == u"<")
        range.most = first - 1;
    else if (comparison.op == u"<=")
        range.most = first;
    else if (comparison.op == u"=")
        range = {first, first};
    else
        range.least = first; // ">=" and a bare size
    return range.least <= range.most;
}

bool parseDate(const QString &value, DateRange &range)
{
    const Comparison comparison = comparisonOf(value.trimmed());
    QDateTime from, next;
    const bool hasFirst = parsePeriod(comparison.first, from, next);
    range = {};
    if (comparison.op == u"..") {
        QDateTime secondFrom, secondNext;
        const bool hasSecond = parsePeriod(comparison.second, secondFrom, secondNext);
        if ((!hasFirst && !comparison.first.trimmed().isEmpty()) ||
            (!hasSecond && !comparison.second.trimmed().isEmpty()) || (!hasFirst && !hasSecond))
            return false;
        range = {hasFirst ? from : QDateTime(), hasSecond ? secondNext : QDateTime()};
        return range.from.isNull() || range.until.isNull() || range.from < range.until;
    }
    if (!hasFirst)
        return false;
    if (comparison.op == u">")
        range.from = next;
    else if (comparison.op == u">=")
        range.from = from;
    else if (comparison.op == u"<")
        range.until = from;
    else if (comparison.op == u"<=")
        range.until = next;
    else
        range = {from, next};
    return true;
}

bool parseKinds(const QString &value, KindFilter &kinds)
{
    kinds = {};
    for (QString part : value.split(u',', Qt::SkipEmptyParts)) {
        part = part.trimmed().toCaseFolded();
        if (part.startsWith(u'.'))
            part.remove(0, 1);
        if (part.isEmpty())
            continue;
        if (part == u"폴더" || part == u"folder" || part == u"folders" || part == u"dir") {
            kinds.folders = true;
            continue;
        }
        if (part == u"파일" || part == u"file" || part == u"files") {
            kinds.files = true;
            continue;
        }
        bool known = false;
        for (const KindWords &kind : kindWords()) {
            if (kind.words.contains(part)) {
                kinds.extensions += kind.extensions;
                known = true;
            }
        }
        // Any other word of letters and digits is an extension of its own (종류:hwp).
        static const QRegularExpression extension(QStringLiteral("^[a-z0-9_~$-]{1,16}$"));
        if (!known && !extension.match(part).hasMatch())
            return false;
        if (!known)
            kinds.extensions.append(part);
    }
    kinds.extensions.removeDuplicates();
    return kinds.folders || kinds.files || !kinds.extensions.isEmpty();
}

bool parseCategories(const QString &value, QStringList &codes)
{
    codes.clear();
    for (QString part : value.split(u',', Qt::SkipEmptyParts)) {
        part = part.trimmed();
        bool known = false;
        for (const Category &category : kCategories) {
            const QString code = QString::fromUtf16(category.code);
            if (part == code || part == QString::fromUtf16(category.text) ||
                (code == u"02" && (part == u"데이터" || part == u"자료"))) {
                codes.append(code);
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return !codes.isEmpty();
}

bool ResultQuery::asksForAnything() const
{
    return !words.isEmpty() || !excluded.isEmpty() || !kinds.empty() || !sizes.empty() || !dates.empty() ||
           hasMediaFilters() || !categories.empty() || !discs.empty();
}

void ResultQuery::add(const ResultQuery &other)
{
    words += other.words;
    excluded += other.excluded;
    kinds.insert(kinds.end(), other.kinds.begin(), other.kinds.end());
    sizes.insert(sizes.end(), other.sizes.begin(), other.sizes.end());
    dates.insert(dates.end(), other.dates.begin(), other.dates.end());
    taken.insert(taken.end(), other.taken.begin(), other.taken.end());
    cameras += other.cameras;
    artists += other.artists;
    albums += other.albums;
    categories.insert(categories.end(), other.categories.begin(), other.categories.end());
    discs.insert(discs.end(), other.discs.begin(), other.discs.end());
    ignored += other.ignored;
}

namespace {

// A filter token into the query; false when its value was not understood.
bool addFilter(ResultQuery &query, Key key, const QString &value)
{
    switch (key) {
    case Key::Kind: {
        KindFilter kinds;
        return parseKinds(value, kinds) && (query.kinds.push_back(kinds), true);
    }
    case Key::Size: {
        SizeRange range;
        return parseSize(value, range) && (query.sizes.push_back(range), true);
    }
    case Key::Date: {
        DateRange range;
        return parseDate(value, range) && (query.dates.push_back(range), true);
    }
    case Key::Taken: {
        DateRange range;
        return parseDate(value, range) && (query.taken.push_back(range), true);
    }
    case Key::Camera:
        query.cameras.append(value);
        return true;
    case Key::Artist:
        query.artists.append(value);
        return true;
    case Key::Album:
        query.albums.append(value);
        return true;
    case Key::Category: {
        QStringList codes;
        return parseCategories(value, codes) && (query.categories.push_back(codes), true);
    }
    case Key::Disc:
        query.discs.push_back(value);
        return true;
    case Key::None:
        break;
    }
    return false;
}

} // namespace

ResultQuery parseQuery(const QString &text, bool composing)
{
    ResultQuery query;
    for (const Token &token : tokensOf(text)) {
        QString word = token.text;
        if (!token.quotedFromStart) {
            const qsizetype colon = word.indexOf(QRegularExpression(QStringLiteral("[:：]")));
            const Key key = colon > 0 ? keyOf(QStringView(word).first(colon)) : Key::None;
            if (key != Key::None) {
                const QString value = word.mid(colon + 1);
                if (!value.trimmed().isEmpty() && !addFilter(query, key, value))
                    query.ignored.append(word);
                continue;
            }
        }
        const bool excluded = !token.quotedFromStart && word.startsWith(u'-');
        if (excluded)
            word.remove(0, 1);
        if (word.isEmpty())
            continue; // a lone "-" or "" while typing
        if (excluded) {
            query.excluded.append(word);
        } else {
            query.words.append(word);
            query.composing = composing && token.last;
        }
    }
    return query;
}
