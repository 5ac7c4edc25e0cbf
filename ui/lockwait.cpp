#include "ui/lockwait.h"

#include "widgets/placement.h"
#include "widgets/yield.h"

#include <QPointer>
#include <QProgressDialog>

#include <memory>

namespace {

// A wait this short passes unseen: another copy's change takes milliseconds.
constexpr qint64 kShownAfterMs = 300;

QString waitText(const QString &waitingFor, qint64 waitedMs)
{
    return QStringLiteral("%1\n\n%2초째 기다리고 있습니다.").arg(waitingFor).arg(waitedMs / 1000);
}

QProgressDialog *makeDialog(const QString &text)
{
    QWidget *owner = dialogOwner();
    auto *dialog = new QProgressDialog(owner);
    dialog->setWindowTitle(QStringLiteral("데이터 폴더를 기다립니다"));
    dialog->setCancelButtonText(QStringLiteral("취소"));
    dialog->setRange(0, 0); // no end known: the bar runs to and fro
    dialog->setAutoReset(false);
    dialog->setAutoClose(false);
    dialog->setMinimumDuration(0);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setLabelText(text);
    dialog->adjustSize();
    centreOver(dialog, owner);
    dialog->show();
    return dialog;
}

} // namespace

LockWait shownLockWait()
{
    auto dialog = std::make_shared<QPointer<QProgressDialog>>();
    LockWait wait;
    wait.waiting = [dialog](const QString &waitingFor, qint64 waitedMs) {
        const QString text = waitText(waitingFor, waitedMs);
        if (!*dialog && waitedMs >= kShownAfterMs)
            *dialog = makeDialog(text);
        else if (*dialog && (*dialog)->labelText() != text)
            (*dialog)->setLabelText(text);
        while (Yield()) {
        }
        return *dialog && (*dialog)->wasCanceled();
    };
    wait.over = [dialog] {
        if (*dialog)
            (*dialog)->close();
        *dialog = nullptr;
    };
    return wait;
}
