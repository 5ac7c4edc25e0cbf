#pragma once

// Column storage of RecordSet; private to its implementation files.

#include "records/recordset.h"

#include <algorithm>

struct RecordSet::TextColumn {
    explicit TextColumn(bool repeats)
    {
        if (repeats)
            interner = std::make_unique<TextInterner>(pool);
    }
    TextPool pool;
    std::unique_ptr<TextInterner> interner; // only for columns whose values repeat
    std::vector<quint32> cells;             // handle per row

    std::optional<quint32> store(QStringView text)
    {
        return interner ? interner->intern(text) : pool.add(text);
    }
    [[nodiscard]] QStringView at(qint64 index) const { return pool.view(cells[size_t(index)]); }
    void clear()
    {
        cells.clear();
        pool.clear();
        if (interner)
            interner->clear();
    }
};

// One byte per row until a value outside -128..127 arrives; then four.
struct RecordSet::NumberColumn {
    std::vector<qint8> narrow;
    std::vector<qint32> wide;
    bool isWide = false;

    [[nodiscard]] qint64 at(qint64 index) const
    {
        return isWide ? wide[size_t(index)] : narrow[size_t(index)];
    }
    void widen()
    {
        wide.assign(narrow.begin(), narrow.end());
        narrow = {};
        isWide = true;
    }
    void set(qint64 index, qint32 value)
    {
        if (!isWide && (value < -128 || value > 127))
            widen();
        if (isWide)
            wide[size_t(index)] = value;
        else
            narrow[size_t(index)] = qint8(value);
    }
    void push(qint32 value)
    {
        if (!isWide && (value < -128 || value > 127))
            widen();
        if (isWide)
            wide.push_back(value);
        else
            narrow.push_back(qint8(value));
    }
    template <typename F> void each(F &&f) { isWide ? f(wide) : f(narrow); }
};
