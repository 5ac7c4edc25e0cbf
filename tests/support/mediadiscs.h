#pragma once

// Two discs of a data folder for the tests of pictures and songs in the results: "cd_media.dat",
// thousands of rows dated back past the index's untrusted window, with a line the loader passes
// over before its pictures and songs (so that catalogue lines and tree rows differ), and their
// facts in its side file as the scan writes them; "cd_old.dat", saved before such facts were
// kept, with the same kinds of names.

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/mediafacts.h"
#include "catalogue/sidefile.h"
#include "search/resultstore.h"

#include <QFile>
#include <QString>

#include <map>
#include <vector>

namespace mediadiscs {

inline MediaFacts picture(const char *taken, const char *make, const char *model, qint64 w, qint64 h)
{
    MediaFacts facts;
    facts.taken = QString::fromUtf8(taken);
    facts.make = QString::fromUtf8(make);
    facts.model = QString::fromUtf8(model);
    facts.width = w;
    facts.height = h;
    return facts;
}

inline MediaFacts song(const char *artist, const char *album, const char *title, qint64 lengthMs)
{
    MediaFacts facts;
    facts.kind = MediaFacts::Kind::Audio;
    facts.artist = QString::fromUtf8(artist);
    facts.album = QString::fromUtf8(album);
    facts.title = QString::fromUtf8(title);
    facts.lengthMs = lengthMs;
    return facts;
}

// The media disc's files with facts, by name.
inline const std::map<QString, MediaFacts> &mediaFiles()
{
    static const std::map<QString, MediaFacts> files = {
        {QStringLiteral("img_0001.jpg"),
         picture("2004-07-11T15:05:00", "Canon", "Canon EOS 300D", 3072, 2048)},
        {QStringLiteral("img_0002.jpg"),
         picture("2005-01-02T09:00:00", "NIKON CORPORATION", "NIKON D70", 3008, 2000)},
        {QStringLiteral("img_0003.jpg"), picture("2003-12-31T23:59:00", "Canon", "PowerShot A70", 640, 480)},
        {QStringLiteral("track01.mp3"), song("이승환", "천일동안", "세월이 가면", 225000)},
        {QStringLiteral("track02.mp3"), song("Pink Floyd", "The Wall", "Mother", 334000)},
        {QStringLiteral("track03.mp3"), song("Abba", "Arrival", "Dancing Queen", 231000)},
    };
    return files;
}

inline bool backdate(QFile &file)
{
    // Dated back while open (Qt dates open files only), past the index's untrusted window.
    return file.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime);
}

inline void addRow(RecordSet &tree, const QString &path, const QString &name, bool folder, int level)
{
    const qint64 r = tree.InsertRow(0);
    tree.SetItem(r, TreeColumn::fullname, path);
    tree.SetItem(r, TreeColumn::name, name);
    tree.SetItem(r, TreeColumn::bmpname, folder ? QStringLiteral("folder.bmp") : QStringLiteral("line.bmp"));
    tree.SetItem(r, TreeColumn::selectedbmpname,
                 folder ? QStringLiteral("foldopen.bmp") : QStringLiteral("line.bmp"));
    for (int column : {TreeColumn::selected, TreeColumn::open, TreeColumn::children, TreeColumn::siblings})
        tree.SetItem(r, column, qint64(0));
    tree.SetItem(r, TreeColumn::level, qint64(level));
}

// Writes both discs into `folder`; false when a file could not be written.
// The two discs as a results search lists them, in the order it takes them.
inline std::vector<ResultDisc> resultDiscs()
{
    return {{QStringLiteral("cd_media.dat"), QStringLiteral("MEDIA"), {}, QStringLiteral("01")},
            {QStringLiteral("cd_old.dat"), QStringLiteral("OLD"), {}, QStringLiteral("01")}};
}

[[nodiscard]] inline bool writeDiscs(const QString &folder, int fillerRows = 3000)
{
    for (const bool withFacts : {true, false}) {
        RecordSet tree(d_dir_tree());
        addRow(tree, QStringLiteral("E:\\"), QStringLiteral("E:"), true, 1);
        for (int n = 0; n < fillerRows; ++n)
            addRow(tree, QStringLiteral("E:\\docs\\"), QStringLiteral("n%1.txt").arg(n, 5, 10, QChar(u'0')),
                   false, 2);
        addRow(tree, QStringLiteral("E:\\media\\"), QStringLiteral("media"), true, 2);
        for (const auto &[name, facts] : mediaFiles())
            addRow(tree, QStringLiteral("E:\\media\\"), name, false, 3);
        const QString path =
            folder + (withFacts ? QStringLiteral("/cd_media.dat") : QStringLiteral("/cd_old.dat"));
        if (!(writeCatalogue(tree, path).ok))
            return false;
        // A line the loader passes over, before the media rows: lines and rows differ below it.
        QFile file(path);
        if (!(file.open(QIODevice::ReadWrite)))
            return false;
        QByteArray bytes = file.readAll();
        const qsizetype at = bytes.indexOf("E:\\media\\");
        bytes.insert(bytes.lastIndexOf('\n', at) + 1,
                     "E:\\docs\\\tbad.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\tx\r\n");
        if (!(file.resize(0)))
            return false;
        file.write(bytes);
        file.flush();
        if (withFacts) {
            RecordSet loaded(d_dir_tree());
            loadDataFile(loaded, path);
            TreeFacts facts;
            for (qint64 r = 1; r <= loaded.RowCount(); ++r)
                facts.append({100 + r, 1262304000 + r}); // 2010
            RowNotes &notes = facts.notes.of(kMediaNotes);
            for (qint64 r = 1; r <= loaded.RowCount(); ++r) {
                const auto found = mediaFiles().find(loaded.GetItemString(r, TreeColumn::name));
                if (found != mediaFiles().end())
                    notes.set(r, encodeMediaFacts(found->second));
            }
            if (!(SideFiles::write(SideFiles::pathFor(path), loaded, facts).ok))
                return false;
        }
        if (!backdate(file))
            return false;
    }
    return true;
}

} // namespace mediadiscs
