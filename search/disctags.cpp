#include "search/disctags.h"

#include "catalogue/datafiles.h"
#include "catalogue/mediafacts.h"
#include "catalogue/sidefile.h"
#include "files/paths.h"
#include "search/querymatch.h"

#include <QFile>
#include <QHash>

#include <mutex>
#include <sys/stat.h>

namespace {

struct Stamp {
    qint64 size = -1;
    qint64 mtimeNs = 0;
    quint64 inode = 0;
    bool operator==(const Stamp &) const = default;
};

struct Kept {
    Stamp stamp;
    std::shared_ptr<const DiscTags> tags;
};

std::shared_ptr<const DiscTags> read(const QString &sidePath)
{
    auto tags = std::make_shared<DiscTags>();
    const SideFiles::Contents contents = SideFiles::readContents(sidePath);
    const RowNotes *notes = contents.facts.notes.find(kMediaNotes);
    if (!notes)
        return tags;
    tags->hasMedia = true;
    for (const auto &[row, text] : notes->all()) {
        const std::optional<MediaFacts> facts = decodeMediaFacts(text);
        if (facts && (!facts->title.isEmpty() || !facts->artist.isEmpty() || !facts->album.isEmpty())) {
            tags->text += QueryMatcher::tagsText(*facts, CaseRule::Any);
            tags->text += U'\n';
        }
    }
    tags->text.shrink_to_fit();
    return tags;
}

} // namespace

std::shared_ptr<const DiscTags> discTags(const QString &dataFolder, const QString &file)
{
    static const auto none = std::make_shared<const DiscTags>();
    if (!isBareFileName(file))
        return none;
    const QString sidePath = SideFiles::pathFor(dataFolder + kPathSeparator + file);
    struct stat info;
    if (::stat(QFile::encodeName(sidePath).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return none;
    const Stamp stamp{qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                      quint64(info.st_ino)};
    static std::mutex mutex;
    static QHash<QString, Kept> kept;
    {
        std::lock_guard lock(mutex);
        const auto found = kept.constFind(sidePath);
        if (found != kept.constEnd() && found->stamp == stamp)
            return found->tags;
    }
    // Read outside the lock: the two threads of a search read different discs.
    std::shared_ptr<const DiscTags> tags = read(sidePath);
    std::lock_guard lock(mutex);
    kept.insert(sidePath, {stamp, tags});
    return tags;
}
