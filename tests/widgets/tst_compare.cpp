// The comparisons as a user meets them: a stick's disc scanned again after files were added,
// removed and changed, its changes listed and saved in place; the save dialog bringing a saved
// label's fields along; two discs' shared files as duplicates; a folder checked.

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "support/messagelog.h"
#include "support/programfolder.h"
#include "support/rootedfilesystem.h"
#include "ui/w_list.h"
#include "ui/w_rowlist.h"
#include "ui/w_save.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

class TestCompare : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    MessageLog m_log;

    QString stick() const { return m_dir.path() + "/STICK"; }
    void put(const QString &name, const QByteArray &bytes, qint64 mtime = 1700000000)
    {
        const QString path = stick() + '/' + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
    }
    static QStringList rowsOf(w_rowlist &list, int columns)
    {
        QStringList rows;
        for (int row = 0; row < list.model().rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < columns; ++column)
                cells << list.model().cell(row, column);
            rows << cells.join('|');
        }
        return rows;
    }
    void saveScan(w_list &window, const QString &label, const QString &desc, const QString &gubn)
    {
        window.cb_scan_clicked();
        QVERIFY(window.entries()
                    .add(window.tree(), {"cd_" + label + ".dat", desc, label, gubn}, &window.treeFacts())
                    .ok);
    }
    void highlight(w_list &window, const QString &label)
    {
        window.list().SelectRow(0, false);
        window.list().SelectRow(CatalogueEntries::findLabel(window.list(), label), true);
    }

  private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path() + "/data");
        useProgramFolder(m_dir.path());
        put("keep.txt", "kept");
        put("remove.txt", "to go");
        put("grow.txt", "small");
        put("photos/touch.jpg", "same bytes");
    }

    void rescanListsTheChangesAndSavesInPlace()
    {
        RootedFileSystem fs(stick() + '/');
        w_list window(fs);
        window.open();
        saveScan(window, "STICK", "사진 백업", "04");
        QFile::remove(stick() + "/remove.txt");
        put("added.txt", "new");
        put("grow.txt", "grown bigger");
        put("photos/touch.jpg", "same bytes", 1700009999);
        highlight(window, "STICK");
        QStringList offered;
        window.chooseRescanDrive = [&](const QStringList &drives) {
            offered = drives;
            return drives.first();
        };
        QTest::keyClick(window.dw_list, Qt::Key_R, Qt::ControlModifier); // as the menu's 다시 스캔
        QCOMPARE(offered.first(), stick() + '/');
        auto *changes = window.findChild<w_rowlist *>("w_changes");
        QVERIFY(changes && changes->isVisible());
        QVERIFY2(changes->heading()->text().contains("추가 1, 삭제 1, 변경 2"),
                 qPrintable(changes->heading()->text()));
        QCOMPARE(rowsOf(*changes, 2), QStringList({"추가|added.txt", "변경|grow.txt", "변경|photos/touch.jpg",
                                                   "삭제|remove.txt"}));
        QCOMPARE(changes->model().cell(1, 6), QString("크기"));
        QCOMPARE(changes->model().cell(2, 6), QString("날짜"));
        QVERIFY(changes->saveButton()->isVisible());
        changes->saveButton()->click();
        QVERIFY(!changes->saveButton()->isEnabled());

        // The disc keeps its label, description and category; its file and side file hold the new tree.
        QCOMPARE(window.index().RowCount(), qint64(1));
        QCOMPARE(window.index().GetItemString(1, IndexColumn::desc), QString("사진 백업"));
        QCOMPARE(window.index().GetItemString(1, IndexColumn::gubn), QString("04"));
        RecordSet saved(d_dir_tree());
        loadDataFile(saved, m_dir.path() + "/data/cd_STICK.dat");
        TreeFacts facts;
        QVERIFY(SideFiles::read(SideFiles::pathFor(m_dir.path() + "/data/cd_STICK.dat"), saved, facts));
        QStringList names;
        for (qint64 row = 1; row <= saved.RowCount(); ++row)
            names << saved.GetItemString(row, TreeColumn::name) + ':' + QString::number(facts.at(row).size);
        QCOMPARE(names.mid(1),
                 QStringList({"photos:10", "touch.jpg:10", "added.txt:3", "grow.txt:12", "keep.txt:4"}));

        // Scanned again without a change, nothing is listed.
        window.ue_rescan();
        QVERIFY2(changes->heading()->text().contains("추가 0, 삭제 0, 변경 0"),
                 qPrintable(changes->heading()->text()));
        QCOMPARE(changes->model().rowCount(), 0);
    }

    void saveDialogBringsASavedLabelsFields()
    {
        RootedFileSystem fs(stick() + '/');
        w_list window(fs);
        window.open();
        saveScan(window, "STICK", "사진 백업", "04");
        w_save *dialog = w_save::openNew(&window);
        dialog->sle_label->setText("stick"); // the case a FAT stick ignores
        QCOMPARE(dialog->sle_memo->text(), QString("사진 백업"));
        QCOMPARE(dialog->ddlb_gubn->currentText(), QString("04.사진"));
        dialog->sle_label->setText("OTHER");
        QCOMPARE(dialog->sle_memo->text(), QString());
        QCOMPARE(dialog->ddlb_gubn->currentIndex(), -1);
        QTest::keyClicks(dialog->sle_memo, "mine");
        dialog->sle_label->setText("STICK");
        QCOMPARE(dialog->sle_memo->text(), QString("mine")); // what the user typed stays
        dialog->close();
    }

    void sharedFilesAreDuplicatesAndAFolderIsChecked()
    {
        RootedFileSystem fs(stick() + '/');
        w_list window(fs);
        window.open();
        put("big.bin", QByteArray(3 << 20, 'x'));
        put("photos/big copy.bin", QByteArray(2 << 20, 'y'));
        saveScan(window, "ONE", "", "02");
        put("photos/elsewhere/big.bin", QByteArray(3 << 20, 'x'));
        saveScan(window, "TWO", "", "02");
        window.ue_duplicates();
        auto *duplicates = window.findChild<w_rowlist *>("w_duplicates");
        QVERIFY(duplicates && duplicates->isVisible());
        // big.bin stands on both discs twice over (the stick held it in two folders the second
        // time); "big copy.bin" is on both once; files under the minimum are not listed.
        QCOMPARE(rowsOf(*duplicates, 4),
                 QStringList(
                     {"묶음 1|디스크 2개에 3개||big.bin", QString("묶음 1|ONE|%1/|big.bin").arg(stick()),
                      QString("묶음 1|TWO|%1/photos/elsewhere/|big.bin").arg(stick()),
                      QString("묶음 1|TWO|%1/|big.bin").arg(stick()), "묶음 2|디스크 2개에 2개||big copy.bin",
                      QString("묶음 2|ONE|%1/photos/|big copy.bin").arg(stick()),
                      QString("묶음 2|TWO|%1/photos/|big copy.bin").arg(stick())}));
        duplicates->findChild<QSpinBox *>("minimum")->setValue(3);
        duplicates->findChild<QPushButton *>("find")->click();
        QCOMPARE(duplicates->model().rowCount(), 4);
        emit duplicates->view()->activated(duplicates->model().index(2, 0)); // opens TWO at that row
        QCOMPARE(window.treeTitle(), QString("TWO"));
        qint64 shown = 1;
        while (shown < window.tree().RowCount() && !window.tree().IsSelected(shown))
            ++shown;
        QCOMPARE(window.tree().GetItemString(shown, TreeColumn::fullname) +
                     window.tree().GetItemString(shown, TreeColumn::name),
                 stick() + "/photos/elsewhere/big.bin");

        // A folder with some files of the discs and one new.
        put("new.txt", "on no disc");
        window.chooseFolder = [this] { return stick(); };
        window.ue_folder_check();
        auto *checked = window.findChild<w_rowlist *>("w_foldercheck");
        QVERIFY(checked && checked->isVisible());
        QVERIFY2(checked->heading()->text().contains("일부"), qPrintable(checked->heading()->text()));
        QCOMPARE(checked->model().cell(0, 0) + '|' + checked->model().cell(0, 1), QString("없음|new.txt"));
        QCOMPARE(checked->model().cell(1, 0), QString("있음"));
    }
};

QTEST_MAIN(TestCompare)
#include "tst_compare.moc"
