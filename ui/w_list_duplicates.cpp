// Files on several discs, and a folder of this computer looked up across the catalogue.

#include "ui/w_list.h"

#include "catalogue/entrysteps.h"
#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "compare/duplicates.h"
#include "compare/foldercheck.h"
#include "compare/treediff.h"
#include "ui/w_rowlist.h"
#include "widgets/messagebox.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The rows of the duplicates window: a group's own row (file -1), then its files.
struct GroupRow {
    int group;
    int file;
};

struct Shown {
    Duplicates found;
    std::vector<DuplicateDisc> discs;
    std::vector<GroupRow> rows;
};

QString groupCell(const Shown &shown, const GroupRow &at, int column, bool csv)
{
    const DuplicateGroup &group = shown.found.groups[size_t(at.group)];
    const QLocale locale;
    if (at.file < 0) {
        switch (column) {
        case 0:
            return QStringLiteral("묶음 %1").arg(at.group + 1);
        case 1:
            return QStringLiteral("디스크 %1개에 %2개").arg(group.discs).arg(group.files.size());
        case 3:
            return group.name;
        case 4:
            return csv ? QString::number(group.size) : sizeText(group.size);
        case 5:
            return (csv ? QString::number(group.copyBytes()) : sizeText(group.copyBytes())) +
                   (group.confirmed ? QStringLiteral(" (내용 같음)") : QString());
        default:
            return {};
        }
    }
    const DuplicateFile &file = group.files[size_t(at.file)];
    switch (column) {
    case 0:
        return QStringLiteral("묶음 %1").arg(at.group + 1);
    case 1:
        return shown.discs[size_t(file.disc)].label;
    case 2:
        return file.folder;
    case 3:
        return file.name;
    case 4:
        return csv ? QString::number(group.size) : sizeText(group.size);
    default:
        return file.hashed ? QStringLiteral("해시 있음") : QString();
    }
}

} // namespace

void w_list::ue_duplicates()
{
    if (busy())
        return;
    if (!m_duplicates) {
        m_duplicates = new w_rowlist(this, QStringLiteral("w_duplicates"), QStringLiteral("중복 찾기"));
        w_rowlist &window = *m_duplicates;
        auto *minimum = new QSpinBox(&window);
        minimum->setObjectName(QStringLiteral("minimum"));
        minimum->setRange(0, 1024 * 1024);
        minimum->setValue(1);
        minimum->setSuffix(QStringLiteral(" MiB"));
        minimum->setSpecialValueText(QStringLiteral("0 (빈 파일만 뺌)"));
        auto *range = new QComboBox(&window);
        range->setObjectName(QStringLiteral("range"));
        range->addItems({QStringLiteral("목록의 디스크끼리"), QStringLiteral("고른 디스크와 모든 디스크")});
        auto *find = new QPushButton(QStringLiteral("찾기"), &window);
        find->setObjectName(QStringLiteral("find"));
        window.topBar()->addWidget(new QLabel(QStringLiteral("최소 크기"), &window));
        window.topBar()->addWidget(minimum);
        window.topBar()->addWidget(range);
        window.topBar()->addWidget(find);
        window.topBar()->addStretch();
        window.csvName = QStringLiteral("중복.csv");
        connect(find, &QPushButton::clicked, this, [this] { showDuplicates(*m_duplicates); });
    }
    showDuplicates(*m_duplicates);
}

void w_list::showDuplicates(w_rowlist &window)
{
    if (busy())
        return;
    const auto *minimum = window.findChild<QSpinBox *>(QStringLiteral("minimum"));
    const auto *range = window.findChild<QComboBox *>(QStringLiteral("range"));
    auto shown = std::make_shared<Shown>();
    DuplicateQuery query;
    query.minimumSize = std::max<qint64>(qint64(minimum->value()) << 20, 1);
    QString scope = QStringLiteral("목록의 디스크 %1개").arg(m_list.RowCount());
    if (range->currentIndex() == 1) {
        const qint64 listRow = highlightedListRow();
        if (listRow < 1) {
            MessageBox(QStringLiteral("확인"), QStringLiteral("목록에서 디스크를 하나 고르십시오."));
            return;
        }
        shown->discs = discsOf(m_index);
        const QString file = m_list.GetItemString(listRow, IndexColumn::file);
        for (size_t i = 0; i < shown->discs.size(); ++i) {
            if (shown->discs[i].file == file)
                query.against = int(i);
        }
        scope =
            QStringLiteral("'%1'와(과) 모든 디스크").arg(m_list.GetItemString(listRow, IndexColumn::name));
    } else {
        shown->discs = discsOf(m_list);
    }
    query.discs = shown->discs;
    {
        LongOperation operation(*this);
        m_progress.setPosition(0);
        HookContext hooks = longOperationHooks();
        shown->found = findDuplicates(hooks, dataFolderPath(), query);
        m_progress.setPosition(0);
        st_progress->clear();
    }
    qint64 files = 0;
    for (size_t g = 0; g < shown->found.groups.size(); ++g) {
        shown->rows.push_back({int(g), -1});
        for (size_t f = 0; f < shown->found.groups[g].files.size(); ++f)
            shown->rows.push_back({int(g), int(f)});
        files += qint64(shown->found.groups[g].files.size());
    }
    const QLocale locale;
    QString heading =
        QStringLiteral("%1에서 이름과 크기가 같은 파일 (%2 이상): 묶음 %3개, 파일 %4개, 사본이 차지하는 "
                       "용량 %5.\n이름은 한글 자모를 합친 꼴(NFC)로 비교하고 대소문자는 구별합니다.")
            .arg(scope, sizeText(query.minimumSize), locale.toString(qint64(shown->found.groups.size())),
                 locale.toString(files), sizeText(shown->found.copyBytes()));
    if (shown->found.cancelled)
        heading += QStringLiteral(" (취소됨)");
    window.openRow = [this, shown](int r) {
        const GroupRow &at = shown->rows[size_t(r)];
        if (at.file < 0)
            return;
        const DuplicateFile &file = shown->found.groups[size_t(at.group)].files[size_t(at.file)];
        openDiscAt(shown->discs[size_t(file.disc)].file, shown->discs[size_t(file.disc)].label, file.row);
    };
    window.showRows(
        heading,
        {QStringLiteral("묶음"), QStringLiteral("디스크"), QStringLiteral("폴더"), QStringLiteral("이름"),
         QStringLiteral("크기"), QStringLiteral("사본 용량")},
        int(shown->rows.size()),
        [shown](int r, int c) { return groupCell(*shown, shown->rows[size_t(r)], c, false); },
        [shown](int r) { return shown->rows[size_t(r)].file < 0 ? QColor(0, 0, 128) : QColor(); },
        [shown](int r, int c) { return groupCell(*shown, shown->rows[size_t(r)], c, true); });
}

void w_list::ue_folder_check()
{
    if (busy())
        return;
    const QString folder =
        chooseFolder ? chooseFolder()
                     : QFileDialog::getExistingDirectory(this, QStringLiteral("이 폴더가 어디에 있나"),
                                                         QDir::homePath());
    if (folder.isEmpty())
        return;
    struct Checked {
        RecordSet tree{d_dir_tree()};
        TreeFacts facts;
        std::vector<DuplicateDisc> discs;
        FolderCheck check;
        std::vector<QString> paths;
    };
    auto checked = std::make_shared<Checked>();
    const bool whole = scanFolder(folder, checked->tree, checked->facts);
    checked->discs = discsOf(m_index);
    {
        LongOperation operation(*this);
        HookContext hooks = longOperationHooks();
        checked->check = checkFolder(hooks, dataFolderPath(), checked->discs, checked->tree, checked->facts);
        m_progress.setPosition(0);
        st_progress->clear();
    }
    std::vector<qint64> rows;
    for (const CheckedFile &file : checked->check.files)
        rows.push_back(file.row);
    std::vector<qint64> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<QString> paths = pathsBelowRoot(checked->tree, sorted);
    for (qint64 row : rows)
        checked->paths.push_back(
            paths[size_t(std::lower_bound(sorted.begin(), sorted.end(), row) - sorted.begin())]);
    const FolderCheck &check = checked->check;
    const QLocale locale;
    const QString verdict = check.verdict() == FolderVerdict::All    ? QStringLiteral("모두 있음")
                            : check.verdict() == FolderVerdict::None ? QStringLiteral("없음")
                                                                     : QStringLiteral("일부");
    QString heading =
        QStringLiteral("%1: %2. 파일 %3개 중 %4개는 디스크에 있고 %5개는 어느 디스크에도 없습니다.")
            .arg(folder, verdict, locale.toString(qint64(check.files.size())), locale.toString(check.found),
                 locale.toString(check.missing));
    if (!whole || check.cancelled)
        heading += QStringLiteral(" (취소됨: 일부만 보았습니다)");
    if (check.unknownSizes)
        heading += QStringLiteral("\n폴더의 크기를 알 수 없어 아무것도 찾지 못했습니다.");
    if (!m_checked)
        m_checked =
            new w_rowlist(this, QStringLiteral("w_foldercheck"), QStringLiteral("이 폴더가 어디에 있나"));
    w_rowlist &window = *m_checked;
    window.csvName = QStringLiteral("폴더 확인.csv");
    window.openRow = [this, checked](int r) {
        const CheckedFile &file = checked->check.files[size_t(r)];
        if (file.firstDisc >= 0)
            openDiscAt(checked->discs[size_t(file.firstDisc)].file,
                       checked->discs[size_t(file.firstDisc)].label, file.discRow);
    };
    const auto cell = [checked](int r, int column, bool csv) -> QString {
        const CheckedFile &file = checked->check.files[size_t(r)];
        const qint64 size =
            checked->facts.describes(checked->tree.RowCount()) ? checked->facts.at(file.row).size : -1;
        switch (column) {
        case 0:
            return file.discs == 0  ? QStringLiteral("없음")
                   : file.confirmed ? QStringLiteral("있음 (내용 같음)")
                                    : QStringLiteral("있음");
        case 1:
            return checked->paths[size_t(r)];
        case 2:
            return size < 0 ? QString() : csv ? QString::number(size) : sizeText(size);
        default:
            if (file.firstDisc < 0)
                return {};
            return checked->discs[size_t(file.firstDisc)].label +
                   (file.discs > 1 ? QStringLiteral(" 외 %1개").arg(file.discs - 1) : QString());
        }
    };
    window.showRows(
        heading,
        {QStringLiteral("상태"), QStringLiteral("경로"), QStringLiteral("크기"), QStringLiteral("디스크")},
        int(check.files.size()), [cell](int r, int c) { return cell(r, c, false); },
        [checked](int r) {
            return checked->check.files[size_t(r)].discs == 0 ? QColor(160, 0, 0) : QColor();
        },
        [cell](int r, int c) { return cell(r, c, true); });
}
