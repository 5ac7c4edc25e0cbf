#pragma once

#include <QString>
#include <QStringView>
#include <vector>

enum class ColumnType : unsigned char { Text, Number };

struct ColumnDef {
    QString name;
    ColumnType type = ColumnType::Text;
    int maxLength = 0;    // declared width of a text column, in characters; 0 for numbers
    bool repeats = false; // values repeat across rows (paths, picture names): keep each distinct text once
};

// The columns of a record set, in file order, and the height of its detail band.
class Layout {
  public:
    Layout(QString name, std::vector<ColumnDef> columns, int rowHeight);

    [[nodiscard]] const QString &name() const { return m_name; }
    [[nodiscard]] int columnCount() const { return int(m_columns.size()); }
    [[nodiscard]] const ColumnDef &column(int index) const { return m_columns[size_t(index)]; }
    // 0-based index of a column, matched without regard to case; -1 when the layout has none of that name.
    [[nodiscard]] int columnIndex(QStringView name) const;
    // Height of one row in the layout's own units (pixels for the tree, font units for the index).
    [[nodiscard]] int rowHeight() const { return m_rowHeight; }

  private:
    QString m_name;
    std::vector<ColumnDef> m_columns;
    int m_rowHeight;
};
