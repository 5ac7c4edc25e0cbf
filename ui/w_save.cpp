// The save dialog's opening and its Save and Cancel commands.

#include "ui/w_save.h"

#include "catalogue/entries.h"
#include "catalogue/entrytexts.h"
#include "catalogue/layouts.h"
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

w_save *w_save::openModify(QWidget *parent, const CatalogueEntry &entry)
{
    w_save *dialog = OpenWithParm(parent, QString());
    dialog->showEntry(entry.desc, entry.name, entry.gubn);
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
    const QString desc = f_get_token(ls_parm, QStringLiteral("^"));
    const QString label = f_get_token(ls_parm, QStringLiteral("^"));
    showEntry(desc, label, f_get_token(ls_parm, QStringLiteral("^")));
}

void w_save::showEntry(const QString &desc, const QString &label, const QString &gubn)
{
    is_memo_org = desc;
    sle_memo->setText(desc);
    is_label_org = label;
    sle_label->setText(label);
    // "01" to "04" choose their items; anything else leaves the category empty.
    const int position = gubn.toInt();
    ddlb_gubn->setCurrentIndex(position >= 1 && position <= ddlb_gubn->count() ? position - 1 : -1);
    cb_save->setText(kModifyCaption);
    setWindowTitle(kModifyCaption);
}

void w_save::offerSavedEntry()
{
    w_list *main = w_list::instance();
    if (!main || cb_save->text() != kNewCaption)
        return;
    const bool untouched = m_offered || (sle_memo->text().isEmpty() && ddlb_gubn->currentIndex() < 0);
    if (!untouched)
        return;
    const RecordSet &index = main->index();
    const qint64 row = CatalogueEntries::findLabel(index, CatalogueEntries::trimmedLabel(sle_label->text()));
    if (row > 0) {
        sle_memo->setText(index.GetItemString(row, IndexColumn::desc));
        const int position = index.GetItemString(row, IndexColumn::gubn).toInt();
        ddlb_gubn->setCurrentIndex(position >= 1 && position <= ddlb_gubn->count() ? position - 1 : -1);
        m_offered = true;
    } else if (m_offered) {
        sle_memo->clear();
        ddlb_gubn->setCurrentIndex(-1);
        m_offered = false;
    }
}

void w_save::cb_save_clicked()
{
    // Spaces around a label would make a second disc that looks like the first in the list.
    const QString ls_label = CatalogueEntries::trimmedLabel(sle_label->text());
    const QString ls_memo = sle_memo->text();
    const QString ls_gubn = ddlb_gubn->currentText();
    const bool isNew = cb_save->text() == kNewCaption;
    const CatalogueEntry before{{}, is_memo_org, is_label_org, {}};
    const QString problem = CatalogueEntries::fieldsProblem(ls_label, ls_memo, isNew ? nullptr : &before);
    if (!problem.isEmpty()) {
        // A missing label is asked for as it always was; one that cannot be saved is warned of.
        MessageBox(QStringLiteral("오류"), problem,
                   ls_label.isEmpty() ? MessageIcon::Information : MessageIcon::Exclamation);
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
            const FileResult changed = main->changeEntry(is_label_org, entry);
            if (!changed.ok) {
                if (!changed.cancelled) // a wait the user stopped needs no message
                    MessageBox(QStringLiteral("오류"), changed.error, MessageIcon::StopSign);
                return;
            }
        }
    }
    close();
}

bool w_save::saveNew(w_list &main, const CatalogueEntry &entry)
{
    main.catchUpWithIndex();
    CatalogueEntries &entries = main.entries();
    const qint64 existing = entries.discUsingLabel(entry.name);
    FileResult saved;
    // A file no entry names (left by a crash) is replaced only when the user says so, as a disc is.
    if (existing > 0 || entries.fileWithoutEntry(entry.name)) {
        if (MessageBox(QStringLiteral("확인"), EntryTexts::replaceQuestion(entry.name), MessageIcon::Question,
                       MessageButtons::YesNo, 2) != 1)
            return false;
        saved = entries.replace(main.tree(), entry, existing, &main.treeFacts());
    } else {
        saved = entries.add(main.tree(), entry, &main.treeFacts());
    }
    if (!saved.ok) {
        if (!saved.cancelled)
            MessageBox(QStringLiteral("오류"), saved.error, MessageIcon::StopSign);
        return false;
    }
    main.cb_save->setEnabled(false);
    main.treeSaved(entry.name);
    return true;
}

void w_save::offerLabel(const QString &label)
{
    // Selected, so that typing replaces it.
    sle_label->setText(label);
    sle_label->selectAll();
}

void w_save::cb_cancel_clicked()
{
    close();
}

void w_save::keyPressEvent(QKeyEvent *event)
{
    // Escape cancels, as Cancel does.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        cb_cancel_clicked();
        return;
    }
    QDialog::keyPressEvent(event);
}
