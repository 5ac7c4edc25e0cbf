#include "search/searchtrigrams.h"

#include "files/cp949table.h"
#include "files/textcodec.h"
#include "files/textfile.h"
#include "search/comparedbytes.h"
#include "search/search.h"
#include "search/textforms.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// FAT keeps modification times to two seconds.
constexpr qint64 kCoarsestTimeNs = qint64(3) * 1000 * 1000 * 1000;
constexpr size_t kTrigramCount = size_t(1) << 24;
// A file with a line this long is read whole: the readers pass over lines of a mebibyte or more,
// and a search reading parts of a file reads them a mebibyte at a time.
constexpr qsizetype kLongLine = qsizetype(512) << 10;

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000 * 1000 * 1000 + time.tv_nsec;
}

FileStamp stampFrom(const struct stat &st)
{
    return {qint64(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim), quint64(st.st_ino),
            quint64(st.st_dev)};
}

// UTF-8 of the compared form (search/textforms.h) of one character packed as length << 24 |
// bytes; 0 when that form is not one character, or the character could join with a neighbour.
uint32_t packedUtf8(QChar c)
{
    if (QChar::combiningClass(c.unicode()) != 0 || c.isMark() ||
        (c.unicode() >= 0x1100 && c.unicode() <= 0x11FF))
        return 0;
    const QString form = comparedForm(QString(c), CaseRule::Any);
    if (form.size() != 1)
        return 0;
    const QByteArray bytes = form.toUtf8();
    uint32_t packed = uint32_t(bytes.size()) << 24;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        packed |= uint32_t(uchar(bytes[i])) << (16 - 8 * i);
    return packed;
}

// The compared form of what the CP949 decoder gives for each two-byte sequence (the learnt table
// of files/) and each single byte above ASCII, so that lines of plain characters are converted
// without it.
// Anything else (a broken sequence, whose handling is the decoder's own business) goes through
// the decoder.
struct Cp949Table {
    std::unique_ptr<uint32_t[]> pair{new uint32_t[0x10000]()};
    std::array<uint32_t, 256> single{};
    std::array<bool, 256> lead{};
    std::array<bool, 256> plain{}; // ASCII that is never the second byte of a pair

    Cp949Table()
    {
        // Followed by "A", so that a byte the decoder keeps back as an unfinished character, or
        // takes with the next, shows.
        const auto decode = [](const char *bytes, qsizetype size) {
            QStringDecoder decoder(kCp949Name, QStringConverter::Flag::Stateless);
            const QString text = decoder.decode(QByteArray(bytes, size) + 'A');
            return text.size() == 2 && text[1] == u'A' && text[0] != QChar::ReplacementCharacter &&
                           !text[0].isSurrogate()
                       ? packedUtf8(text[0])
                       : 0;
        };
        const char16_t *pairs = cp949PairTable();
        for (int first = 0x80; first <= 0xFF; ++first) {
            const char one = char(first);
            single[first] = decode(&one, 1);
            for (int second = 0x41; second <= 0xFE; ++second) {
                const char16_t unit = pairs[first << 8 | second];
                pair[first << 8 | second] = unit != 0 ? packedUtf8(QChar(unit)) : 0;
                lead[first] = lead[first] || unit != 0;
            }
        }
        for (int byte = 0; byte < 0x80; ++byte) {
            plain[byte] = true;
            for (int first = 0x80; first <= 0xFF; ++first)
                plain[byte] = plain[byte] && pair[first << 8 | byte] == 0;
        }
    }
};

const Cp949Table &cp949Table()
{
    static const Cp949Table table;
    return table;
}

char *putPacked(char *out, uint32_t packed)
{
    const int size = int(packed >> 24);
    for (int i = 0; i < size; ++i)
        *out++ = char(packed >> (16 - 8 * i));
    return out;
}

// How many bytes from `bytes` on are ASCII, sixteen at a time (the last few may be left over).
qsizetype asciiRun(const char *bytes, qsizetype size)
{
    qsizetype run = 0;
#ifdef __SSE2__
    for (; run + 16 <= size; run += 16) {
        if (_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + run))) != 0)
            break;
    }
#endif
    return run;
}

// How many bytes two runs share at their start, sixteen at a time where they can.
qsizetype sharedStart(const char *a, const char *b, qsizetype size)
{
    qsizetype same = 0;
#ifdef __SSE2__
    for (; same + 16 <= size; same += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + same));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + same));
        const int differ = ~_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) & 0xFFFF;
        if (differ != 0)
            return same + qCountTrailingZeroBits(uint(differ));
    }
#endif
    while (same < size && a[same] == b[same])
        ++same;
    return same;
}

// The UTF-8 of the compared form of a CP949 line without the decoder; false when the line needs
// the decoder.
bool cp949ToUtf8(const char *bytes, qsizetype size, QByteArray &out)
{
    out.resize(size * 3);
    char *to = out.data();
    const Cp949Table *table = nullptr;
    for (qsizetype i = 0; i < size;) {
        const qsizetype plain = asciiRun(bytes + i, size - i);
        foldAscii(bytes + i, plain, to);
        to += plain;
        i += plain;
        if (i == size)
            break;
        const uchar c = uchar(bytes[i]);
        if (c < 0x80) {
            *to++ = c >= 'A' && c <= 'Z' ? char(c + 0x20) : char(c);
            ++i;
            continue;
        }
        table = table ? table : &cp949Table();
        const uint32_t two = i + 1 < size ? table->pair[c << 8 | uchar(bytes[i + 1])] : 0;
        if (two != 0) {
            to = putPacked(to, two);
            i += 2;
        } else if (table->single[c] != 0 && !table->lead[c]) {
            to = putPacked(to, table->single[c]);
            ++i;
        } else {
            return false;
        }
    }
    out.resize(to - out.constData());
    return true;
}

} // namespace

bool isRecentStamp(const FileStamp &stamp)
{
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now) - stamp.mtimeNs < kCoarsestTimeNs;
}

bool stampOf(const QString &path, FileStamp &stamp, int folderFd)
{
    struct stat st;
    if (::fstatat(folderFd < 0 ? AT_FDCWD : folderFd, QFile::encodeName(path).constData(), &st, 0) != 0 ||
        !S_ISREG(st.st_mode))
        return false;
    stamp = stampFrom(st);
    return true;
}

std::vector<uint32_t> textTrigrams(const QString &text)
{
    std::vector<uint32_t> trigrams;
    if (!QStringView(text).isValidUtf16())
        return trigrams;
    const QByteArray bytes = comparedForm(text, CaseRule::Any).toUtf8();
    for (qsizetype i = 0; i + 3 <= bytes.size(); ++i)
        trigrams.push_back(uint32_t(uchar(bytes[i])) << 16 | uint32_t(uchar(bytes[i + 1])) << 8 |
                           uchar(bytes[i + 2]));
    std::sort(trigrams.begin(), trigrams.end());
    trigrams.erase(std::unique(trigrams.begin(), trigrams.end()), trigrams.end());
    return trigrams;
}

TrigramReader::TrigramReader() : m_slot(kTrigramCount >> 12)
{
}

TrigramReader::~TrigramReader() = default;

bool stampOfOpenFile(int fd, FileStamp &stamp)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp = stampFrom(st);
    return true;
}

bool TrigramReader::read(const QString &path, FileStamp &stamp, FileTrigrams &found)
{
    qint64 size = 0;
    const int fd = openRegularFile(path, size);
    if (fd < 0)
        return false;
    bool ok = stampOfOpenFile(fd, stamp);
    if (ok) {
        m_file.resize(qsizetype(stamp.size) + 1);
        qsizetype held = 0;
        for (ssize_t got = 1; ok && got != 0;) {
            if (held == m_file.size())
                m_file.resize(held * 2);
            got = ::read(fd, m_file.data() + held, size_t(m_file.size() - held));
            ok = got >= 0 || errno == EINTR;
            held += std::max<ssize_t>(got, 0);
        }
        const bool utf8 = ok && held >= kUtf8BomSize &&
                          std::memcmp(m_file.constData(), kUtf8Bom, kUtf8BomSize) == 0 &&
                          restIsUtf8(fd, kUtf8BomSize);
        if (ok)
            trigramsOf(m_file.constData(), held, utf8, found);
    }
    ::close(fd);
    return ok;
}

void TrigramReader::trigramsOf(const char *bytes, qsizetype size, bool utf8, FileTrigrams &found)
{
    m_previous.clear();
    m_lastRaw = nullptr;
    const qsizetype start = utf8 ? kUtf8BomSize : 0;
    const qsizetype empty = start < size ? firstEmptyLine(bytes, start, size, true) : -1;
    const qsizetype limit = empty < 0 ? std::max(start, size) : empty;
    // Blocks of about equal size, each beginning at a line's start.
    const qsizetype target = std::max<qsizetype>(1, (limit - start + kMaxBlocks - 1) / kMaxBlocks);
    FileLayout &layout = found.layout;
    layout = FileLayout{utf8, uint32_t(limit), {{uint32_t(start), 0}}};
    bool whole = limit > qsizetype(UINT32_MAX);
    uint32_t lines = 0;
    for (const char *at = bytes + start, *end = bytes + limit; at < end; ++lines) {
        const char *lf = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        const char *next = lf ? lf + 1 : end;
        const char *stop = lf ? lf : end;
        if (stop > at && stop[-1] == '\r')
            --stop;
        whole = whole || next - at >= kLongLine;
        const qsizetype offset = at - bytes;
        if (offset - qsizetype(layout.blocks.back().offset) >= target && layout.blocks.size() < kMaxBlocks) {
            layout.blocks.push_back({uint32_t(offset), lines});
            // A block counts all the trigrams of its first line: none is left to the line before.
            m_previous.clear();
            m_lastRaw = nullptr;
        }
        if (utf8) {
            convertUtf8(at, stop - at);
        } else {
            convertCp949(at, stop - at);
        }
        addLine(m_line.constData(), m_line.size(), uint64_t(1) << (layout.blocks.size() - 1));
        std::swap(m_line, m_previous);
        at = next;
    }
    finish(found, whole);
}

// The UTF-8 of the compared form of a line of a UTF-8 file into m_line: valid UTF-8 decodes to
// itself (less a leading U+FEFF, whose trigrams only add), so ASCII needs only its letters folded.
void TrigramReader::convertUtf8(const char *bytes, qsizetype size)
{
    if (std::all_of(bytes + asciiRun(bytes, size), bytes + size, [](char c) { return uchar(c) < 0x80; })) {
        m_line.resize(size);
        foldAscii(bytes, size, m_line.data());
        return;
    }
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    m_line = comparedForm(decoder.decode(QByteArrayView(bytes, size)), CaseRule::Any).toUtf8();
}

// Hands over the trigrams found, sorted, and makes the reader ready for the next file.
void TrigramReader::finish(FileTrigrams &found, bool whole)
{
    std::vector<uint64_t> order(m_found.size());
    for (size_t i = 0; i < m_found.size(); ++i)
        order[i] = uint64_t(m_found[i]) << 32 | i;
    std::sort(order.begin(), order.end());
    found.trigrams.resize(order.size());
    found.masks.resize(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        found.trigrams[i] = uint32_t(order[i] >> 32);
        found.masks[i] = whole ? 1 : m_masks[uint32_t(order[i])];
    }
    if (whole)
        found.layout.blocks.resize(1);
    for (uint32_t trigram : m_found)
        m_slot[trigram >> 12][trigram & 0xFFF] = 0;
    m_found.clear();
    m_masks.clear();
}

// The UTF-8 of a CP949 line into m_line. Where the line begins as the line before did and that
// one needed no decoder, the shared start is left out but for two characters of it: those bytes
// decode as they did there, so the trigrams wholly inside them were counted with that line. A
// place after two bytes that are never the second byte of a pair is where a character begins.
void TrigramReader::convertCp949(const char *bytes, qsizetype size)
{
    qsizetype from = 0;
    if (m_lastRaw) {
        const Cp949Table &table = cp949Table();
        qsizetype boundary = sharedStart(bytes, m_lastRaw, std::min(size, m_lastRawSize));
        while (boundary >= 2 &&
               !(table.plain[uchar(bytes[boundary - 1])] && table.plain[uchar(bytes[boundary - 2])]))
            --boundary;
        from = std::max<qsizetype>(0, boundary - 2);
    }
    const bool plain = cp949ToUtf8(bytes + from, size - from, m_line);
    if (!plain) {
        QStringDecoder decoder(kCp949Name, QStringConverter::Flag::Stateless);
        // Ended as in the file, by a character that cannot finish a two-byte one: a lead byte
        // left open at the line's end is U+FFFD, as the reader makes it, instead of being dropped.
        QByteArray ended(bytes, size);
        ended += '\n';
        QString line = decoder.decode(ended);
        line.chop(1);
        m_line = comparedForm(line, CaseRule::Any).toUtf8();
    }
    m_lastRaw = plain ? bytes : nullptr;
    m_lastRawSize = size;
}

// Lines beside each other share most of their bytes (the folder path at the front, the picture
// names and numbers at the back): trigrams wholly inside what the line shares with the one
// before were counted with that line.
void TrigramReader::addLine(const char *bytes, qsizetype size, uint64_t block)
{
    const char *before = m_previous.constData();
    const qsizetype common = std::min(size, m_previous.size());
    const qsizetype prefix = sharedStart(bytes, before, common);
    qsizetype suffix = 0;
    while (suffix < common - prefix && bytes[size - 1 - suffix] == before[m_previous.size() - 1 - suffix])
        ++suffix;
    const qsizetype last = std::min(size - 3, size - suffix - 1);
    for (qsizetype i = std::max<qsizetype>(0, prefix - 2); i <= last; ++i)
        addKey(uint32_t(uchar(bytes[i])) << 16 | uint32_t(uchar(bytes[i + 1])) << 8 | uchar(bytes[i + 2]),
               block);
    // Runs of characters beginning with a consonant that reach past the shared start: three
    // characters are at most nine bytes.
    qsizetype from = std::max<qsizetype>(0, prefix - 9);
    while (from > 0 && (uchar(bytes[from]) & 0xC0) == 0x80)
        --from;
    addInitials(bytes + from, size - from, block);
}

void TrigramReader::addKey(uint32_t key, uint64_t block)
{
    std::unique_ptr<uint32_t[]> &page = m_slot[key >> 12];
    if (!page)
        page.reset(new uint32_t[size_t(1) << 12]());
    uint32_t &slot = page[key & 0xFFF];
    if (slot == 0) {
        m_found.push_back(key);
        m_masks.push_back(block);
        slot = uint32_t(m_found.size());
    } else {
        m_masks[slot - 1] |= block;
    }
}

// The initials keys of UTF-8 text that begins at a character: for every two and three characters
// in a row that begin with a consonant, the key of their consonants.
void TrigramReader::addInitials(const char *bytes, qsizetype size, uint64_t block)
{
    int before[2] = {-1, -1}; // the consonants of the two characters before
    for (qsizetype i = 0; i < size;) {
        const uchar lead = uchar(bytes[i]);
        int initial = -1;
        if (lead >= 0xE0 && lead < 0xF0 && i + 2 < size) {
            const char32_t c = char32_t(lead & 0x0F) << 12 | char32_t(uchar(bytes[i + 1]) & 0x3F) << 6 |
                               char32_t(uchar(bytes[i + 2]) & 0x3F);
            if (Hangul::isSyllable(c))
                initial = int(c - Hangul::kFirstSyllable) / (21 * 28);
            else if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0x3131 && c <= 0x318E))
                initial = Hangul::initialOf(c);
            i += 3;
        } else {
            i += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        }
        if (initial >= 0 && before[1] >= 0) {
            addKey(initialsKey(before[1], initial), block);
            if (before[0] >= 0)
                addKey(initialsKey(before[0], before[1], initial), block);
        }
        before[0] = before[1];
        before[1] = initial;
    }
}
