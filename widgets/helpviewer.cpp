#include "widgets/helpviewer.h"

#include "widgets/keyfilter.h"
#include "widgets/messagebox.h"
#include "widgets/placement.h"

#include <QFile>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

int ShowHelp(const QString &helpFile)
{
    if (!QFile::exists(helpFile)) {
        MessageBox(QStringLiteral("오류"), QStringLiteral("도움말 파일을 찾을 수 없습니다.\n\n") + helpFile,
                   MessageIcon::Exclamation);
        return -1;
    }
    // One help window for the whole run, opened again at the top on each request.
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        viewer = new QTextBrowser;
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        // An open help window must not keep the program running once the main window closes.
        viewer->setAttribute(Qt::WA_QuitOnClose, false);
        viewer->setOpenExternalLinks(true);
        viewer->resize(640, 560);
        viewer->setAccessibleName(QStringLiteral("도움말"));
        viewer->setAccessibleDescription(QStringLiteral("프로그램 사용법. Esc 키로 닫습니다."));
        QTextBrowser *window = viewer;
        new KeyFilter(window, [window](int key, Qt::KeyboardModifiers) {
            if (key != Qt::Key_Escape)
                return false;
            window->close();
            return true;
        });
        centreOver(window, dialogOwner());
    }
    // The file is HTML whatever its ending, so it is read as such.
    QFile file(helpFile);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageBox(QStringLiteral("오류"), QStringLiteral("도움말 파일을 읽을 수 없습니다.\n\n") + helpFile,
                   MessageIcon::Exclamation);
        return -1;
    }
    viewer->setHtml(QString::fromUtf8(file.readAll()));
    viewer->setWindowTitle(viewer->documentTitle().isEmpty() ? QStringLiteral("Tarvek 도움말")
                                                             : viewer->documentTitle());
    viewer->moveCursor(QTextCursor::Start);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return 1;
}
