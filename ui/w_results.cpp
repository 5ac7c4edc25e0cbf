#include "ui/w_results.h"

#include "catalogue/factstext.h"
#include "catalogue/settings.h"
#include "search/resultsexport.h"
#include "ui/csvfile.h"
#include "ui/help.h"
#include "ui/resultsrunner.h"
#include "widgets/placement.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

w_results::w_results(QWidget *mainWindow) : QWidget(mainWindow, Qt::Window)
{
    setObjectName(QStringLiteral("w_results"));
    setWindowTitle(QStringLiteral("검색 결과"));
    createControls();
    layoutControls();
    connectHandlers();
    resize(820, 480);
}

w_results::~w_results() = default;

void w_results::createControls()
{
    createQueryControls();
    m_model = new ResultsModel(this);
    m_heading = new QLabel(this);
    m_view = new QTableView(this);
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideMiddle); // a long path keeps its last folders in sight
    m_view->setSortingEnabled(true);
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // the search's own order
    // Fixed row heights: the view then never measures a million rows.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->verticalHeader()->hide();
    const int widths[] = {120, 300, 200, 90};
    for (int column = 0; column < 4; ++column)
        m_view->setColumnWidth(column, widths[column]);
    fitDateColumn();
    setUpColumnMenu();
    createThumbnailView();
    m_cancel = new QPushButton(QStringLiteral("취소"), this);
    m_export = new QPushButton(QStringLiteral("내보내기"), this);
    m_close = new QPushButton(QStringLiteral("닫기"), this);
}

void w_results::fitDateColumn()
{
    // The date column as wide as the widest date, and in view at any width: the folder path and
    // the name share what the label, the size and the date leave.
    QHeaderView *header = m_view->horizontalHeader();
    const QString widest = widestDateText();
    const int margins = 2 * (m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1);
    m_view->setColumnWidth(ResultsModel::Date, m_view->fontMetrics().horizontalAdvance(widest) + margins + 8);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(ResultsModel::Path, QHeaderView::Stretch);
    header->setSectionResizeMode(ResultsModel::Name, QHeaderView::Stretch);
}

void w_results::layoutControls()
{
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    buttons->addWidget(m_thumbnailButton);
    buttons->addWidget(m_export);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(queryLayout());
    layout->addWidget(m_heading);
    layout->addWidget(m_views, 1);
    layout->addLayout(buttons);
}

void w_results::connectHandlers()
{
    connect(m_view, &QAbstractItemView::activated, this, &w_results::rowActivated);
    connect(m_export, &QPushButton::clicked, this, &w_results::exportClicked);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_runner->stop();
        searchFinished({true, m_unknownFacts});
    });
    connectQueryHandlers();
}

void w_results::showOnTop()
{
    placeFirstTime();
    show();
    raise();
    activateWindow();
}

void w_results::placeFirstTime()
{
    // Beside the main window the first time it opens; after that where the user left it, as
    // large as it was.
    if (m_placed || !parentWidget())
        return;
    placeBeside(this, parentWidget()->window());
    m_placed = true;
}

void w_results::showHeading()
{
    const QLocale locale;
    const ResultStore &store = m_model->store();
    if (!m_searching && !m_searched.asksForAnything()) {
        m_heading->setText(QStringLiteral("찾을 이름이나 조건을 입력하세요. 글자마다 바로 찾습니다."));
        return;
    }
    QString line =
        QStringLiteral("'%1': 디스크 %2개에서 %3개 항목")
            .arg(m_text, locale.toString(store.discsWithRows()), locale.toString(store.rowCount()));
    if (m_unknownFacts > 0)
        line += QStringLiteral(", 크기나 날짜를 모르는 %1개 항목은 뺐습니다")
                    .arg(locale.toString(m_unknownFacts));
    if (!m_searched.ignored.isEmpty())
        line += QStringLiteral(" · 알 수 없는 조건: ") + m_searched.ignored.join(u' ');
    if (m_searching)
        line += QStringLiteral(" (찾는 중…)");
    else if (m_cancelled)
        line += QStringLiteral(" (취소됨)");
    m_heading->setText(line);
}

void w_results::rowActivated(const QModelIndex &index)
{
    if (index.isValid() && openRow)
        openRow(m_model->storeRow(index.row()));
}

void w_results::exportClicked()
{
    exportCsv(this, QStringLiteral("검색 결과.csv"), [this](const QString &path) {
        return exportResults(path, m_model->store(), m_model->order(), dataFolderPath());
    });
}

void w_results::closeEvent(QCloseEvent *event)
{
    // A search into a closed window would go on unseen: stop it.
    if (m_searching) {
        m_runner->stop();
        searchFinished({true, m_unknownFacts});
    }
    event->accept();
}

void w_results::keyPressEvent(QKeyEvent *event)
{
    // The table passes on the keys it does not use: Esc closes, F1 opens the help.
    if (!closeOrHelpKey(*this, event))
        QWidget::keyPressEvent(event);
}
