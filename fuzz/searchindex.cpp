// Property: the search index never rules out a file the line scan finds.
// - a file's trigrams (TrigramReader, which converts plain CP949 lines with its own table) hold
//   every trigram of the UTF-8 of each line up to the first empty one, each line decoded on its
//   own by the decoder the search uses;
// - an index built from them reads back the same lists;
// - in a folder of these files, every file the matcher finds for the text is left to be read;
// - any bytes at all given as an index are either refused or read without harm.
//
// Input: the text (UTF-8) up to a NUL byte, then up to four files separated by NUL bytes; the
// whole input is also tried as an index file.

#include "catalogue/searchindex.h"
#include "catalogue/search.h"
#include "catalogue/searchindexfile.h"
#include "files/textcodec.h"
#include "fuzz_support.h"

#include <QDir>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace {

using fuzz::check;

std::set<uint32_t> referenceTrigrams(const QByteArray &file)
{
    const bool utf8 = file.startsWith(kUtf8Bom) && QByteArrayView(file).sliced(kUtf8BomSize).isValidUtf8();
    std::set<uint32_t> trigrams;
    for (QByteArray line : file.sliced(utf8 ? kUtf8BomSize : 0).split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break;
        QStringDecoder decoder = utf8
                                     ? QStringDecoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless)
                                     : QStringDecoder(kCp949Name, QStringConverter::Flag::Stateless);
        const QByteArray bytes = QString(decoder.decode(line)).toUtf8();
        for (qsizetype i = 0; i + 3 <= bytes.size(); ++i)
            trigrams.insert(uint32_t(uchar(bytes[i])) << 16 | uint32_t(uchar(bytes[i + 1])) << 8 |
                            uchar(bytes[i + 2]));
    }
    return trigrams;
}

void tryAsIndex(const uint8_t *data, size_t size)
{
    SearchIndexFile index;
    if (!index.openBytes(reinterpret_cast<const char *>(data), qsizetype(size)))
        return;
    std::vector<uint64_t> files((index.files().size() + 63) / 64, ~uint64_t(0));
    index.forEachList([](uint32_t, const std::vector<uint32_t> &) {});
    (void)index.keepHolders(0x616263, files);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    tryAsIndex(data, size);
    fuzz::Input input(data, size);
    const QString text = QString::fromUtf8(input.until('\0'));
    const QString folder = QString::fromStdString(fuzz::scratchDir()) + QStringLiteral("/folder");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    TrigramReader reader;
    SearchIndexBuilder builder;
    std::vector<std::vector<uint32_t>> sets;
    for (int i = 0; i < 4; ++i) {
        const QByteArray file = input.until('\0');
        fuzz::writeFile(folder + QStringLiteral("/cd_%1.dat").arg(i), file);
        std::vector<uint32_t> trigrams;
        FileStamp stamp;
        check(reader.read(folder + QStringLiteral("/cd_%1.dat").arg(i), stamp, trigrams),
              "a file can be read");
        const std::set<uint32_t> reference = referenceTrigrams(file);
        check(std::includes(trigrams.begin(), trigrams.end(), reference.begin(), reference.end()),
              "a file's trigrams hold those of every line the search reads");
        builder.addAll(trigrams, builder.addFile({QStringLiteral("cd_%1.dat").arg(i), stamp}));
        sets.push_back(trigrams);
    }
    const QByteArray bytes = builder.bytes();
    SearchIndexFile built;
    check(built.openBytes(bytes.constData(), bytes.size()), "a built index reads back");
    std::vector<std::vector<uint32_t>> back(sets.size());
    check(built.forEachList([&](uint32_t trigram, const std::vector<uint32_t> &ids) {
        for (uint32_t id : ids)
            back[id].push_back(trigram);
    }),
          "every list of a built index reads back");
    check(back == sets, "a built index gives back each file's trigrams");

    HookContext hooks;
    const SearchCandidates candidates = SearchIndex::candidateFiles(folder, text, hooks);
    const CatalogueMatcher matcher(text);
    for (int i = 0; i < 4; ++i) {
        const QString name = QStringLiteral("cd_%1.dat").arg(i);
        check(candidates.mayHold(name) || !matcher.matches(folder + u'/' + name),
              "the index leaves every file holding the text to be read");
    }
    return 0;
}
