#include "search/resultsexport.h"

#include "catalogue/csv.h"
#include "catalogue/exports.h"
#include "catalogue/layouts.h"
#include "catalogue/mediacells.h"
#include "catalogue/sidefacts.h"

FileResult exportResults(const QString &path, const ResultStore &store, const std::vector<quint32> &order,
                         const QString &dataFolder)
{
    std::vector<SideFacts> facts;
    for (const ResultDisc &disc : store.discs())
        facts.push_back(readSideFacts(dataFolder, disc.file));
    return writeCsvFile(path, kDiscHeading + kRowHeading + kMediaHeading, [&](const CsvRecordSink &sink) {
        for (qsizetype i = 0; i < store.rowCount(); ++i) {
            const qsizetype row = order.empty() ? i : qsizetype(order[size_t(i)]);
            const ResultDisc &disc = store.discs()[size_t(store.discOf(row))];
            const SideFacts &side = facts[size_t(store.discOf(row))];
            const QStringList cells =
                QStringList{disc.label,        disc.description,  categoryText(disc.category),
                            store.pathOf(row), store.nameOf(row), kindText(store.isFolder(row))} +
                factCells(side.row(store.lineOf(row))) + mediaCells(side.media(store.lineOf(row)));
            if (!sink(cells))
                return;
        }
    });
}
