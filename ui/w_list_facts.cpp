// Sizes and dates where a user looks: the tree row's facts in the status area over the progress
// bar, and each disc's totals as the list pane's tooltip and, when the list is wide, its columns.

#include "ui/w_list.h"

#include "catalogue/datafiles.h"
#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "catalogue/sidefile.h"
#include "ui/disctotals.h"
#include "ui/indexpresenter.h"
#include "widgets/elidedlabel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QProgressBar>
#include <QToolTip>

namespace {

// Answers the list pane's tooltip requests with the disc's facts, read from its side file only
// when asked: a search never reads side files.
class DiscTooltips final : public QObject {
  public:
    DiscTooltips(DataGrid *grid, RecordSet &list) : QObject(grid), m_grid(grid), m_list(list)
    {
        grid->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString text = tooltipFor(m_grid->rowAt(help->pos()));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, m_grid->viewport());
        return true;
    }

  private:
    [[nodiscard]] QString tooltipFor(qint64 row) const
    {
        if (row < 1 || row > m_list.RowCount())
            return {};
        const QString file = m_list.GetItemString(row, IndexColumn::file);
        DiscFacts disc;
        if (!isBareFileName(file) || !SideFiles::readDisc(SideFiles::pathFor(dataFilePath(file)), disc))
            return QStringLiteral("크기와 날짜가 기록되지 않은 디스크입니다");
        return discTooltip(disc);
    }

    DataGrid *m_grid;
    RecordSet &m_list;
};

} // namespace

void w_list::createFactsArea()
{
    // A label laid over the progress bar follows it wherever the window places the bar.
    st_facts = new ElidedLabel(hpb_1);
    st_facts->setAutoFillBackground(true);
    st_facts->setBackgroundRole(QPalette::Button);
    st_facts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    st_facts->setContentsMargins(4, 0, 4, 0);
    auto *layout = new QHBoxLayout(hpb_1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(st_facts);
    new DiscTooltips(dw_list, m_list);
    // The list shows each disc's totals as columns when it is wide enough. The hidden full index
    // shares the presenter but is never drawn, so only the list's rows in view read side files.
    m_discTotals = std::make_unique<DiscTotals>(m_entries.dataFolder());
    m_indexPresenter->setTotalsSource(
        [this](const QString &file) -> const DiscSummary & { return m_discTotals->of(file); });
    m_entries.onFilesChanged = [this](const QStringList &names) { m_discTotals->forget(names); };
}

void w_list::showRowFacts(qint64 row)
{
    if (!st_facts)
        return;
    // While a long operation runs the bar beneath shows its progress.
    st_facts->setVisible(!busy());
    if (row >= 1)
        m_factsRow = row;
    const qint64 shown = m_factsRow >= 1 && m_factsRow <= m_tree.RowCount() ? m_factsRow : 1;
    st_facts->setFullText(rowFactsText(m_tree, m_treeFacts, shown));
}
