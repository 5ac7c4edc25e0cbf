#pragma once

#include <QByteArray>
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

// The rows a results search found, kept small enough for a million: a row is the line of the
// catalogue file it came from, a number into the shared folder paths (every file of a folder
// names the same one) and its name's size in one buffer that holds every name, both as the
// bytes the file holds them in; the disc is known from where its rows begin. Text is decoded when asked
// for: paths below the disc's root and names composed (NFC) as they are shown, or as stored.
class ResultStore {
  public:
    void reset(std::vector<ResultDisc> discs);

    [[nodiscard]] const std::vector<ResultDisc> &discs() const { return m_discs; }
    // A disc's entry as the index holds it now, after a change of its label or file.
    void setDisc(int disc, ResultDisc now) { m_discs[size_t(disc)] = std::move(now); }
    [[nodiscard]] qsizetype rowCount() const { return qsizetype(m_rows.size()); }
    // Discs that gave at least one row.
    [[nodiscard]] int discsWithRows() const;

    [[nodiscard]] int discOf(qsizetype row) const;
    // 1-based line of the disc's catalogue file: the tree row once the file is loaded.
    [[nodiscard]] qint64 lineOf(qsizetype row) const { return m_rows[size_t(row)].line; }
    // The folder path below the disc's root ("/photos/2004/", "/" at the root), composed.
    [[nodiscard]] QString pathOf(qsizetype row) const;
    [[nodiscard]] QString nameOf(qsizetype row) const;
    // Path and name exactly as the catalogue file holds them (the tree's fullname and name).
    [[nodiscard]] QString storedPathOf(qsizetype row) const;
    [[nodiscard]] QString storedNameOf(qsizetype row) const;
    [[nodiscard]] bool isFolder(qsizetype row) const { return m_rows[size_t(row)].folder; }
    // True for a row found by a song's tags (its title, artist or album), not by its path or name.
    [[nodiscard]] bool byTag(qsizetype row) const { return m_rows[size_t(row)].byTag; }
    // Bytes held for the rows, their names and their paths (with the overhead of each path's
    // allocation).
    [[nodiscard]] qsizetype bytesUsed() const;

    // For the search: how a disc's file is encoded and the bytes of its root's path, which
    // every path of the disc begins with.
    void setDiscText(int disc, bool utf8, const QByteArray &root);
    // A folder path for rows to share, as the file holds it; its number for append().
    quint32 addPath(int disc, QByteArrayView path);
    void append(int disc, qint64 line, quint32 path, QByteArrayView name, bool folder, bool byTag = false);

    // The rows found so far, with their names and the paths they use, into a store of their
    // own (whose discs are empty); the paths stay here too, for later rows of their folders.
    [[nodiscard]] ResultStore takeRows();
    // Rows taken from a search of the same discs, after those already here.
    void appendRows(ResultStore &&rows);
    // Gives back the room kept for more rows, once a search has ended.
    void squeeze();

  private:
    // Ten bytes: the names lie one after the other in row order, so a row keeps only the size of
    // its own; where each run of kNameRun rows' names begins is kept beside them. What a picture
    // or a song is stays in its disc's side file, read when shown (most rows are neither).
    struct __attribute__((packed, aligned(2))) Row {
        quint32 line;
        quint32 path : 30;
        quint32 folder : 1;
        quint32 byTag : 1;
        quint16 nameSize;
    };
    static_assert(sizeof(Row) == 10);
    static constexpr qsizetype kNameRun = 64;
    // Adds a row at the end, with its name.
    void push(const Row &row, QByteArrayView name);
    struct DiscText {
        bool utf8 = false;
        QByteArray root;
    };
    struct DiscStart {
        int disc;
        qsizetype row;
    };
    [[nodiscard]] QString decoded(int disc, QByteArrayView bytes) const;
    [[nodiscard]] QByteArrayView nameBytes(qsizetype row) const;

    std::vector<ResultDisc> m_discs;
    std::vector<DiscText> m_discText;
    std::vector<Row> m_rows;
    std::vector<DiscStart> m_discStarts; // rows come disc by disc
    // The folder paths, each kept as the bytes that follow what it shares with the path before
    // it (folders in tree order share most of their path), in one buffer; every kPathRun-th one
    // whole, so that any is made again from at most that many.
    static constexpr qsizetype kPathRun = 64;
    struct PathPart {
        quint64 at : 40;     // of its own bytes in m_pathBytes
        quint64 shared : 24; // bytes taken from the path before
    };
    [[nodiscard]] qsizetype pathCount() const { return qsizetype(m_pathParts.size()); }
    [[nodiscard]] QByteArray pathBytes(quint32 path) const;
    std::vector<PathPart> m_pathParts;
    QByteArray m_pathBytes;
    QByteArray m_lastPath;
    QByteArray m_names;
    std::vector<quint64> m_nameRuns; // where the names of rows kNameRun × i on begin
};
