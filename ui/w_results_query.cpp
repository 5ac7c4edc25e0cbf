// The results window's query: its box, searched as the user types, the filter controls that add
// to what is typed, and the rows of each search replacing those of the one before.

#include "ui/w_results.h"

#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "ui/resultsrunner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

void w_results::createQueryControls()
{
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("query"));
    m_query->setPlaceholderText(
        QStringLiteral("찾을 이름 (예: 서울 풍경  ㅅㅈ  종류:사진 날짜:2019  -임시)"));
    m_query->setClearButtonEnabled(true);
    m_kind = new QComboBox(this);
    for (const char16_t *kind : {u"폴더", u"파일", u"사진", u"음악", u"동영상", u"문서", u"압축"})
        m_kind->addItem(QString::fromUtf16(kind), QString::fromUtf16(kind));
    m_kind->insertItem(0, QStringLiteral("모든 종류"), QString());
    m_kind->setCurrentIndex(0);
    m_size = new QLineEdit(this);
    m_size->setPlaceholderText(QStringLiteral(">100MB, 10KB..2MB"));
    m_date = new QLineEdit(this);
    m_date->setPlaceholderText(QStringLiteral("2004, 2004-07, 2004..2006"));
    m_category = new QComboBox(this);
    m_category->addItem(QStringLiteral("모든 구분"), QString());
    for (const Category &category : kCategories)
        m_category->addItem(QString::fromUtf16(category.text), QString::fromUtf16(category.code));
    m_disc = new QComboBox(this);
    m_disc->addItem(QStringLiteral("모든 디스크"), QString());
    // The filter row gives way when the window is made small: a label of any length never widens it.
    for (QWidget *control : std::initializer_list<QWidget *>{m_kind, m_size, m_date, m_category, m_disc}) {
        control->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        control->setMinimumWidth(36);
    }
    m_case = new QCheckBox(QStringLiteral("대소문자 구분"), this);
    m_typed = new QTimer(this);
    m_typed->setSingleShot(true);
    m_typed->setInterval(0);
    m_runner = new ResultsRunner(this);
}

QLayout *w_results::queryLayout()
{
    auto *box = new QHBoxLayout;
    box->addWidget(new QLabel(QStringLiteral("찾기"), this));
    box->addWidget(m_query, 1);
    box->addWidget(m_case);
    auto *filters = new QHBoxLayout;
    const auto add = [&](const char16_t *label, QWidget *control, int stretch) {
        auto *text = new QLabel(QString::fromUtf16(label), this);
        text->setBuddy(control);
        filters->addWidget(text);
        filters->addWidget(control, stretch);
    };
    add(u"종류", m_kind, 2);
    add(u"크기", m_size, 3);
    add(u"날짜", m_date, 3);
    add(u"구분", m_category, 2);
    add(u"디스크", m_disc, 2);
    auto *layout = new QVBoxLayout;
    layout->addLayout(box);
    layout->addLayout(filters);
    return layout;
}

void w_results::connectQueryHandlers()
{
    m_query->installEventFilter(this);
    connect(m_query, &QLineEdit::textChanged, this, &w_results::queryChanged);
    connect(m_size, &QLineEdit::textChanged, this, &w_results::queryChanged);
    connect(m_date, &QLineEdit::textChanged, this, &w_results::queryChanged);
    for (QComboBox *box : {m_kind, m_category, m_disc})
        connect(box, &QComboBox::currentIndexChanged, this, &w_results::queryChanged);
    connect(m_case, &QCheckBox::toggled, this, &w_results::queryChanged);
    connect(m_typed, &QTimer::timeout, this, &w_results::startSearch);
    // Enter in the box goes to the rows, as the search has already run.
    connect(m_query, &QLineEdit::returnPressed, this, [this] {
        if (m_model->rowCount() > 0) {
            m_view->setCurrentIndex(m_model->index(0, 0));
            m_view->setFocus();
        }
    });
    m_runner->rowsArrived = [this](ResultStore &&rows) { rowsArrived(std::move(rows)); };
    m_runner->finished = [this](const ResultsOutcome &outcome) { searchFinished(outcome); };
}

bool w_results::eventFilter(QObject *watched, QEvent *event)
{
    // The syllable an input method composes is not yet in the box's text, but the rows follow
    // it: 사지 on the way to 사진 keeps 사진 in view.
    if (watched == m_query && event->type() == QEvent::InputMethod) {
        m_preedit = static_cast<QInputMethodEvent *>(event)->preeditString();
        queryChanged();
    }
    return QWidget::eventFilter(watched, event);
}

void w_results::queryChanged()
{
    // After the box has taken the key: the events of one keystroke make one search.
    m_typed->start();
}

ResultQuery w_results::currentQuery() const
{
    QString text = m_query->text();
    const bool atEnd = m_query->cursorPosition() == text.size();
    text.insert(m_query->cursorPosition(), m_preedit);
    ResultQuery query = parseQuery(text, !m_preedit.isEmpty() && atEnd);
    ResultQuery controls;
    const auto filter = [&](const char16_t *key, const QString &value) {
        if (!value.trimmed().isEmpty())
            controls.add(parseQuery(QString::fromUtf16(key) + u':' + value.trimmed().remove(u' ')));
    };
    filter(u"종류", m_kind->currentData().toString());
    filter(u"크기", m_size->text());
    filter(u"날짜", m_date->text());
    filter(u"구분", m_category->currentData().toString());
    if (const QString disc = m_disc->currentData().toString(); !disc.isEmpty())
        controls.discs.push_back(disc);
    query.add(controls);
    query.caseRule = m_case->isChecked() ? CaseRule::Exact : CaseRule::Any;
    return query;
}

QString w_results::findText() const
{
    return m_searched.words.isEmpty() ? QString() : m_searched.words.front();
}

void w_results::searchFor(const QString &text)
{
    m_facts.clear(); // the discs may have changed since the window last searched
    m_discsChanged = true;
    m_preedit.clear();
    m_query->setText(text);
    m_query->setFocus();
    m_query->end(false);
    showOnTop();
    m_searchedOnce = false;
    startSearch();
}

void w_results::fillDiscBox(const std::vector<ResultDisc> &discs)
{
    QStringList labels;
    for (const ResultDisc &disc : discs)
        labels.append(disc.label);
    labels.sort(Qt::CaseInsensitive);
    labels.removeDuplicates();
    QStringList shown;
    for (int i = 1; i < m_disc->count(); ++i)
        shown.append(m_disc->itemData(i).toString());
    if (shown == labels)
        return;
    const QString chosen = m_disc->currentData().toString();
    const QSignalBlocker blocker(m_disc);
    m_disc->clear();
    m_disc->addItem(QStringLiteral("모든 디스크"), QString());
    for (const QString &label : labels)
        m_disc->addItem(label, label);
    m_disc->setCurrentIndex(std::max(0, m_disc->findData(chosen)));
}

void w_results::startSearch()
{
    m_typed->stop();
    const ResultQuery query = currentQuery();
    QString text = m_query->text();
    text.insert(m_query->cursorPosition(), m_preedit);
    const QString key = text + u'\x1F' + m_kind->currentData().toString() + u'\x1F' + m_size->text() +
                        u'\x1F' + m_date->text() + u'\x1F' + m_category->currentData().toString() + u'\x1F' +
                        m_disc->currentData().toString() + u'\x1F' + QString::number(m_case->isChecked()) +
                        u'\x1F' + QString::number(query.composing);
    if (m_searchedOnce && key == m_searchKey)
        return; // nothing the search looks at has changed
    m_searchedOnce = true;
    m_searchKey = key;
    m_searched = query;
    if (m_discsChanged) {
        m_discsChanged = false;
        m_discs = discsToSearch ? discsToSearch(m_colours) : std::vector<ResultDisc>();
        m_colours.resize(m_discs.size());
        fillDiscBox(m_discs);
    }
    m_newRowsPending = true;
    m_searching = true;
    m_cancelled = false;
    m_cancel->setVisible(true);
    if (!query.asksForAnything()) {
        m_runner->stop();
        searchFinished({});
        return;
    }
    m_runner->start(m_discs, dataFolderPath(), query);
    showHeading();
}

void w_results::takeNewRows()
{
    m_newRowsPending = false;
    m_text = m_searchKey.section(u'\x1F', 0, 0);
    m_unknownFacts = 0;
    std::vector<SideFacts> facts;
    for (const ResultDisc &disc : m_discs) {
        auto kept = m_facts.find(disc.file);
        if (kept == m_facts.end())
            kept = m_facts.insert(disc.file, readSideFacts(dataFolderPath(), disc.file));
        facts.push_back(*kept);
    }
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    ResultStore old;
    m_model->start(m_discs, m_colours, std::move(facts), &old);
    m_runner->dispose(std::move(old));
}

void w_results::discsChanged()
{
    m_discsChanged = true;
    m_facts.clear();
}

void w_results::rowsArrived(ResultStore &&rows)
{
    if (m_newRowsPending)
        takeNewRows();
    m_model->appendRows(std::move(rows));
    showHeading();
}

void w_results::searchFinished(const ResultsOutcome &outcome)
{
    if (m_newRowsPending)
        takeNewRows();
    m_unknownFacts = outcome.unknownFacts;
    m_model->store().squeeze();
    m_searching = false;
    m_cancelled = outcome.cancelled;
    m_cancel->setVisible(false);
    m_export->setEnabled(true);
    showHeading();
    if (m_model->rowCount() > 0 && !m_view->currentIndex().isValid())
        m_view->setCurrentIndex(m_model->index(0, 0));
}
