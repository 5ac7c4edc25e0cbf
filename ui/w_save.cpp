// The save dialog's opening and its Save and Cancel commands.

#include "ui/w_save.h"

#include "catalogue/entries.h"
#include "catalogue/utils.h"
#include "ui/w_list.h"
#include "widgets/messagebox.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

const QString kNewCaption = QStringLiteral("저장");
const QString kModifyCaption = QStringLiteral("변경");

QPointer<w_save> &openDialog()
{
    static QPointer<w_save> dialog;
    return dialog;
}

// Leading and trailing spaces off, as the label test has always trimmed: spaces only.
QString trimSpaces(const QString &text)
{
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

} // namespace

w_save *w_save::OpenWithParm(QWidget *parent, const QString &parm)
{
    auto *dialog = new w_save(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Nothing else of the program takes input while the dialog is open: no scan, no second dialog.
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->openWith(parm);
    dialog->show();
    openDialog() = dialog;
    return dialog;
}

w_save *w_save::current()
{
    return openDialog();
}

w_save::w_save(QWidget *parent) : QDialog(parent)
{
    createControls();
    layoutControls();
    connectHandlers();
}

void w_save::openWith(QString ls_parm)
{
    ddlb_gubn->clear();
    for (const QString &item : {QStringLiteral("01.프로그램"), QStringLiteral("02.데이타"),
                                QStringLiteral("03.음악"), QStringLiteral("04.사진")})
        ddlb_gubn->addItem(item);
    ddlb_gubn->setCurrentIndex(-1);
    if (ls_parm.isEmpty()) {
        is_label_org.clear();
        return;
    }
    f_get_token(ls_parm, QStringLiteral("^")); // the file name follows from the label on Save
    sle_memo->setText(f_get_token(ls_parm, QStringLiteral("^")));
    is_label_org = f_get_token(ls_parm, QStringLiteral("^"));
    sle_label->setText(is_label_org);
    // "01" to "04" choose their items; anything else leaves the category empty.
    const int position = f_get_token(ls_parm, QStringLiteral("^")).toInt();
    ddlb_gubn->setCurrentIndex(position >= 1 && position <= ddlb_gubn->count() ? position - 1 : -1);
    cb_save->setText(kModifyCaption);
    setWindowTitle(kModifyCaption);
}

void w_save::cb_save_clicked()
{
    if (trimSpaces(sle_label->text()).isEmpty()) {
        MessageBox(QStringLiteral("오류"), QStringLiteral("CD 라벨을 입력하여 주세요"));
        return;
    }
    const QString ls_label = sle_label->text();
    const QString ls_memo = sle_memo->text();
    const QString ls_gubn = ddlb_gubn->currentText();
    const QString problem = CatalogueEntries::labelProblem(ls_label, ls_memo);
    if (!problem.isEmpty()) {
        MessageBox(QStringLiteral("오류"), problem, MessageIcon::Exclamation);
        return;
    }
    w_list *main = w_list::instance();
    if (main) {
        const CatalogueEntry entry{CatalogueEntries::fileForLabel(ls_label), ls_memo, ls_label,
                                   ls_gubn.left(2)};
        if (cb_save->text() == kNewCaption) {
            if (!saveNew(*main, entry))
                return;
        } else {
            const FileResult changed = main->entries().change(is_label_org, entry);
            if (!changed.ok) {
                MessageBox(QStringLiteral("오류"), changed.error, MessageIcon::StopSign);
                return;
            }
        }
    }
    close();
}

bool w_save::saveNew(w_list &main, const CatalogueEntry &entry)
{
    CatalogueEntries &entries = main.entries();
    const qint64 existing = entries.discUsingLabel(entry.name);
    FileResult saved;
    if (existing > 0) {
        const QString question = QStringLiteral("'%1' 라벨로 저장된 디스크가 이미 있습니다.\n"
                                                "그 디스크를 지금 스캔한 내용으로 바꾸시겠습니까?")
                                     .arg(entry.name);
        if (MessageBox(QStringLiteral("확인"), question, MessageIcon::Question, MessageButtons::YesNo, 2) !=
            1)
            return false;
        saved = entries.replace(main.tree(), entry, existing);
    } else {
        saved = entries.add(main.tree(), entry);
    }
    if (!saved.ok) {
        MessageBox(QStringLiteral("오류"), saved.error, MessageIcon::StopSign);
        return false;
    }
    main.cb_save->setEnabled(false);
    main.setTreeTitle(entry.name);
    return true;
}

void w_save::cb_cancel_clicked()
{
    close();
}

void w_save::keyPressEvent(QKeyEvent *event)
{
    // Escape has no binding here: only Cancel and the close box close the dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
