// Images and archives in the window: an image file chosen through "이미지 파일…" scans as a disc
// and offers its label; the check box for compressed tar files is remembered in the data folder's
// own folder; archive rows draw their own picture and members say they lie inside an archive.

#include "catalogue/archivenote.h"
#include "catalogue/layouts.h"
#include "support/archives.h"
#include "support/messagelog.h"
#include "support/programfolder.h"
#include "support/rootedfilesystem.h"
#include "treeview/treepresenter.h"
#include "ui/w_list.h"
#include "ui/w_results.h"
#include "ui/w_save.h"
#include "widgets/elidedlabel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestArchives : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    MessageLog m_log;

    [[nodiscard]] QString disc() const { return m_dir.path() + QStringLiteral("/disc/"); }
    static qint64 rowNamed(const RecordSet &tree, const QString &name)
    {
        for (qint64 row = 1; row <= tree.RowCount(); ++row) {
            if (tree.GetItemString(row, TreeColumn::name) == name)
                return row;
        }
        return 0;
    }
    static void chooseLast(DriveBox &box)
    {
        box.setCurrentIndex(box.count() - 1);
        emit box.activated(box.count() - 1);
    }

  private slots:
    void initTestCase()
    {
        useProgramFolder(m_dir.path());
        QVERIFY(archives::make(QStringLiteral("zip-cp949"), disc() + QStringLiteral("photos.zip"),
                               {QStringLiteral("여행/바다.jpg=sea"), QStringLiteral("보고서.hwp=report")}));
        archives::write(disc() + QStringLiteral("docs/a.txt"), "a");
    }

    void anImageChosenInTheDriveBoxIsScannedWithoutMounting()
    {
        if (!archives::have(QStringLiteral("genisoimage")))
            QSKIP("genisoimage is not installed");
        const QString image = m_dir.path() + QStringLiteral("/travel.iso");
        QVERIFY(archives::run(QStringLiteral("genisoimage"),
                              {"-quiet", "-J", "-R", "-V", "TRAVEL_2004", "-o", image, disc()}));
        RootedFileSystem fs(QStringLiteral("/"));
        w_list window(fs);
        window.open();
        QStringList asked;
        window.chooseImageFile = [&] {
            asked << QStringLiteral("asked");
            return asked.size() == 1 ? image : QString();
        };
        DriveBox &box = *window.ddlb_drive;
        chooseLast(box);
        QCOMPARE(box.currentText(), image);
        QVERIFY(box.imageChosen());
        QCOMPARE(box.itemText(box.count() - 1), DriveBox::imageItemText());
        const int listings = fs.listings;
        window.cb_scan_clicked();
        QCOMPARE(fs.listings, listings); // nothing mounted, no folder of this machine listed
        const RecordSet &tree = window.tree();
        QCOMPARE(tree.GetItemString(1, TreeColumn::name), QStringLiteral("TRAVEL_2004"));
        QCOMPARE(tree.GetItemString(1, TreeColumn::fullname), image + u'/');
        QVERIFY(rowNamed(tree, QStringLiteral("바다.jpg")) > 0);
        QCOMPARE(window.treeFacts().disc.fileSystemType, QStringLiteral("iso9660"));
        QVERIFY(window.cb_save->isEnabled());
        window.cb_save_clicked();
        QVERIFY(w_save::current());
        QCOMPARE(w_save::current()->sle_label->text(), QStringLiteral("TRAVEL_2004"));
        w_save::current()->close();
        QCoreApplication::processEvents();

        // Asked again and cancelled: the image stays chosen.
        chooseLast(box);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(box.currentText(), image);
        // The drives come and go; the image stays in the list.
        box.setRoots({QStringLiteral("/"), QStringLiteral("/media/x/")});
        QCOMPARE(box.currentText(), image);
        QCOMPARE(box.count(), 4);
    }

    void theOptionIsRememberedInTheDataFolder()
    {
        archives::write(m_dir.path() + QStringLiteral("/log/log.txt"), "log");
        if (!archives::bsdtar(disc() + QStringLiteral("logs.tar.gz"), m_dir.path() + QStringLiteral("/log"),
                              {QStringLiteral("log.txt")}, {QStringLiteral("-z")}))
            QSKIP("bsdtar (libarchive-tools) is not installed");
        RootedFileSystem fs(disc());
        {
            w_list window(fs);
            window.open();
            QVERIFY(!window.act_archives->isChecked());
            QVERIFY(window.act_media->isChecked()); // on until turned off
            window.cb_scan_clicked();
            QCOMPARE(window.tree().GetItemString(rowNamed(window.tree(), QStringLiteral("logs.tar.gz")),
                                                 TreeColumn::bmpname),
                     QStringLiteral("line.bmp"));
            // Each option is kept as another is toggled.
            window.act_hashes->setChecked(true);
            window.act_media->setChecked(false);
            window.act_archives->setChecked(true);
        }
        QFile options(m_dir.path() + QStringLiteral("/data/.tarvek/options"));
        QVERIFY(options.open(QIODevice::ReadOnly));
        const QByteArray remembered = options.readAll();
        QVERIFY(remembered.contains("streamed-archives\t1"));
        QVERIFY(remembered.contains("content-hashes\t1"));
        QVERIFY(remembered.contains("media-facts\t0"));
        w_list again(fs);
        again.open();
        QVERIFY(again.act_archives->isChecked());
        QVERIFY(again.act_hashes->isChecked());
        QVERIFY(!again.act_media->isChecked());
        again.act_hashes->setChecked(false);
        again.act_media->setChecked(true);
        again.cb_scan_clicked();
        const qint64 row = rowNamed(again.tree(), QStringLiteral("logs.tar.gz"));
        QCOMPARE(again.tree().GetItemString(row, TreeColumn::bmpname), QStringLiteral("folder.bmp"));
        QCOMPARE(again.tree().GetItemString(row + 1, TreeColumn::name), QStringLiteral("log.txt"));
        again.act_archives->setChecked(false);
        QFile::remove(disc() + QStringLiteral("logs.tar.gz"));
    }

    void archivesDrawTheirPictureAndMembersSayWhereTheyLie()
    {
        RootedFileSystem fs(disc());
        w_list window(fs);
        window.open();
        window.show();
        window.cb_scan_clicked();
        const RecordSet &tree = window.tree();
        const qint64 zip = rowNamed(tree, QStringLiteral("photos.zip"));
        const qint64 member = rowNamed(tree, QStringLiteral("보고서.hwp"));
        const qint64 folder = rowNamed(tree, QStringLiteral("docs"));
        QVERIFY(zip > 0 && member > zip && folder > 0);
        QCOMPARE(tree.GetItemString(zip, TreeColumn::bmpname), QStringLiteral("folder.bmp"));
        const auto picture = [&](qint64 row) {
            for (const TreePresenter::Item &item :
                 static_cast<const TreePresenter *>(window.dw_1->presenter())->itemsOf(tree, row, {})) {
                if (item.object == QStringLiteral("pict"))
                    return item.picture;
            }
            return QString();
        };
        QCOMPARE(picture(zip), QStringLiteral("archive.bmp"));
        QCOMPARE(picture(folder), QStringLiteral("folder.bmp"));
        window.showRowFacts(member);
        QVERIFY2(window.st_facts->fullText().contains(QStringLiteral(" — 압축 파일 안 · ")),
                 qPrintable(window.st_facts->fullText()));
        window.showRowFacts(zip);
        QVERIFY2(window.st_facts->fullText().contains(QStringLiteral("압축 파일 zip")),
                 qPrintable(window.st_facts->fullText()));

        // Saved, the member is found like any row, and the results window says where it lies.
        window.cb_save_clicked();
        w_save *dialog = w_save::current();
        QVERIFY(dialog);
        dialog->sle_label->setText(QStringLiteral("ZIPDISC"));
        dialog->cb_save_clicked();
        QCoreApplication::processEvents();
        window.sle_search->setText(QStringLiteral("보고서"));
        QTest::keyClick(window.sle_search, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents();
        w_results *results = window.findChild<w_results *>();
        QVERIFY(results);
        QTRY_COMPARE(results->model().rowCount(), 1);
        QCOMPARE(results->model().index(0, ResultsModel::Name).data().toString(),
                 QStringLiteral("보고서.hwp"));
        const QString path = results->model().index(0, ResultsModel::Path).data().toString();
        QVERIFY2(path.endsWith(QStringLiteral("photos.zip/  (압축 파일 안)")), qPrintable(path));
    }
};

QTEST_MAIN(TestArchives)
#include "tst_archives.moc"
