#pragma once

#include "files/textfile.h"
#include "records/expression.h"
#include "records/layout.h"
#include "records/rowheights.h"
#include "records/rowsource.h"
#include "records/textstore.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

// Ordered rows of one layout, numbered from 1, as the program's scripts use them.
//
// Rows are stored by column: a text column keeps 4-byte handles into a text pool
// (repeating columns store each distinct text once), a number column keeps one byte
// per row until a value needs more. Each row also has a detail height (0 hides it)
// and a highlight flag.
//
// Choices where the data may be bad:
// - Numbers are whole numbers from -2^31 to 2^31-1. An imported line whose number
//   field holds anything else (letters, a fraction, a value out of range) is rejected
//   whole: it adds no row. An empty number field reads as 0.
// - A text longer than its column's declared width is kept whole. Cutting it would
//   lose part of a path or a name for good; the width is for editors to enforce.
// - Setting an item on row 0 or on a row past the end changes nothing and returns -1.
class RecordSet : public QObject, public RowSource {
    Q_OBJECT
  public:
    explicit RecordSet(const Layout &layout, QObject *parent = nullptr);
    ~RecordSet() override;

    // RowSource
    [[nodiscard]] const Layout &layout() const override { return m_layout; }
    [[nodiscard]] qint64 rowCount() const override { return m_rows; }
    [[nodiscard]] QStringView textAt(qint64 row, int column) const override;
    [[nodiscard]] qint64 numberAt(qint64 row, int column) const override;

    qint64 InsertRow(qint64 before); // 0 appends; the new row's number, or -1
    int DeleteRow(qint64 row);       // 1, or -1 for row 0 or any row the set does not have
    int Reset();
    [[nodiscard]] qint64 RowCount() const { return m_rows; }

    [[nodiscard]] QString GetItemString(qint64 row, const QString &column) const;
    [[nodiscard]] QString GetItemString(qint64 row, int column) const; // column 1-based
    [[nodiscard]] qint64 GetItemNumber(qint64 row, const QString &column) const;
    [[nodiscard]] qint64 GetItemNumber(qint64 row, int column) const; // column 1-based
    int SetItem(qint64 row, const QString &column, const QString &value);
    int SetItem(qint64 row, const QString &column, qint64 value);
    int SetItem(qint64 row, int column, const QString &value); // column 1-based
    int SetItem(qint64 row, int column, qint64 value);

    // Appends one row per line (LF or CR LF) of tab-separated fields in column order.
    // Fields past the last column are ignored, missing ones are empty; empty lines and
    // rejected lines add nothing. Returns the number of rows added.
    qint64 ImportString(QStringView text);
    // One line without its line ending, as ImportString takes it: false when it adds no row.
    bool appendLine(QStringView line);
    // Writes every row, hidden ones too, as tab-separated lines without headings,
    // replacing the file atomically. Tabs and control characters in a value become spaces.
    [[nodiscard]] FileResult SaveAs(const QString &path) const;
    // A value as SaveAs writes it, so that what is kept in memory is what the file will hold.
    [[nodiscard]] static QString asWritten(QStringView value);
    // Whether a field of a number column reads as a number (a whole number in the int32 range,
    // spaces around it allowed, empty for 0): a line with one that does not adds no row.
    [[nodiscard]] static bool isNumberField(QStringView field);
    // The same in place, leaving a value that holds no such character untouched.
    static void makeWritable(QString &value);
    // Copies rows first..last into `target` (same layout) before row `before`;
    // a `before` past its end appends. 1, or -1 for a bad range or layout.
    int RowsCopy(qint64 first, qint64 last, RecordSet &target, qint64 before) const;

    // First row in first..last (clamped to the rows) where the expression holds;
    // 0 when none or when first is past last; negative (the error code) for a bad expression.
    [[nodiscard]] qint64 Find(const QString &expression, qint64 first, qint64 last) const;
    // "col a, col2 d": the order Sort applies. 1, or -1 when the text names no column or a
    // bad direction (the order in force is kept then). An empty text clears the order.
    int SetSort(const QString &sortText);
    int Sort(); // stable; with no order set the rows stay as they are

    int SelectRow(qint64 row, bool on); // row 0: every row
    [[nodiscard]] bool IsSelected(qint64 row) const;
    int SetRow(qint64 row);
    [[nodiscard]] qint64 GetRow() const { return m_currentRow; }

    int SetDetailHeight(qint64 first, qint64 last, int height); // first > last changes nothing
    [[nodiscard]] int detailHeight(qint64 row) const;
    [[nodiscard]] const RowHeights &heights() const { return m_heights; }

    // A literal for expressions that reads back as exactly `text`: lookups by label use it.
    [[nodiscard]] static QString Literal(QStringView text) { return Expression::literal(text); }

    // Room for `rows` rows, so that a load of known size does not reallocate as it grows.
    void reserve(qint64 rows);

  signals:
    // Posted once per turn of the event loop however many changes were made, so that a
    // million-row import repaints once.
    void changed();

  private:
    struct TextColumn;
    struct NumberColumn;
    struct ColumnRef {
        bool isText;
        int index; // into m_texts or m_numbers
    };

    [[nodiscard]] int columnNumber(const QString &column) const; // 0-based, -1 unknown
    [[nodiscard]] bool validRow(qint64 row) const { return row >= 1 && row <= m_rows; }
    bool setText(qint64 row, int column, QStringView value);
    bool setNumber(qint64 row, int column, qint64 value);
    bool importLine(QStringView line);
    void appendBlankRows(qint64 count);
    void applyOrder(const std::vector<qint64> &order);
    void noteChange();

    const Layout &m_layout;
    std::vector<ColumnRef> m_columnRefs;
    std::vector<std::unique_ptr<TextColumn>> m_texts;
    std::vector<std::unique_ptr<NumberColumn>> m_numbers;
    qint64 m_rows = 0;
    RowHeights m_heights;
    std::vector<bool> m_selected;
    qint64 m_currentRow = 0;
    std::vector<std::pair<int, bool>> m_sortKeys; // column, descending
    bool m_notifyPending = false;

    mutable QString m_findText; // the last Find expression, kept compiled
    mutable Expression m_findExpression;
    mutable ExprError m_findError;
};
