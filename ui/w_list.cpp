#include "ui/w_list.h"

#include "compare/filekeys.h"

#include "catalogue/datafiles.h"
#include "catalogue/datafolder.h"
#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "search/searchindex.h"
#include "treeview/treepresenter.h"
#include "ui/accessiblenames.h"
#include "ui/disctotals.h"
#include "ui/help.h"
#include "ui/indexpresenter.h"
#include "ui/lockwait.h"
#include "widgets/keyfilter.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

namespace {
QPointer<w_list> &globalReference()
{
    static QPointer<w_list> reference;
    return reference;
}
} // namespace

w_list::w_list(FileSystem &fs, QWidget *parent)
    : QWidget(parent), m_fs(fs), m_tree(d_dir_tree()), m_index(d_cdinfo()), m_list(d_cdinfo()),
      m_entries(m_index, m_list, dataFolderPath(), gs_list_file),
      m_indexPresenter(std::make_unique<IndexPresenter>()), m_treePresenter(std::make_unique<TreePresenter>())
{
    globalReference() = this;
    createControls();
    layoutControls();
    setTabOrders();
    connectHandlers();
    createFactsArea();
    createScanOptions();
    createArchiveControls();
    describeControls(*this);
}

w_list::~w_list() = default;

w_list *w_list::instance()
{
    return globalReference();
}

void w_list::open()
{
    showFindBox(false);

    // The drives, from a listing of drives only; the listing reports the current folder.
    QString currentFolder;
    refreshDrives(&currentFolder);
    st_curr_path->setText(currentFolder);
    // Discs come and go while the program runs: the list follows them.
    m_fs.watchDrives([this] { refreshDrives(); });
    ddlb_drive->aboutToOpen = [this] { refreshDrives(); };

    // Line by line until the first line that reads as empty; a missing file is an empty index.
    SearchIndex::follow(m_entries);
    followFileKeys(m_entries);
    m_entries.lockWait = shownLockWait();
    m_entries.removeStaleFiles();
    m_entries.loadIndex();
    const QString problem = m_entries.indexProblem();
    if (!problem.isEmpty())
        MessageBox(QStringLiteral("오류"), problem, MessageIcon::StopSign);
    watchIndex();
    sle_search->setFocus();
}

long w_list::wf_button(bool ab_enable)
{
    cb_close->setEnabled(ab_enable);
    cb_expand->setEnabled(ab_enable);
    cb_save->setEnabled(ab_enable);
    cb_restore->setEnabled(ab_enable);
    cb_print->setEnabled(ab_enable);
    return 1;
}

void w_list::refreshDrives(QString *currentFolder)
{
    // A list of its own: the hidden list box may be in use by a search that is yielding.
    ListBoxModel drives(m_fs);
    drives.DirList(QStringLiteral("*.*"), DirListDrives | DirListExclusive, currentFolder);
    QStringList roots;
    for (int i = 1; i <= drives.TotalItems(); ++i)
        roots << driveRootFromListing(drives.Text(i));
    ddlb_drive->setRoots(roots);
    if (!m_scanRoot.isEmpty() && !roots.contains(m_scanRoot)) {
        m_scanDriveLost = true;
        ib_cancel = true;
    }
}

void w_list::ddlb_drive_keydown(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_F1)
        gf_help(QString());
}

w_list::LongOperation::LongOperation(w_list &window) : m_window(window)
{
    ++m_window.m_busy;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (QPushButton *button :
         {m_window.cb_close, m_window.cb_expand, m_window.cb_save, m_window.cb_restore, m_window.cb_print})
        m_enabled.emplace_back(button, button->isEnabled());
    m_window.wf_button(false);
    m_window.cb_scan->setText(QStringLiteral("취소"));
    m_window.ib_cancel = false;
    m_window.showRowFacts();
}

w_list::LongOperation::~LongOperation()
{
    // A scan or a load that put a tree in offers Save and Print for it, when it holds rows.
    const bool treeCommands = m_window.m_tree.RowCount() > 0;
    for (const auto &[button, enabled] : m_enabled) {
        const bool forTree = button == m_window.cb_save || button == m_window.cb_print;
        button->setEnabled(forTree && m_window.m_treeCommandsOn ? treeCommands : enabled);
    }
    m_window.m_treeCommandsOn = false;
    m_window.cb_scan->setText(QStringLiteral("스캔"));
    m_window.ib_cancel = false;
    QApplication::restoreOverrideCursor();
    // A close asked for while the operation ran is carried out now that it has unwound.
    if (--m_window.m_busy == 0 && m_window.m_closeWhenIdle)
        QMetaObject::invokeMethod(&m_window, &QWidget::close, Qt::QueuedConnection);
    m_window.showRowFacts();
}

void w_list::showFindBox(bool shown)
{
    cb_next->setVisible(shown);
    coverSearchBox(shown);
}

void w_list::coverSearchBox(bool covered)
{
    // The find box lies over the search box: whichever of the two shows takes the clicks, the
    // focus and the typing, and the other none, so that typed text always lands where it shows.
    // The window's focus widget, even while another window is active: it gets the focus back
    // when this window is activated again.
    const bool focusInBoxes = focusWidget() == sle_search || focusWidget() == sle_find;
    sle_find->setFocusPolicy(covered ? Qt::StrongFocus : Qt::NoFocus);
    sle_search->setFocusPolicy(covered ? Qt::NoFocus : Qt::StrongFocus);
    sle_find->setVisible(covered);
    if (focusInBoxes)
        visibleBox()->setFocus();
}

QLineEdit *w_list::visibleBox() const
{
    return sle_find->isHidden() ? sle_search : sle_find;
}

void w_list::closeEvent(QCloseEvent *event)
{
    if (m_busy > 0) {
        // The scan below us on the stack must finish unwinding first: cancel it and
        // close when it has.
        ib_cancel = true;
        m_closeWhenIdle = true;
        event->ignore();
        return;
    }
    globalReference() = nullptr;
    event->accept();
}
