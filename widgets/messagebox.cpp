#include "widgets/messagebox.h"

#include "widgets/placement.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {
MessageBoxHook &hook()
{
    static MessageBoxHook instance;
    return instance;
}

QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::StopSign:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void setMessageBoxHook(MessageBoxHook newHook)
{
    hook() = std::move(newHook);
}

int MessageBox(const QString &title, const QString &text, MessageIcon icon, MessageButtons buttons,
               int defaultButton)
{
    if (hook())
        return hook()(title, text);
    QMessageBox box(qtIcon(icon), title, text, QMessageBox::NoButton, dialogOwner());
    if (buttons == MessageButtons::Ok) {
        box.addButton(QStringLiteral("확인"), QMessageBox::AcceptRole);
        box.exec();
        return 1;
    }
    QPushButton *yes = box.addButton(QStringLiteral("예"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("아니요"), QMessageBox::NoRole);
    box.setDefaultButton(defaultButton == 2 ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? 1 : 2;
}
