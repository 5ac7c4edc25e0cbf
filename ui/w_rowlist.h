#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QWidget>
#include <functional>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableView;

// The text of a cell (row, column), and the CSV text of it when that differs (exact sizes, ISO
// dates).
using RowCell = std::function<QString(int row, int column)>;

// Rows given by a function of row and column, so that two hundred thousand of them cost no
// item objects; a row may be drawn in a colour of its own.
class RowListModel final : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;
    void show(QStringList headings, int rows, RowCell cell, std::function<QColor(int row)> colour = {});
    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    [[nodiscard]] const QStringList &headings() const { return m_headings; }
    [[nodiscard]] QString cell(int row, int column) const { return m_cell ? m_cell(row, column) : QString(); }

  private:
    QStringList m_headings;
    int m_rows = 0;
    RowCell m_cell;
    std::function<QColor(int)> m_colour;
};

// The windows of the comparisons: a rescan's changes, the compare of two discs or of a disc and
// a folder, the duplicates and the folder check. A heading line, the rows, and the buttons
// 저장 (when the window saves something), 내보내기 (CSV) and 닫기; Enter or a double-click on a
// row opens it in the main window. One ordinary window over the main window per kind.
class w_rowlist : public QWidget {
    Q_OBJECT
  public:
    w_rowlist(QWidget *mainWindow, const QString &name, const QString &title);

    // Fills the window and shows it on top. `csvCell`, when given, is what the CSV holds.
    void showRows(const QString &heading, QStringList headings, int rows, RowCell cell,
                  std::function<QColor(int)> colour = {}, RowCell csvCell = {});
    void setHeading(const QString &heading);

    // Controls above the rows (the duplicates' minimum size and range).
    [[nodiscard]] QHBoxLayout *topBar() const { return m_topBar; }
    [[nodiscard]] QTableView *view() const { return m_view; }
    [[nodiscard]] QLabel *heading() const { return m_heading; }
    [[nodiscard]] QPushButton *saveButton() const { return m_save; }
    [[nodiscard]] QPushButton *exportButton() const { return m_export; }
    [[nodiscard]] RowListModel &model() { return *m_model; }

    // Shown as 저장 when set: what it does.
    std::function<void()> save;
    std::function<void(int row)> openRow;
    QString csvName; // the file name the export offers

  protected:
    void keyPressEvent(QKeyEvent *event) override;

  private:
    RowListModel *m_model = nullptr;
    QLabel *m_heading = nullptr;
    QHBoxLayout *m_topBar = nullptr;
    QTableView *m_view = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_close = nullptr;
    RowCell m_csvCell;
};
