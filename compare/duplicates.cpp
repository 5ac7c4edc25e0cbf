#include "compare/duplicates.h"

#include "catalogue/datafiles.h"
#include "compare/disckeys.h"
#include "compare/namekey.h"

#include <QHash>

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <queue>
#include <unistd.h>

namespace {

// A file of a run of equal keys, before its line is read.
struct Candidate {
    int disc;
    FileKey key;
    std::optional<ContentHash> hash;
};

struct Found {
    Candidate candidate;
    QString folder;
    QString name; // composed
};

// Takes the keys of every disc largest first, as one merged sequence, and hands over each run
// of keys that are equal in size and name key and stand on two discs or more.
void mergeRuns(std::vector<DiscKeys> &discs, HookContext &hooks, int against, bool &cancelled,
               const std::function<void(std::vector<Candidate> &)> &take)
{
    const auto later = [&discs](int a, int b) {
        return keyBefore(*discs[size_t(b)].peek(), *discs[size_t(a)].peek());
    };
    std::priority_queue<int, std::vector<int>, decltype(later)> heads(later);
    for (size_t i = 0; i < discs.size(); ++i) {
        if (discs[i].peek())
            heads.push(int(i));
    }
    std::vector<Candidate> run;
    qint64 taken = 0;
    while (!heads.empty()) {
        if ((++taken & 0xFFFF) == 0 && hooks.cancelled()) {
            cancelled = true;
            return;
        }
        const int disc = heads.top();
        heads.pop();
        const FileKey key = *discs[size_t(disc)].peek();
        if (!run.empty() && (run.front().key.size != key.size || run.front().key.name != key.name)) {
            take(run);
            run.clear();
        }
        run.push_back({disc, key, discs[size_t(disc)].hashOf(key)});
        discs[size_t(disc)].pop();
        if (discs[size_t(disc)].peek())
            heads.push(disc);
    }
    if (!run.empty())
        take(run);
    (void)against;
}

int discCount(const std::vector<DuplicateFile> &files)
{
    std::vector<int> discs;
    for (const DuplicateFile &file : files)
        discs.push_back(file.disc);
    std::sort(discs.begin(), discs.end());
    return int(std::unique(discs.begin(), discs.end()) - discs.begin());
}

bool holdsDisc(const std::vector<DuplicateFile> &files, int disc)
{
    return std::any_of(files.begin(), files.end(), [disc](const DuplicateFile &f) { return f.disc == disc; });
}

bool onSeveralDiscs(const std::vector<Candidate> &run, int against)
{
    bool several = false, hasAgainst = against < 0;
    for (const Candidate &c : run) {
        several = several || c.disc != run.front().disc;
        hasAgainst = hasAgainst || c.disc == against;
    }
    return several && hasAgainst;
}

// One name's files: split by content hash when they have two or more, the files without one
// going with each part.
void addGroups(const QString &name, qint64 size, const std::vector<const Found *> &files, int against,
               std::vector<DuplicateGroup> &groups)
{
    std::map<std::pair<quint64, quint64>, std::vector<const Found *>> byHash;
    std::vector<const Found *> unhashed;
    for (const Found *f : files) {
        if (f->candidate.hash)
            byHash[{f->candidate.hash->high, f->candidate.hash->low}].push_back(f);
        else
            unhashed.push_back(f);
    }
    std::vector<std::vector<const Found *>> parts;
    if (byHash.size() <= 1) {
        parts.push_back(files);
    } else {
        for (auto &[hash, members] : byHash) {
            members.insert(members.end(), unhashed.begin(), unhashed.end());
            parts.push_back(members);
        }
    }
    for (const std::vector<const Found *> &part : parts) {
        DuplicateGroup group{name, size, {}, 0, false};
        for (const Found *f : part)
            group.files.push_back({f->candidate.disc, f->candidate.key.row, f->folder,
                                   f->name.isEmpty() ? name : f->name, f->candidate.hash.has_value()});
        std::sort(group.files.begin(), group.files.end(), [](const DuplicateFile &a, const DuplicateFile &b) {
            return a.disc != b.disc ? a.disc < b.disc : a.row < b.row;
        });
        group.discs = discCount(group.files);
        group.confirmed = byHash.size() == 1 && unhashed.empty();
        if (group.discs >= 2 && (against < 0 || holdsDisc(group.files, against)))
            groups.push_back(std::move(group));
    }
}

} // namespace

qint64 Duplicates::copyBytes() const
{
    qint64 bytes = 0;
    for (const DuplicateGroup &group : groups)
        bytes += group.copyBytes();
    return bytes;
}

Duplicates findDuplicates(HookContext &hooks, const QString &dataFolder, const DuplicateQuery &query)
{
    Duplicates result;
    const quint64 minimum = quint64(std::max<qint64>(query.minimumSize, 1));
    std::vector<DiscKeys> discs;
    discs.reserve(query.discs.size());
    hooks.setMaximum(qint64(query.discs.size()) * 2);
    for (const DuplicateDisc &disc : query.discs) {
        if (hooks.cancelled()) {
            result.cancelled = true;
            return result;
        }
        // A value that is not a bare name never reaches the file system: such a disc has no keys.
        discs.emplace_back(isBareFileName(disc.file) ? dataFolder + u'/' + disc.file : QString(),
                           isBareFileName(disc.file) ? minimum : ~quint64(0));
        hooks.advance();
    }
    std::vector<std::vector<Candidate>> runs;
    mergeRuns(discs, hooks, query.against, result.cancelled, [&](std::vector<Candidate> &run) {
        if (onSeveralDiscs(run, query.against))
            runs.push_back(std::move(run));
    });
    if (result.cancelled)
        return result;
    // The lines of the files found, disc by disc, each catalogue file opened once.
    std::vector<std::vector<Found>> found(runs.size());
    std::vector<std::vector<std::pair<size_t, size_t>>> byDisc(discs.size());
    for (size_t r = 0; r < runs.size(); ++r) {
        found[r].resize(runs[r].size());
        for (size_t i = 0; i < runs[r].size(); ++i) {
            found[r][i].candidate = runs[r][i];
            byDisc[size_t(runs[r][i].disc)].push_back({r, i});
        }
    }
    for (size_t d = 0; d < discs.size(); ++d) {
        if (hooks.cancelled()) {
            result.cancelled = true;
            return result;
        }
        hooks.advance();
        if (byDisc[d].empty())
            continue;
        qint64 size = 0;
        const int fd = openRegularFile(discs[d].cataloguePath(), size);
        for (const auto &[r, i] : byDisc[d]) {
            Found &f = found[r][i];
            QString name;
            // The line must still hold the name the key was made of; else the file is left out.
            if (fd >= 0 && readRowAt(fd, f.candidate.key.line, discs[d].utf8(), f.folder, name) &&
                nameKey(name) == f.candidate.key.name)
                f.name = composedName(name);
        }
        if (fd >= 0)
            ::close(fd);
    }
    for (size_t r = 0; r < runs.size(); ++r) {
        // Equal name keys of different names part here.
        QHash<QString, std::vector<const Found *>> byName;
        QStringList names;
        for (const Found &f : found[r]) {
            if (f.name.isEmpty())
                continue;
            if (!byName.contains(f.name))
                names << f.name;
            byName[f.name].push_back(&f);
        }
        for (const QString &name : names)
            addGroups(name, qint64(runs[r].front().key.size), byName[name], query.against, result.groups);
    }
    std::stable_sort(result.groups.begin(), result.groups.end(),
                     [](const DuplicateGroup &a, const DuplicateGroup &b) {
                         return a.size != b.size ? a.size > b.size : a.name < b.name;
                     });
    return result;
}
