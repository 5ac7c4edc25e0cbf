#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <vector>

// How records go to standard output: TSV (a line of tab-separated values, the default), JSON
// (one object per line, for scripts) or null (only each record's name, ended by a NUL byte, for
// `xargs -0`).
enum class OutputFormat { Tsv, Json, Null };

// One record of output: named values in the order they are shown.
class Record {
  public:
    // The value --null prints: a disc's label, a row's path.
    Record &name(const char *key, const QString &value);
    Record &text(const char *key, const QString &value);
    // A text that may be unknown: an empty cell in TSV, null in JSON.
    Record &text(const char *key, const QString &value, bool known);
    // A number; unknown ones are an empty cell in TSV and null in JSON.
    Record &number(const char *key, qint64 value, bool known = true);
    Record &boolean(const char *key, bool value);

  private:
    friend class Output;
    enum class Kind { Text, Number, Boolean, Unknown };
    struct Field {
        const char *key;
        QString text;
        qint64 number = 0;
        Kind kind = Kind::Text;
    };
    std::vector<Field> m_fields;
    int m_name = -1;
};

class Output {
  public:
    explicit Output(OutputFormat format, std::FILE *stream = stdout);
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    void write(const Record &record);
    // One record for a person to read: in TSV a "name<TAB>value" line per value.
    void writeFields(const Record &record);
    // Writes out what is held; false when the stream took not all of it (a full disc).
    bool flush();
    [[nodiscard]] OutputFormat format() const { return m_format; }

  private:
    void writeTsv(const Record &record);
    void writeJson(const Record &record);

    OutputFormat m_format;
    std::FILE *m_stream;
    QByteArray m_buffer;
    bool m_failed = false;
};

// A value as a TSV cell: tabs, line breaks and other control characters become a space, so that a
// cell never splits a line or a record.
[[nodiscard]] QString tsvCell(const QString &value);
// A JSON string literal, with its quotes.
void appendJsonString(QByteArray &out, const QString &value);
