// The comparisons: a disc scanned again and its changes saved in place, two discs or a disc and a
// folder side by side, files that stand on several discs, and a folder looked up across the
// catalogue. The work is compare/'s; this file asks, brackets and shows.

#include "ui/w_list.h"

#include "catalogue/csv.h"
#include "catalogue/datafiles.h"
#include "catalogue/entrysteps.h"
#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "catalogue/sidefile.h"
#include "compare/duplicates.h"
#include "compare/foldercheck.h"
#include "compare/treediff.h"
#include "scanner/archivescan.h"
#include "scanner/drivescan.h"
#include "treeview/expandcollapse.h"
#include "ui/w_rowlist.h"
#include "widgets/messagebox.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

namespace {

const QString kOtherFolder = QStringLiteral("다른 폴더…");

// A saved or scanned tree with its facts, kept for as long as a window shows rows of it.
struct Side {
    RecordSet tree{d_dir_tree()};
    TreeFacts facts;
    QString name; // what the window calls it: a label or a folder
    QString file; // its catalogue file; empty for a folder scanned on the spot
};

struct Compared {
    Side first, second;
    TreeDiff diff;
};

bool loadSaved(const QString &file, Side &side)
{
    if (!isBareFileName(file))
        return false;
    side.file = file;
    return loadDiscTree(dataFilePath(file), side.tree, side.facts);
}

void copyTree(const RecordSet &from, const TreeFacts &facts, Side &into)
{
    into.tree.Reset();
    if (from.RowCount() > 0)
        from.RowsCopy(1, from.RowCount(), into.tree, 1);
    into.facts = facts;
}

FileStat statOf(const Side &side, qint64 row)
{
    return row > 0 && side.facts.describes(side.tree.RowCount()) ? side.facts.at(row) : FileStat();
}

QString sizeCell(const Side &side, qint64 row, bool csv)
{
    const qint64 size = statOf(side, row).size;
    if (row == 0 || size == FileStat::kUnknown)
        return {};
    return csv ? QString::number(size) : sizeText(size);
}

QString dateCell(const Side &side, qint64 row, bool csv)
{
    const qint64 time = statOf(side, row).mtime;
    if (row == 0 || time == FileStat::kUnknown)
        return {};
    return csv ? csvDate(QDateTime::fromSecsSinceEpoch(time)) : dateText(time);
}

QString changesText(quint8 changes)
{
    QStringList words;
    if (changes & DiffChange::Size)
        words << QStringLiteral("크기");
    if (changes & DiffChange::Date)
        words << QStringLiteral("날짜");
    if (changes & DiffChange::Content)
        words << QStringLiteral("내용");
    return words.join(u", ");
}

// The cells of a compare's row: what, path, the first side's size and date, the second's, what differs.
RowCell diffCells(std::shared_ptr<Compared> compared, QStringList kinds, bool csv)
{
    return [compared, kinds, csv](int r, int column) -> QString {
        const DiffRow &row = compared->diff.rows[size_t(r)];
        switch (column) {
        case 0:
            return kinds[int(row.kind)];
        case 1:
            return compared->diff.paths[size_t(r)];
        case 2:
            return sizeCell(compared->first, row.first, csv);
        case 3:
            return dateCell(compared->first, row.first, csv);
        case 4:
            return sizeCell(compared->second, row.second, csv);
        case 5:
            return dateCell(compared->second, row.second, csv);
        default:
            return changesText(row.changes);
        }
    };
}

QColor diffColour(const DiffRow &row)
{
    return row.kind == DiffKind::OnlyFirst    ? QColor(160, 0, 0)
           : row.kind == DiffKind::OnlySecond ? QColor(0, 110, 0)
                                              : QColor(0, 0, 160);
}

QString rootName(const QString &root)
{
    QString path = root;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path.mid(path.lastIndexOf(u'/') + 1);
}

w_rowlist *windowFor(w_rowlist *&window, QWidget *main, const QString &name, const QString &title)
{
    if (!window)
        window = new w_rowlist(main, name, title);
    return window;
}

} // namespace

std::vector<DuplicateDisc> w_list::discsOf(const RecordSet &rows) const
{
    std::vector<DuplicateDisc> discs;
    for (qint64 row = 1; row <= rows.RowCount(); ++row)
        discs.push_back(
            {rows.GetItemString(row, IndexColumn::file), rows.GetItemString(row, IndexColumn::name)});
    return discs;
}

void w_list::openDiscAt(const QString &file, const QString &label, qint64 row)
{
    if (busy())
        return;
    openCatalogue(file, label);
    const qint64 shown = row >= 1 && row <= m_tree.RowCount() ? row : 0;
    if (shown > 0)
        openWholeTree(); // as a result opens, so that >> goes on from the row
    showFound(shown);
    activateWindow();
    raise();
}

bool w_list::scanFolder(const QString &folder, RecordSet &tree, TreeFacts &facts)
{
    bool whole = false;
    LongOperation operation(*this);
    m_progress.setPosition(0);
    st_progress->setText(QStringLiteral("준비중"));
    HookContext hooks = longOperationHooks();
    // Listed as a disc's scan lists it, archives and all, so that the two compare alike.
    ArchiveScan archives(archiveLimits());
    const std::unique_ptr<FolderWalk> walk = archives.wrap(m_fs.walkDrive(folder), &hooks);
    facts.disc = volumeFactsOf(folder);
    scanDrive(hooks, walk.get(), folder, tree, facts, {}, &archives, nullptr, act_hashes->isChecked());
    whole = !ib_cancel;
    m_progress.setPosition(0);
    st_progress->clear();
    sle_dir->clear();
    return whole;
}

void w_list::ue_rescan()
{
    const qint64 listRow = highlightedListRow();
    if (busy() || listRow < 1)
        return;
    const CatalogueEntry entry = entryAt(m_list, listRow);
    // The drive that shows the disc's label, or the volume label or root name it had, comes first.
    DiscFacts saved;
    SideFiles::readDisc(SideFiles::pathFor(dataFilePath(entry.file)), saved);
    QStringList drives = m_fs.driveRoots();
    const auto matches = [&](const QString &root) {
        const QString name = rootName(root);
        // As a scan reads it: an image mounted with fuseiso tells its label only in its own
        // volume descriptors.
        const QString volume = volumeFactsOf(root).volumeLabel;
        for (const QString &wanted : {entry.name, saved.volumeLabel}) {
            if (!wanted.isEmpty() && (name.compare(wanted, Qt::CaseInsensitive) == 0 || volume == wanted))
                return true;
        }
        return false;
    };
    std::stable_partition(drives.begin(), drives.end(), matches);
    QString root;
    if (chooseRescanDrive) {
        root = chooseRescanDrive(drives);
    } else {
        bool ok = false;
        root = QInputDialog::getItem(this, QStringLiteral("다시 스캔"),
                                     QStringLiteral("'%1' 디스크를 다시 스캔할 드라이브:").arg(entry.name),
                                     drives + QStringList{kOtherFolder}, 0, false, &ok);
        if (ok && root == kOtherFolder)
            root =
                QFileDialog::getExistingDirectory(this, QStringLiteral("다시 스캔할 폴더"), QDir::homePath());
        if (!ok)
            root.clear();
    }
    if (root.isEmpty())
        return;
    const bool whole = [&] {
        scanRoot(root);
        return !m_scanDriveLost && m_tree.RowCount() > 0;
    }();
    auto compared = std::make_shared<Compared>();
    loadSaved(entry.file, compared->first);
    copyTree(m_tree, m_treeFacts, compared->second);
    compared->first.name = entry.name;
    compared->diff = diffTrees({&compared->first.tree, &compared->first.facts},
                               {&compared->second.tree, &compared->second.facts});
    const TreeDiff &diff = compared->diff;
    const QLocale locale;
    QString heading = QStringLiteral("'%1'을(를) %2에서 다시 스캔했습니다: 추가 %3, 삭제 %4, 변경 %5")
                          .arg(entry.name, root, locale.toString(diff.onlySecond),
                               locale.toString(diff.onlyFirst), locale.toString(diff.changed));
    if (!diff.factsCompared)
        heading += QStringLiteral("\n저장된 디스크에 크기와 날짜가 없어 변경은 알 수 없습니다.");
    if (!whole)
        heading +=
            QStringLiteral("\n스캔이 끝나지 않았습니다: 저장하면 읽지 못한 파일이 디스크에서 빠집니다.");
    w_rowlist &window = *windowFor(m_changes, this, QStringLiteral("w_changes"), QStringLiteral("다시 스캔"));
    window.csvName = entry.name + QStringLiteral(" 변경.csv");
    const QString file = entry.file;
    window.save = [this, compared, file, heading, &window] {
        CatalogueEntry kept;
        const FileResult saved =
            m_entries.replaceTree(file, compared->second.tree, &compared->second.facts, &kept);
        if (!saved.ok) {
            MessageBox(QStringLiteral("오류"), saved.error, MessageIcon::StopSign);
            return;
        }
        if (m_treeTitle.startsWith(QStringLiteral("스캔 ")))
            m_treeTitle = kept.name;
        cb_save->setEnabled(false);
        window.saveButton()->setEnabled(false);
        window.setHeading(heading + QStringLiteral("\n저장했습니다: '%1' (%2, 구분 %3)")
                                        .arg(kept.name, kept.desc, categoryText(kept.gubn)));
    };
    window.openRow = [this, compared](int r) {
        const qint64 row = compared->diff.rows[size_t(r)].second;
        if (row > 0 && row <= m_tree.RowCount()) {
            openWholeTree();
            showFound(row);
        }
    };
    const QStringList kinds{QStringLiteral("삭제"), QStringLiteral("추가"), QStringLiteral("변경")};
    window.showRows(
        heading,
        {QStringLiteral("구분"), QStringLiteral("경로"), QStringLiteral("저장된 크기"),
         QStringLiteral("저장된 날짜"), QStringLiteral("새 크기"), QStringLiteral("새 날짜"),
         QStringLiteral("바뀐 것")},
        int(diff.rows.size()), diffCells(compared, kinds, false),
        [compared](int r) { return diffColour(compared->diff.rows[size_t(r)]); },
        diffCells(compared, kinds, true));
}

void w_list::ue_compare()
{
    const qint64 listRow = highlightedListRow();
    if (busy() || listRow < 1)
        return;
    const CatalogueEntry first = entryAt(m_list, listRow);
    QStringList labels;
    for (qint64 row = 1; row <= m_index.RowCount(); ++row) {
        if (m_index.GetItemString(row, IndexColumn::file) != first.file)
            labels << m_index.GetItemString(row, IndexColumn::name);
    }
    QString choice;
    if (chooseCompared) {
        choice = chooseCompared(labels);
    } else {
        bool ok = false;
        choice = QInputDialog::getItem(
            this, QStringLiteral("비교"), QStringLiteral("'%1'와(과) 비교할 디스크나 폴더:").arg(first.name),
            QStringList{kOtherFolder} + labels, labels.isEmpty() ? 0 : 1, false, &ok);
        if (ok && choice == kOtherFolder)
            choice = QFileDialog::getExistingDirectory(this, QStringLiteral("비교할 폴더"), QDir::homePath());
        if (!ok)
            choice.clear();
    }
    if (choice.isEmpty())
        return;
    auto compared = std::make_shared<Compared>();
    compared->first.name = first.name;
    {
        LongOperation operation(*this);
        loadSaved(first.file, compared->first);
    }
    const qint64 secondRow = CatalogueEntries::findLabel(m_index, choice);
    bool whole = true;
    if (secondRow > 0 && !choice.startsWith(u'/')) {
        LongOperation operation(*this);
        compared->second.name = choice;
        loadSaved(m_index.GetItemString(secondRow, IndexColumn::file), compared->second);
    } else {
        compared->second.name = choice;
        whole = scanFolder(choice, compared->second.tree, compared->second.facts);
    }
    compared->diff = diffTrees({&compared->first.tree, &compared->first.facts},
                               {&compared->second.tree, &compared->second.facts});
    const TreeDiff &diff = compared->diff;
    const QLocale locale;
    QString heading = QStringLiteral("'%1'에만 %2, '%3'에만 %4, 둘 다 있지만 다른 파일 %5")
                          .arg(first.name, locale.toString(diff.onlyFirst), choice,
                               locale.toString(diff.onlySecond), locale.toString(diff.changed));
    if (!diff.factsCompared)
        heading += QStringLiteral("\n한쪽에 크기와 날짜가 없어 있고 없음만 비교했습니다.");
    if (!whole)
        heading += QStringLiteral("\n폴더 스캔을 멈추어 폴더의 일부만 비교했습니다.");
    w_rowlist &window = *windowFor(m_compared, this, QStringLiteral("w_compare"), QStringLiteral("비교"));
    window.csvName = QStringLiteral("비교.csv");
    window.openRow = [this, compared](int r) {
        const DiffRow &row = compared->diff.rows[size_t(r)];
        const Side &side = row.first > 0 ? compared->first : compared->second;
        if (!side.file.isEmpty())
            openDiscAt(side.file, side.name, row.first > 0 ? row.first : row.second);
    };
    const QStringList kinds{first.name + QStringLiteral("에만"), choice + QStringLiteral("에만"),
                            QStringLiteral("다름")};
    window.showRows(
        heading,
        {QStringLiteral("구분"), QStringLiteral("경로"), first.name + QStringLiteral(" 크기"),
         first.name + QStringLiteral(" 날짜"), QStringLiteral("상대 크기"), QStringLiteral("상대 날짜"),
         QStringLiteral("다른 것")},
        int(diff.rows.size()), diffCells(compared, kinds, false),
        [compared](int r) { return diffColour(compared->diff.rows[size_t(r)]); },
        diffCells(compared, kinds, true));
}
