#include "catalogue/exports.h"

#include "catalogue/csv.h"
#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "catalogue/mediacells.h"
#include "catalogue/sidefacts.h"

const QStringList kRowHeading = {QStringLiteral("폴더 경로"), QStringLiteral("이름"), QStringLiteral("종류"),
                                 QStringLiteral("크기"), QStringLiteral("날짜")};
const QStringList kDiscHeading = {QStringLiteral("라벨"), QStringLiteral("설명"), QStringLiteral("구분")};

QString kindText(bool folder)
{
    return folder ? QStringLiteral("폴더") : QStringLiteral("파일");
}

QStringList factCells(const RowFacts &facts)
{
    return {csvSize(facts.size), csvDate(facts.modified)};
}

FileResult exportTree(const QString &path, const RecordSet &tree, const TreeFacts &facts)
{
    const RowNotes *media = facts.describes(tree.RowCount()) ? facts.notes.find(kMediaNotes) : nullptr;
    return writeCsvFile(path, kRowHeading + kMediaHeading, [&](const CsvRecordSink &sink) {
        for (qint64 row = 1; row <= tree.RowCount(); ++row) {
            const bool folder = tree.GetItemString(row, TreeColumn::bmpname) == kFolderPicture;
            // Names as a reader expects them, composed (a Mac writes Hangul decomposed).
            const QStringList cells =
                QStringList{
                    tree.GetItemString(row, TreeColumn::fullname).normalized(QString::NormalizationForm_C),
                    tree.GetItemString(row, TreeColumn::name).normalized(QString::NormalizationForm_C),
                    kindText(folder)} +
                factCells(rowFactsOf(facts, row)) +
                mediaCells(media ? decodeMediaFacts(media->at(row)) : std::nullopt);
            if (!sink(cells))
                return;
        }
    });
}

FileResult exportDiscList(const QString &path, const RecordSet &list, const QString &dataFolder)
{
    const QStringList heading =
        kDiscHeading +
        QStringList{QStringLiteral("파일 수"), QStringLiteral("전체 크기"), QStringLiteral("스캔 날짜")};
    return writeCsvFile(path, heading, [&](const CsvRecordSink &sink) {
        for (qint64 row = 1; row <= list.RowCount(); ++row) {
            const DiscSummary facts =
                readSideFacts(dataFolder, list.GetItemString(row, IndexColumn::file)).disc();
            const QStringList cells = {list.GetItemString(row, IndexColumn::name),
                                       list.GetItemString(row, IndexColumn::desc),
                                       categoryText(list.GetItemString(row, IndexColumn::gubn)),
                                       csvSize(facts.files),
                                       csvSize(facts.bytes),
                                       csvDate(facts.scanned)};
            if (!sink(cells))
                return;
        }
    });
}
