#include "cli/output.h"

namespace {
constexpr qsizetype kFlushAt = 1 << 16;

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0);
}
} // namespace

Record &Record::name(const char *key, const QString &value)
{
    m_name = int(m_fields.size());
    return text(key, value);
}

Record &Record::text(const char *key, const QString &value)
{
    m_fields.push_back({key, value, 0, Kind::Text});
    return *this;
}

Record &Record::text(const char *key, const QString &value, bool known)
{
    m_fields.push_back({key, value, 0, known ? Kind::Text : Kind::Unknown});
    return *this;
}

Record &Record::number(const char *key, qint64 value, bool known)
{
    m_fields.push_back({key, {}, value, known ? Kind::Number : Kind::Unknown});
    return *this;
}

Record &Record::boolean(const char *key, bool value)
{
    m_fields.push_back({key, {}, value ? 1 : 0, Kind::Boolean});
    return *this;
}

QString tsvCell(const QString &value)
{
    QString cell = value;
    for (QChar &c : cell) {
        if (isControl(c.unicode()))
            c = u' ';
    }
    return cell;
}

void appendJsonString(QByteArray &out, const QString &value)
{
    out += '"';
    const QByteArray utf8 = value.toUtf8();
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

Output::Output(OutputFormat format, std::FILE *stream) : m_format(format), m_stream(stream)
{
}

Output::~Output()
{
    flush();
}

void Output::write(const Record &record)
{
    if (m_format == OutputFormat::Json)
        writeJson(record);
    else if (m_format == OutputFormat::Null) {
        if (record.m_name >= 0)
            m_buffer += record.m_fields[size_t(record.m_name)].text.toUtf8();
        m_buffer += '\0';
    } else
        writeTsv(record);
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void Output::writeFields(const Record &record)
{
    if (m_format != OutputFormat::Tsv) {
        write(record);
        return;
    }
    for (const Record::Field &field : record.m_fields) {
        Record line;
        line.m_fields = {{"key", QString::fromLatin1(field.key)}, field};
        writeTsv(line);
    }
}

void Output::writeTsv(const Record &record)
{
    bool first = true;
    for (const Record::Field &field : record.m_fields) {
        if (!first)
            m_buffer += '\t';
        first = false;
        if (field.kind == Record::Kind::Text)
            m_buffer += tsvCell(field.text).toUtf8();
        else if (field.kind == Record::Kind::Number || field.kind == Record::Kind::Boolean)
            m_buffer += QByteArray::number(field.number);
    }
    m_buffer += '\n';
}

void Output::writeJson(const Record &record)
{
    m_buffer += '{';
    bool first = true;
    for (const Record::Field &field : record.m_fields) {
        if (!first)
            m_buffer += ',';
        first = false;
        appendJsonString(m_buffer, QString::fromLatin1(field.key));
        m_buffer += ':';
        switch (field.kind) {
        case Record::Kind::Text:
            appendJsonString(m_buffer, field.text);
            break;
        case Record::Kind::Number:
            m_buffer += QByteArray::number(field.number);
            break;
        case Record::Kind::Boolean:
            m_buffer += field.number ? "true" : "false";
            break;
        case Record::Kind::Unknown:
            m_buffer += "null";
            break;
        }
    }
    m_buffer += "}\n";
}

bool Output::flush()
{
    if (!m_buffer.isEmpty()) {
        if (std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), m_stream) !=
            size_t(m_buffer.size()))
            m_failed = true;
        m_buffer.clear();
    }
    if (std::fflush(m_stream) != 0)
        m_failed = true;
    return !m_failed;
}
