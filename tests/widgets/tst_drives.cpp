// The drive list follows the discs while the program runs.

#include "support/fakefilesystem.h"
#include "support/programfolder.h"
#include "ui/w_list.h"
#include "widgets/messagebox.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestDrives : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    // The drives listed; the last item is always the one that asks for an image file.
    static QStringList items(w_list &window)
    {
        QStringList texts;
        for (int i = 0; i < window.ddlb_drive->count(); ++i)
            texts << window.ddlb_drive->itemText(i);
        if (texts.isEmpty() || texts.takeLast() != DriveBox::imageItemText())
            texts << QStringLiteral("(no image item at the end)");
        return texts;
    }

  private slots:
    void initTestCase() { useProgramFolder(m_dir.path()); }

    void theListFollowsTheMounts()
    {
        FakeFileSystem fs({}, {"/", "/media/kim/B/"});
        w_list window(fs);
        window.open();
        window.ddlb_drive->setCurrentIndex(1);
        fs.changeDrives({"/", "/media/kim/A/", "/media/kim/B/"});
        QCOMPARE(items(window), QStringList({"/", "/media/kim/A/", "/media/kim/B/"}));
        QCOMPARE(window.ddlb_drive->currentText(), QString("/media/kim/B/")); // still the chosen one
        fs.changeDrives({"/", "/media/kim/A/"});
        QCOMPARE(window.ddlb_drive->currentText(), QString("/")); // gone: the first is chosen

        // Opening the list looks again, whether or not a change was heard of.
        fs.setDrivesQuietly({"/", "/media/kim/A/", "/media/kim/C/"});
        window.ddlb_drive->showPopup();
        window.ddlb_drive->hidePopup();
        QCOMPARE(items(window), QStringList({"/", "/media/kim/A/", "/media/kim/C/"}));
    }

    void theClosedBoxShowsTheEndOfALongPath()
    {
        FakeFileSystem fs({}, {"/", "/media/somebody/a-rather-long-user-name/DISC_01/"});
        w_list window(fs);
        window.open();
        window.ddlb_drive->setCurrentIndex(1);
        // At 251 units only the last characters fit; the whole path is in the tooltip.
        const QString shown = window.ddlb_drive->shownText();
        QVERIFY2(shown.startsWith(u'…') && shown.endsWith("1/") &&
                     window.ddlb_drive->currentText().endsWith(shown.mid(1)),
                 qPrintable(shown));
        QCOMPARE(window.ddlb_drive->toolTip(), window.ddlb_drive->currentText());
        window.ddlb_drive->setCurrentIndex(0);
        QCOMPARE(window.ddlb_drive->shownText(), QString("/"));
    }

    void aDriveThatGoesAwayEndsItsScan()
    {
        QStringList paths;
        for (int i = 0; i < 50; ++i)
            paths << QStringLiteral("/media/kim/B/f%1/file.txt").arg(i);
        FakeFileSystem fs(paths, {"/", "/media/kim/B/"});
        w_list window(fs);
        window.open();
        window.ddlb_drive->setCurrentIndex(1);
        QStringList messages;
        setMessageBoxHook([&](const QString &title, const QString &text) {
            messages << title + '|' + text;
            return 1;
        });
        fs.onListing = [&](int listing) {
            if (listing == 10)
                fs.changeDrives({"/"}); // heard of in the next yield
        };
        window.cb_scan_clicked();
        setMessageBoxHook({});
        QVERIFY2(window.tree().RowCount() < 101, qPrintable(QString::number(window.tree().RowCount())));
        QCOMPARE(messages,
                 QStringList({"오류|스캔하던 드라이브가 없어져서 스캔을 멈췄습니다.\n\n/media/kim/B/"}));
        QCOMPARE(window.cb_scan->text(), QString("스캔"));
        QCOMPARE(window.ddlb_drive->currentText(), QString("/"));
    }
};

QTEST_MAIN(TestDrives)
#include "tst_drives.moc"
