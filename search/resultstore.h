#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// A disc the results search looks through, as its index entry names it.
struct ResultDisc {
    QString file;        // bare name of its catalogue file
    QString label;       // the index entry's name
    QString description; // desc
    QString category;    // gubn, the category code
};

// The rows a results search found, kept small enough for a million: a row is a disc number, the
// line of the catalogue file it came from, a number into the shared folder paths (every file
// of a folder names the same one) and a slice of one buffer that holds every name.
class ResultStore {
  public:
    void reset(std::vector<ResultDisc> discs);

    [[nodiscard]] const std::vector<ResultDisc> &discs() const { return m_discs; }
    // A disc's entry as the index holds it now, after a change of its label or file.
    void setDisc(int disc, ResultDisc now) { m_discs[size_t(disc)] = std::move(now); }
    [[nodiscard]] qsizetype rowCount() const { return qsizetype(m_rows.size()); }
    // Discs that gave at least one row.
    [[nodiscard]] int discsWithRows() const { return m_discsWithRows; }

    [[nodiscard]] int discOf(qsizetype row) const { return int(m_rows[size_t(row)].disc); }
    // 1-based line of the disc's catalogue file: the tree row once the file is loaded.
    [[nodiscard]] qint64 lineOf(qsizetype row) const { return m_rows[size_t(row)].line; }
    [[nodiscard]] const QString &pathOf(qsizetype row) const { return m_paths[m_rows[size_t(row)].path]; }
    [[nodiscard]] QStringView nameOf(qsizetype row) const
    {
        const Row &r = m_rows[size_t(row)];
        return QStringView(m_names).mid(r.nameAt, r.nameSize);
    }
    [[nodiscard]] bool isFolder(qsizetype row) const { return m_rows[size_t(row)].folder; }

    // A folder path for rows to share; its number for append().
    quint32 addPath(const QString &path);
    void append(int disc, qint64 line, quint32 path, QStringView name, bool folder);

  private:
    struct Row {
        quint32 disc;
        quint32 line;
        quint32 path;
        quint32 nameAt;
        quint32 nameSize : 31;
        quint32 folder : 1;
    };
    std::vector<ResultDisc> m_discs;
    std::vector<Row> m_rows;
    std::vector<QString> m_paths;
    QString m_names;
    int m_discsWithRows = 0;
};
