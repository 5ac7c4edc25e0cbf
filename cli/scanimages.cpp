// tarvek-cli scan-images DIR [--category C] [--desc D] [--file-names]: every disc image in a
// folder catalogued in one go, one disc each, a line per image and a summary.

#include "cli/commands.h"

#include "catalogue/layouts.h"
#include "cli/arguments.h"
#include "cli/category.h"
#include "cli/discscan.h"
#include "cli/exitstatus.h"
#include "cli/interrupt.h"
#include "cli/scanimages.h"
#include "cli/session.h"
#include "cli/terminal.h"
#include "files/listbox.h"
#include "scanner/discimage.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>

QStringList imagesIn(const QString &folder)
{
    QStringList images;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Readable | QDir::Hidden)) {
        if (isDiscImageName(name))
            images << dir.filePath(name);
    }
    std::sort(images.begin(), images.end(),
              [](const QString &a, const QString &b) { return listsBefore(a, b); });
    return images;
}

QStringList labelsForImages(const QStringList &images, bool fileNames)
{
    QStringList volumes;
    QHash<QString, int> uses; // volume labels, compared as labels are, without case
    for (const QString &image : images) {
        volumes << (fileNames ? QString() : CatalogueEntries::trimmedLabel(imageVolumeLabel(image)));
        if (!volumes.last().isEmpty())
            ++uses[volumes.last().toCaseFolded()];
    }
    QStringList labels;
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QString &volume = volumes[i];
        const bool own = !volume.isEmpty() && uses.value(volume.toCaseFolded()) == 1 &&
                         CatalogueEntries::labelProblem(volume, {}).isEmpty();
        labels << (own ? volume : CatalogueEntries::trimmedLabel(imageBaseName(images[i])));
    }
    return labels;
}

ImageOutcome catalogueImage(Session &session, const QString &image, const CatalogueEntry &given)
{
    CatalogueEntry entry = given;
    entry.file = CatalogueEntries::fileForLabel(entry.name);
    const QString problem = CatalogueEntries::fieldsProblem(entry.name, entry.desc);
    if (!problem.isEmpty())
        return {ImageOutcome::Failed, problem};
    CatalogueEntries &entries = session.entries();
    entries.catchUp(); // another program may have saved since the last image
    if (entries.discUsingLabel(entry.name) > 0)
        return {ImageOutcome::Skipped, QStringLiteral("이미 저장된 라벨입니다.")};
    RecordSet tree(d_dir_tree());
    TreeFacts facts;
    const DiscScan scan = scanImage(image, tree, facts);
    if (scan.end == DiscScan::End::Interrupted)
        return {ImageOutcome::Interrupted, scan.error};
    if (scan.end != DiscScan::End::Done)
        return {ImageOutcome::Failed, scan.error};
    // A file no entry names is what a crash left of this disc's save: the new tree replaces it.
    const FileResult saved =
        saveScannedDisc(entries, tree, facts, entry, entries.fileWithoutEntry(entry.name), 0);
    if (!saved.ok)
        return {ImageOutcome::Failed, saved.error};
    return {ImageOutcome::Saved, {}, tree.RowCount()};
}

namespace {

const char *statusWord(ImageOutcome::Status status)
{
    switch (status) {
    case ImageOutcome::Saved:
        return "saved";
    case ImageOutcome::Skipped:
        return "skipped";
    default:
        return "failed";
    }
}

void report(Session &session, const QString &image, const QString &label, const ImageOutcome &outcome)
{
    Record record;
    record.text("status", QString::fromLatin1(statusWord(outcome.status))).text("label", label);
    record.name("image", image).number("rows", outcome.rows, outcome.status == ImageOutcome::Saved);
    record.text("message", outcome.message);
    session.out.write(record);
    session.out.flush();
    if (outcome.status == ImageOutcome::Failed)
        tellUser(outcome.message);
}

} // namespace

int runScanImages(Session &session)
{
    const Arguments &args = session.args;
    const QString folder = absolutePath(args.operands.first());
    if (!QFileInfo(folder).isDir()) {
        tellUser(QStringLiteral("이미지 파일이 있는 폴더가 없습니다: '%1'").arg(folder));
        return kExitUsage;
    }
    QString category;
    if (!parseCategory(args.value(QStringLiteral("category")), category))
        return kExitUsage;
    const QStringList images = imagesIn(folder);
    if (images.isEmpty()) {
        tellUser(QStringLiteral("'%1' 폴더에 이미지 파일(.iso)이 없습니다.").arg(folder));
        return kExitNothingFound;
    }
    if (!session.prepareChange())
        return kExitDataProblem;
    const QStringList labels = labelsForImages(images, args.has(QStringLiteral("file-names")));
    InterruptGuard guard;
    int counts[3] = {0, 0, 0};
    bool interrupted = false;
    for (qsizetype i = 0; i < images.size() && !interrupted; ++i) {
        const QString desc = args.hasValue(QStringLiteral("desc")) ? args.value(QStringLiteral("desc"))
                                                                   : QFileInfo(images[i]).fileName();
        const ImageOutcome outcome = catalogueImage(session, images[i], {{}, desc, labels[i], category});
        interrupted = outcome.status == ImageOutcome::Interrupted || InterruptGuard::interrupted();
        if (outcome.status != ImageOutcome::Interrupted) {
            ++counts[outcome.status];
            report(session, images[i], labels[i], outcome);
        }
    }
    tellUser(QStringLiteral("이미지 %1개: 저장 %2, 건너뜀 %3, 오류 %4%5")
                 .arg(images.size())
                 .arg(counts[ImageOutcome::Saved])
                 .arg(counts[ImageOutcome::Skipped])
                 .arg(counts[ImageOutcome::Failed])
                 .arg(interrupted ? QStringLiteral(" (Ctrl+C로 멈춤, 스캔하던 이미지는 저장하지 않았습니다)")
                                  : QString()));
    if (interrupted)
        return kExitInterrupted;
    return counts[ImageOutcome::Failed] > 0 ? kExitDataProblem : kExitOk;
}
