#pragma once

#include "records/layout.h"

#include <QStringView>

// Read access to the rows of a record set, as expressions see them.
// Rows count from 1; columns are 0-based indexes into the layout.
class RowSource {
  public:
    virtual ~RowSource() = default;
    [[nodiscard]] virtual const Layout &layout() const = 0;
    [[nodiscard]] virtual qint64 rowCount() const = 0;
    // The view stays valid until the row's value changes or the rows are reset.
    [[nodiscard]] virtual QStringView textAt(qint64 row, int column) const = 0;
    [[nodiscard]] virtual qint64 numberAt(qint64 row, int column) const = 0;
};
