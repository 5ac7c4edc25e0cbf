// Property: the search index never changes the line scan's answer.
// - a file's trigrams (TrigramReader, which converts plain CP949 lines with its own table) hold
//   every trigram of the UTF-8 of the compared form (composed, case folded) of each line up to
//   the first empty one, each line decoded on its own by the decoder the search uses, and every
//   initials key of its Hangul, with the bit of the block holding that line;
// - an index built from them reads back the same lists and blocks;
// - in a folder of these files, the matcher reading only the files and lines the index leaves
//   finds exactly the files it finds reading every file whole;
// - any bytes at all given as an index are either refused or read without harm, also once their
//   checksums are made right (a checksum is no guard against a crafted file);
// - the index built from the files, changed where the rest of the input says and its checksums
//   made right again, is refused or read without harm from memory and from its file, and a
//   search over it still answers: a head whose counts do not fit the file is refused.
//
// Input: the text (UTF-8) up to a NUL byte, then up to four files separated by NUL bytes, then
// changes to the built index: three bytes each, a position (two bytes, scaled to the index) and
// the byte to put there. The whole input is also tried as an index file.

#include "search/searchindex.h"
#include "files/textcodec.h"
#include "fuzz_support.h"
#include "search/search.h"
#include "search/searchindexfile.h"
#include "search/textforms.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace {

using fuzz::check;

// Every trigram of the lines the search reads, with the blocks of `layout` holding it.
std::map<uint32_t, uint64_t> referenceTrigrams(const QByteArray &file, const FileLayout &layout)
{
    const bool utf8 = file.startsWith(kUtf8Bom) && QByteArrayView(file).sliced(kUtf8BomSize).isValidUtf8();
    std::map<uint32_t, uint64_t> trigrams;
    qsizetype start = utf8 ? kUtf8BomSize : 0;
    for (QByteArray line : file.sliced(start).split('\n')) {
        const qsizetype lineStart = start;
        start += line.size() + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break;
        size_t block = 0;
        while (block + 1 < layout.blocks.size() && layout.blocks[block + 1].offset <= lineStart)
            ++block;
        QStringDecoder decoder =
            utf8 ? QStringDecoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                            QStringConverter::Flag::ConvertInitialBom)
                 : QStringDecoder(kCp949Name, QStringConverter::Flag::Stateless);
        const QString compared = comparedForm(decoder.decode(line), CaseRule::Any);
        const QByteArray bytes = compared.toUtf8();
        for (qsizetype i = 0; i + 3 <= bytes.size(); ++i)
            trigrams[uint32_t(uchar(bytes[i])) << 16 | uint32_t(uchar(bytes[i + 1])) << 8 |
                     uchar(bytes[i + 2])] |= uint64_t(1) << block;
        // The initials keys of characters in a row that begin with a consonant.
        const std::u32string points = codePoints(compared);
        for (size_t i = 0; i + 1 < points.size(); ++i) {
            const int a = Hangul::initialOf(points[i]), b = Hangul::initialOf(points[i + 1]);
            const int c = i + 2 < points.size() ? Hangul::initialOf(points[i + 2]) : -1;
            if (a >= 0 && b >= 0)
                trigrams[initialsKey(a, b)] |= uint64_t(1) << block;
            if (a >= 0 && b >= 0 && c >= 0)
                trigrams[initialsKey(a, b, c)] |= uint64_t(1) << block;
        }
    }
    return trigrams;
}

bool holdsReference(const FileTrigrams &found, const std::map<uint32_t, uint64_t> &reference)
{
    for (const auto &[trigram, blocks] : reference) {
        const auto at = std::lower_bound(found.trigrams.begin(), found.trigrams.end(), trigram);
        if (at == found.trigrams.end() || *at != trigram ||
            (found.masks[size_t(at - found.trigrams.begin())] & blocks) != blocks)
            return false;
    }
    return true;
}

void readWithoutHarm(const SearchIndexFile &index)
{
    std::vector<uint64_t> files(index.files().size(), ~uint64_t(0));
    index.forEachList([](uint32_t, const std::vector<Posting> &) {});
    (void)index.keepHolders(0x616263, files);
    for (size_t i = 0; i < index.files().size(); ++i)
        (void)index.layout(i);
}

void tryAsIndex(const QByteArray &bytes)
{
    SearchIndexFile index;
    if (!index.openBytes(bytes.constData(), bytes.size()))
        return;
    // Each file takes at least its name's size, its stamp and a block: a head claiming more files
    // than that is refused before anything is made for them.
    check(qsizetype(index.files().size()) * 56 <= bytes.size(),
          "an index holds no more files than its bytes can");
    readWithoutHarm(index);
}

// The bytes of an index with the changes the input asks for, its checksums made right again.
QByteArray crafted(QByteArray bytes, fuzz::Input &input)
{
    for (int change = 0; change < 16 && !bytes.isEmpty(); ++change) {
        const qsizetype at = (qsizetype(input.byte()) << 8 | input.byte()) * bytes.size() / 65536;
        const uint8_t value = input.byte();
        if (at == 0 && value == 0)
            break; // the input is used up
        bytes[at] = char(value);
    }
    resealIndexBytes(bytes);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    const QByteArray whole(reinterpret_cast<const char *>(data), qsizetype(size));
    tryAsIndex(whole);
    QByteArray resealed = whole;
    resealIndexBytes(resealed);
    tryAsIndex(resealed);
    fuzz::Input input(data, size);
    const QString text = QString::fromUtf8(input.until('\0'));
    const QString folder = QString::fromStdString(fuzz::scratchDir()) + QStringLiteral("/folder");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    TrigramReader reader;
    SearchIndexBuilder builder;
    std::vector<FileTrigrams> sets;
    for (int i = 0; i < 4; ++i) {
        const QByteArray file = input.until('\0');
        const QString path = folder + QStringLiteral("/cd_%1.dat").arg(i);
        fuzz::writeOldFile(path, file);
        FileTrigrams found;
        FileStamp stamp;
        check(reader.read(path, stamp, found), "a file can be read");
        check(holdsReference(found, referenceTrigrams(file, found.layout)),
              "a file's trigrams hold those of every line the search reads, with its block");
        builder.addAll(found, builder.addFile({QStringLiteral("cd_%1.dat").arg(i), stamp, found.layout}));
        sets.push_back(std::move(found));
    }
    const QByteArray bytes = builder.bytes();
    SearchIndexFile built;
    check(built.openBytes(bytes.constData(), bytes.size()), "a built index reads back");
    std::vector<FileTrigrams> back(sets.size());
    check(built.forEachList([&](uint32_t trigram, const std::vector<Posting> &postings) {
        for (const Posting &posting : postings) {
            back[posting.file].trigrams.push_back(trigram);
            back[posting.file].masks.push_back(posting.blocks);
        }
    }),
          "every list of a built index reads back");
    for (size_t i = 0; i < sets.size(); ++i)
        check(back[i].trigrams == sets[i].trigrams && back[i].masks == sets[i].masks &&
                  built.layout(i) == sets[i].layout,
              "a built index gives back each file's trigrams and blocks");

    // The built index changed as the input says, from memory and as the folder's index file: a
    // search over it answers (what a lying list rules out is its business), and the file is then
    // either that index, read without harm, or one rebuilt from the files.
    const QByteArray changed = crafted(bytes, input);
    tryAsIndex(changed);
    {
        QDir().mkpath(folder + QStringLiteral("/.tarvek"));
        fuzz::writeFile(searchIndexPath(folder), changed);
        HookContext hooks;
        (void)SearchIndex::candidateFiles(folder, text, hooks);
        SearchIndexFile stored;
        if (stored.open(searchIndexPath(folder)))
            readWithoutHarm(stored);
        QFile::remove(searchIndexPath(folder));
    }

    HookContext hooks;
    const SearchCandidates candidates = SearchIndex::candidateFiles(folder, text, hooks);
    const CatalogueMatcher matcher(text);
    for (int i = 0; i < 4; ++i) {
        const QString name = QStringLiteral("cd_%1.dat").arg(i);
        const QString path = folder + u'/' + name;
        const FileRanges *parts = candidates.partsOf(name);
        const bool indexed =
            candidates.mayHold(name) && (parts ? matcher.matchesIn(path, *parts) : matcher.matches(path));
        check(indexed == matcher.matches(path),
              "the files and lines the index leaves give the scan's answer");
    }
    return 0;
}
