#include "cli/session.h"

#include "catalogue/datafiles.h"
#include "catalogue/entrysteps.h"
#include "catalogue/entrytexts.h"
#include "catalogue/layouts.h"
#include "cli/arguments.h"
#include "cli/exitstatus.h"
#include "cli/terminal.h"
#include "compare/filekeys.h"
#include "search/searchindex.h"

#include <QDir>
#include <QFileInfo>

Session::Session(const Arguments &arguments, Output &output, QString dataFolder, bool perUserFolder)
    : args(arguments), out(output), m_dataFolder(std::move(dataFolder)), m_perUserFolder(perUserFolder),
      m_index(d_cdinfo()), m_list(d_cdinfo()),
      m_entries(m_index, m_list, m_dataFolder, QString::fromUtf16(kIndexFileName))
{
    SearchIndex::follow(m_entries);
    followFileKeys(m_entries);
}

bool Session::interactive() const
{
    return args.has(QStringLiteral("interactive"));
}

bool Session::readIndex()
{
    m_index.Reset();
    m_entries.loadIndex();
    const QString problem = m_entries.indexProblem();
    if (problem.isEmpty())
        return true;
    tellUser(problem);
    return false;
}

bool Session::prepareChange()
{
    if (m_perUserFolder)
        QDir().mkpath(QFileInfo(m_dataFolder).absolutePath());
    m_entries.removeStaleFiles();
    return readIndex();
}

void Session::listEverything()
{
    m_list.Reset();
    if (m_index.RowCount() > 0)
        m_index.RowsCopy(1, m_index.RowCount(), m_list, 1);
}

qint64 Session::discRow(const QString &label) const
{
    const qint64 row = CatalogueEntries::findLabel(m_index, label);
    if (row == 0)
        tellUser(EntryTexts::noSuchLabel(label));
    return row;
}

CatalogueEntry Session::entryAt(qint64 indexRow) const
{
    return ::entryAt(m_index, indexRow);
}

int failedChange(const FileResult &result)
{
    tellUser(result.error);
    return result.refused ? kExitRefused : kExitDataProblem;
}

QString absolutePath(const QString &path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}
