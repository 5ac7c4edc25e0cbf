#pragma once

#include "ui/w_results_model.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QTableView;

// The results window "검색 결과": every folder and file of the listed discs whose path or name
// holds the searched text, one row each, arriving while the search runs. An ordinary top-level
// window over the main window, one at a time; the main window runs the search into it and opens
// the row the user picks.
class w_results : public QWidget {
    Q_OBJECT
  public:
    explicit w_results(QWidget *mainWindow);

    // Empties the window for a search for `text` and shows it on top.
    void start(const QString &text, std::vector<ResultDisc> discs, std::vector<QColor> colours,
               std::vector<SideFacts> facts);
    void rowsFound(qsizetype first, qsizetype count);
    void finish(bool cancelled);

    [[nodiscard]] ResultsModel &model() { return *m_model; }
    [[nodiscard]] const QString &text() const { return m_text; }
    [[nodiscard]] bool searching() const { return m_searching; }
    [[nodiscard]] QTableView *view() const { return m_view; }
    [[nodiscard]] QLabel *heading() const { return m_heading; }
    [[nodiscard]] QPushButton *exportButton() const { return m_export; }

    // Set by the main window: stops the search running into this window.
    std::function<void()> cancelSearch;
    // Set by the main window: opens the store's row in the tree.
    std::function<void(qsizetype storeRow)> openRow;

  protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void createControls();
    void layoutControls();
    void connectHandlers();
    void fitDateColumn();
    void placeFirstTime();
    void showHeading();
    void rowActivated(const QModelIndex &index);
    void exportClicked();

    ResultsModel *m_model = nullptr;
    QLabel *m_heading = nullptr;
    QTableView *m_view = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_close = nullptr;
    QString m_text;
    bool m_searching = false;
    bool m_cancelled = false;
    bool m_placed = false;
};
