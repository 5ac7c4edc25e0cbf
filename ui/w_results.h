#pragma once

#include "search/query.h"
#include "search/resultsearch.h"
#include "ui/thumbnailview.h"
#include "ui/w_results_model.h"

#include <QHash>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTableView;
class QTimer;
class ResultsRunner;

// The results window "검색 결과": every folder and file of the catalogue's discs that its query
// finds (search/query.h), one row each, searched as the user types in its own box and refined
// by each keystroke, with filter controls that add to the typed query. An ordinary top-level
// window over the main window, one at a time; the search runs on a thread of its own, so typing
// is never held up, and the rows of the last search stay until the next one has rows to show.
class w_results : public QWidget {
    Q_OBJECT
  public:
    explicit w_results(QWidget *mainWindow);

    ~w_results() override;

    // Shows the window on top with `text` in its box, and searches for it.
    void searchFor(const QString &text);

    [[nodiscard]] ResultsModel &model() { return *m_model; }
    // The query text of the rows shown.
    [[nodiscard]] const QString &text() const { return m_text; }
    // What the find box of the tree is to look for when a row is opened: the first word.
    [[nodiscard]] QString findText() const;
    [[nodiscard]] bool searching() const { return m_searching; }
    [[nodiscard]] QTableView *view() const { return m_view; }
    // The heading's menu of the columns that can be turned on and off, checked as they are now.
    [[nodiscard]] QMenu *columnMenu();
    [[nodiscard]] QLabel *heading() const { return m_heading; }
    [[nodiscard]] QPushButton *exportButton() const { return m_export; }
    // The button that switches between the list and the grid of thumbnails, and the grid.
    [[nodiscard]] QPushButton *thumbnailButton() const { return m_thumbnailButton; }
    [[nodiscard]] ThumbnailView *thumbnailView() const { return m_thumbnails; }
    // Where the grid's thumbnails come from; until one is set, every row shows a plain picture.
    void setThumbnailProvider(ThumbnailProvider provider);
    [[nodiscard]] QLineEdit *queryBox() const { return m_query; }
    [[nodiscard]] QComboBox *kindBox() const { return m_kind; }
    [[nodiscard]] QLineEdit *sizeBox() const { return m_size; }
    [[nodiscard]] QLineEdit *dateBox() const { return m_date; }
    [[nodiscard]] QComboBox *categoryBox() const { return m_category; }
    [[nodiscard]] QComboBox *discBox() const { return m_disc; }
    [[nodiscard]] QCheckBox *caseBox() const { return m_case; }
    // The query the window searches for: the typed text (with the syllable being composed)
    // and the controls' filters.
    [[nodiscard]] ResultQuery currentQuery() const;

    // Told by the main window when the catalogue's entries change: the next search asks for the
    // discs again.
    void discsChanged();

    // Set by the main window: the discs to search, in the list's order, with their colours.
    std::function<std::vector<ResultDisc>(std::vector<QColor> &colours)> discsToSearch;
    // Set by the main window: opens the store's row in the tree.
    std::function<void(qsizetype storeRow)> openRow;

  protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void createControls();
    void layoutControls();
    void connectHandlers();
    void fitDateColumn();
    void setUpColumnMenu();
    void fitPathAndName();
    void createThumbnailView();
    void showThumbnails(bool on);
    void placeFirstTime();
    void showHeading();
    void rowActivated(const QModelIndex &index);
    void exportClicked();
    void showOnTop();

    // The query box, the filter controls and the search as the user types
    // (ui/w_results_query.cpp).
    void createQueryControls();
    QLayout *queryLayout();
    void connectQueryHandlers();
    void fillDiscBox(const std::vector<ResultDisc> &discs);
    void queryChanged();
    void startSearch();
    void rowsArrived(ResultStore &&rows);
    void searchFinished(const ResultsOutcome &outcome);
    // Empties the rows for the search just started, once it has something to show.
    void takeNewRows();

    ResultsModel *m_model = nullptr;
    QLabel *m_heading = nullptr;
    QTableView *m_view = nullptr;
    QMenu *m_columnMenu = nullptr;
    QStackedWidget *m_views = nullptr; // the list, or the grid of thumbnails
    ThumbnailView *m_thumbnails = nullptr;
    QPushButton *m_thumbnailButton = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_close = nullptr;
    QLineEdit *m_query = nullptr;
    QComboBox *m_kind = nullptr;
    QLineEdit *m_size = nullptr;
    QLineEdit *m_date = nullptr;
    QComboBox *m_category = nullptr;
    QComboBox *m_disc = nullptr;
    QCheckBox *m_case = nullptr;
    QTimer *m_typed = nullptr; // gathers the events of one keystroke into one search
    ResultsRunner *m_runner = nullptr;
    QString m_preedit;   // the syllable the input method is composing
    QString m_text;      // of the rows shown
    QString m_searchKey; // what the search that runs looked at: text, controls
    ResultQuery m_searched;
    bool m_searchedOnce = false;
    std::vector<ResultDisc> m_discs;
    bool m_discsChanged = true;
    std::vector<QColor> m_colours;
    QHash<QString, SideFacts> m_facts; // by catalogue file, kept while the window searches
    bool m_newRowsPending = false;     // the rows shown are still those of the search before
    qint64 m_unknownFacts = 0;
    bool m_searching = false;
    bool m_cancelled = false;
    bool m_placed = false;
};
