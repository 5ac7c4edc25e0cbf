#include "cli/records.h"

#include "catalogue/csv.h"
#include "catalogue/sidefacts.h"

Record discRecord(const CatalogueEntry &entry)
{
    Record record;
    record.name("label", entry.name).text("category", entry.gubn).text("description", entry.desc);
    record.text("file", entry.file);
    return record;
}

Record rowRecord(const QString &label, const TreeRow &row, const RowFacts &facts)
{
    Record record;
    record.text("label", label);
    record.name("path", row.folder ? row.folderPath : row.folderPath + row.name);
    record.text("folder", row.folderPath).text("name", row.name);
    record.text("type", row.folder ? QStringLiteral("folder") : QStringLiteral("file"));
    record.number("size", facts.size, facts.size >= 0);
    record.text("modified", csvDate(facts.modified), facts.modified.isValid());
    record.number("row", row.line);
    return record;
}
