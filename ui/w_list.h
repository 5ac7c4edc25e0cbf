#pragma once

#include "catalogue/discfacts.h"
#include "catalogue/entries.h"
#include "files/archivereader.h"
#include "files/filesystem.h"
#include "files/hookcontext.h"
#include "files/progress.h"
#include "records/recordset.h"
#include "scanner/drivescan.h"
#include "ui/listbox.h"
#include "widgets/datagrid.h"
#include "widgets/drivebox.h"

#include <QElapsedTimer>
#include <QHash>
#include <QWidget>
#include <memory>
#include <vector>

class ArchiveScan;
struct ScanOptions;
class QAction;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;
class DiscTotals;
class ElidedLabel;
class IndexPresenter;
class TreePresenter;
class w_results;
class w_rowlist;

// The main window: drive list, search box, command buttons, the folder tree, the
// catalogue list, and hidden working controls. Its handlers run one at a time on the
// user-interface thread; a long operation lets input run through Yield, and the Scan
// button, captioned "취소" meanwhile, cancels it.
class w_list : public QWidget {
    Q_OBJECT
  public:
    explicit w_list(FileSystem &fs, QWidget *parent = nullptr);
    ~w_list() override;

    // The main window of the run, for the dialog and the menu; nullptr once it is gone.
    static w_list *instance();

    void open();
    long wf_button(bool ab_enable);

    // Folder tree (scanner/treebuilder.h, treeview/expandcollapse.h).
    int wf_file_cnt(const QString &as_path, qint64 al_parent);
    qint64 of_recurse_dir_list(const QString &as_path, qint64 al_parent);
    qint64 of_add_item(const QString &as_path, const QString &as_filename, qint64 al_parent, qint64 al_type);
    int wf_collapse_rows(DataGrid &adw_grid, qint64 al_startrow);
    int wf_expand_row(DataGrid &adw_grid, qint64 al_startrow);

    // Loads a file in the catalogue form into the tree: mode 1 asks for a backup file, any other
    // mode loads `as_filename` (ui/w_list_load.cpp).
    int wf_restore(int ai_gubn, QString as_filename);

    // User events of the list pane's menu (ui/w_list_listpane.cpp, ui/w_list_entries.cpp).
    void ue_modify();
    void ue_delete();
    void ue_sort();
    // Reads the index again when another window changed it, keeping the list's rows and highlight
    // where their discs still exist (ui/w_list_watch.cpp).
    void catchUpWithIndex();
    void watchIndex();
    // The results window (ui/w_list_results.cpp): every row of the listed discs whose path or
    // name holds the search box's text; and the CSV exports of the disc list and the open tree.
    void ue_results();
    void ue_export_list();
    void ue_export_tree();
    // The comparisons (ui/w_list_compare.cpp): the highlighted disc scanned again and its changes,
    // two discs or a disc and a folder side by side, files on several discs, and a folder looked
    // up across the catalogue.
    void ue_rescan();
    void ue_compare();
    void ue_duplicates();
    void ue_folder_check();

    // Handlers.
    void ddlb_drive_keydown(int key, Qt::KeyboardModifiers keyflags);
    void cb_scan_clicked();
    void cb_save_clicked();
    void cb_restore_clicked();
    void cb_print_clicked();
    void cb_close_clicked();
    void cb_expand_clicked();
    void dw_1_clicked(int xpos, int ypos, qint64 row, const QString &dwo);
    void dw_1_doubleclicked(int xpos, int ypos, qint64 row, const QString &dwo);
    void dw_1_keydown(int key, Qt::KeyboardModifiers keyflags);
    void dw_list_clicked(int xpos, int ypos, qint64 row, const QString &dwo);
    void dw_list_doubleclicked(int xpos, int ypos, qint64 row, const QString &dwo);
    void dw_list_rbuttondown(int xpos, int ypos, qint64 row, const QString &dwo);
    void dw_list_keydown(int key, Qt::KeyboardModifiers keyflags);
    void sle_search_keydown(int key, Qt::KeyboardModifiers keyflags);
    void cb_search_clicked();
    void sle_find_keydown(int key, Qt::KeyboardModifiers keyflags);
    void cb_next_clicked();
    void cb_next_rbuttondown();

    // The status area over the progress bar: the facts of tree row `row`, or with 0 of the row
    // clicked, moved to or found last (the disc row when none); hidden while a long operation runs
    // (ui/w_list_facts.cpp).
    void showRowFacts(qint64 row = 0);

    // True while a scan, a load or a search runs and yields.
    [[nodiscard]] bool busy() const { return m_busy > 0; }

    // The nineteen controls, in creation order.
    QLabel *st_curr_path = nullptr;
    QPushButton *cb_next = nullptr;
    DataGrid *dw_cdinfo = nullptr;
    DataGrid *dw_list = nullptr;
    QLabel *st_progress = nullptr;
    QPushButton *cb_search = nullptr;
    QProgressBar *hpb_1 = nullptr;
    QPushButton *cb_print = nullptr;
    QPushButton *cb_restore = nullptr;
    QPushButton *cb_expand = nullptr;
    QPushButton *cb_close = nullptr;
    QPushButton *cb_scan = nullptr;
    DriveBox *ddlb_drive = nullptr;
    QPushButton *cb_save = nullptr;
    DataGrid *dw_1 = nullptr;
    ElidedLabel *st_facts = nullptr; // over hpb_1 when no long operation runs
    QLineEdit *sle_dir = nullptr;
    ListBox *lb_file = nullptr;
    QLineEdit *sle_search = nullptr;
    QLineEdit *sle_find = nullptr;
    // Beside them, the scan's options (ui/w_list_options.cpp): whether a scan reads compressed
    // tar files whole, whether it hashes every file's content and whether it
    // reads what the pictures and songs are.
    QToolButton *pb_scanoptions = nullptr;
    QAction *act_archives = nullptr;
    QAction *act_hashes = nullptr;
    QAction *act_media = nullptr;

    // Instance variables.
    bool ib_cancel = false;
    qint64 il_row = 0;
    qint64 il_file_cnt = 0;

    // The record sets behind the three grids, and the progress behind hpb_1.
    [[nodiscard]] RecordSet &tree() { return m_tree; }
    [[nodiscard]] RecordSet &index() { return m_index; }
    [[nodiscard]] RecordSet &list() { return m_list; }
    [[nodiscard]] Progress &progress() { return m_progress; }
    // The sizes and dates of the tree's rows, from its scan or its side file (catalogue/sidefile.h).
    [[nodiscard]] TreeFacts &treeFacts() { return m_treeFacts; }
    // The catalogue's entries, kept in step with the index and list record sets and the files.
    [[nodiscard]] CatalogueEntries &entries() { return m_entries; }
    // What the tree shows, for the printed pages: the disc's label, or "스캔" and the drive.
    [[nodiscard]] const QString &treeTitle() const { return m_treeTitle; }
    void setTreeTitle(const QString &title) { m_treeTitle = title; }
    // The catalogue file of the saved disc the tree shows; empty for a scan, a backup, or a tree
    // whose disc was deleted, which stands as a scan not yet saved.
    [[nodiscard]] const QString &treeFile() const { return m_treeFile; }
    // The tree has just been saved as the disc labelled `label` (ui/w_list_follow.cpp).
    void treeSaved(const QString &label);
    // Changes the entry saved as `originalLabel`; the tree's title and the results window follow a
    // new label (ui/w_list_entries.cpp).
    FileResult changeEntry(const QString &originalLabel, const CatalogueEntry &entry);
    // The label the save dialog offers: a scan's volume label, nothing for a saved disc's tree.
    [[nodiscard]] QString offeredLabel() const;
    // The tree row that last showed as selected (kept apart from il_row, which the list also sets).
    [[nodiscard]] qint64 selectedTreeRow() const { return m_selectedTreeRow; }

    // Printing goes through this, so tests can print to a file without a dialog:
    // it returns false when the user cancels the set-up.
    std::function<bool(QPrinter &)> printSetup;
    // The backup file the restore asks for goes through this too: an empty path cancels.
    std::function<QString()> chooseBackupFile;
    // So does the image file "이미지 파일…" asks for.
    std::function<QString()> chooseImageFile;
    // The rescan's drive, the compare's second disc or folder and the folder to check are
    // chosen through these while set (tests); the rescan's gets the drives with the one to offer
    // first, the compare's the labels of the other discs; "" cancels, and a path is a folder.
    std::function<QString(const QStringList &drives)> chooseRescanDrive;
    std::function<QString(const QStringList &labels)> chooseCompared;
    std::function<QString()> chooseFolder;
    // The pop-up menu is shown through this; tests look at it without running its event loop.
    std::function<void(QMenu *menu, QPoint globalPosition)> popMenu;

  protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void createControls();
    void createFactsArea();
    void createScanOptions();
    // A check in the options' menu for `option`, remembered as it is toggled.
    QAction *addScanOption(const QString &caption, const QString &tip, bool ScanOptions::*option,
                           const ScanOptions &remembered);
    // The scan of the drive at `root` into the tree, as the Scan button runs it.
    void scanRoot(const QString &root);
    // Opens the disc of `file` at tree row `row` (its line), its branch unfolded.
    void openDiscAt(const QString &file, const QString &label, qint64 row);
    // The discs of the list pane, or of the whole index, as the comparisons take them.
    [[nodiscard]] std::vector<struct DuplicateDisc> discsOf(const RecordSet &rows) const;
    // A folder of this computer scanned on the spot into `tree`, never saved.
    bool scanFolder(const QString &folder, RecordSet &tree, TreeFacts &facts);
    void showDuplicates(w_rowlist &window);
    // The drive box's image files and the tree's archive pictures (ui/w_list_image.cpp).
    void createArchiveControls();
    // The bounds of the archives a scan reads, the check box's choice among them.
    [[nodiscard]] ArchiveLimits archiveLimits() const;
    [[nodiscard]] bool readsMediaFacts() const;
    // The tree's tooltip for a picture row: its thumbnail, name and facts; empty for other rows.
    [[nodiscard]] QString pictureTooltip(qint64 row) const;
    // The scan of `root`, in the bracket every scan shares: `scan` fills the tree and its facts
    // with the hooks and reports it is given, and says how many rows it counted.
    void runScan(const QString &root, const std::function<qint64(HookContext &, const ScanReports &)> &scan);
    // Scans the image file at `path` as a disc, without mounting it.
    void scanImageFile(const QString &path);
    void layoutControls();
    void connectHandlers();
    void setTabOrders();
    // Of `dx` pixels more than the first width, those the wide list takes before the rest is shared.
    [[nodiscard]] int listExtraFirst(int dx) const;
    // The bracket every long operation shares, for the life of a scope: wait pointer, the five
    // command buttons off, the Scan button captioned "취소" so that it cancels, the cancel flag
    // cleared and the window busy. All of it is undone when the scope ends, however it ends: the
    // buttons get back the states they had, and the cancel flag is cleared again, so that a cancel
    // never outlives its operation. A scan or a load that put a tree in the window enables Save
    // and Print (m_treeCommandsOn).
    class LongOperation {
      public:
        explicit LongOperation(w_list &window);
        ~LongOperation();
        LongOperation(const LongOperation &) = delete;
        LongOperation &operator=(const LongOperation &) = delete;

      private:
        w_list &m_window;
        std::vector<std::pair<QPushButton *, bool>> m_enabled;
    };
    // After a change of the index here or elsewhere: the tree's title follows its disc's label, a
    // tree whose disc is gone stands as a scan not yet saved, and the results window greys the rows
    // of discs that are gone. A disc renamed here is followed from `renamedFrom` to `renamedTo`.
    void followIndex(const QString &renamedFrom = {}, const QString &renamedTo = {});
    // Why the disc of a results row cannot be opened, in words for the user; empty when it can.
    [[nodiscard]] QString resultDiscProblem(qsizetype storeRow) const;
    // Pops m_popmenu up at a point of the list's viewport, for the row in il_row.
    void popListMenu(QPoint viewportPoint);
    // The first highlighted row of the list pane, 0 when none: the disc the entry commands act on.
    [[nodiscard]] qint64 highlightedListRow() const;
    // The find box and ">>" shown over the search box, or both hidden.
    void showFindBox(bool shown);
    // The find box shown over the search box or hidden, the focus rules following.
    void coverSearchBox(bool covered);
    // The search box or the find box, whichever shows.
    [[nodiscard]] QLineEdit *visibleBox() const;
    // The drive list anew from the mounted volumes, keeping the chosen drive while it is there;
    // `currentFolder`, when given, receives the current folder. A scan whose drive went away is
    // cancelled.
    void refreshDrives(QString *currentFolder = nullptr);
    // Highlights the row found (0: none) alone and scrolls to it.
    void showFound(qint64 row);
    [[nodiscard]] HookContext longOperationHooks();
    // The default PDF: the tree's title in the user's documents folder.
    [[nodiscard]] QString defaultPdfPath() const;
    // The load a double-click on the list runs: the disc's tree opened under its label, the find
    // box shown; a catalogue file that is not a regular file is refused with a message.
    void openCatalogue(const QString &file, const QString &label);
    // Every branch of the tree open, as the expand button opens them, unless they are already.
    void openWholeTree();
    // Opens the disc of a row of the results window at that row, every branch open.
    void openResult(qsizetype storeRow);

    FileSystem &m_fs;
    RecordSet m_tree;
    TreeFacts m_treeFacts;
    RecordSet m_index;
    RecordSet m_list;
    CatalogueEntries m_entries;
    std::unique_ptr<IndexPresenter> m_indexPresenter;
    std::unique_ptr<DiscTotals> m_discTotals; // the list's totals columns, read as rows show
    std::unique_ptr<TreePresenter> m_treePresenter;
    Progress m_progress;
    int m_busy = 0;
    bool m_closeWhenIdle = false;
    qint64 m_selectedTreeRow = 0;
    qint64 m_factsRow = 0; // the tree row the status line tells of: clicked, moved to or found
    QString m_treeTitle;
    QString m_treeFile;                      // see treeFile()
    QSize m_firstSize;                       // the window's first size, where the controls were put
    QHash<QWidget *, QRect> m_firstGeometry; // where the controls that grow or move were put
    QElapsedTimer m_folderShown;
    QString m_scanRoot; // during a scan: the drive being scanned
    bool m_scanDriveLost = false;
    bool m_treeCommandsOn = false; // a scan or load put a tree in: Save and Print on at its end
    std::unique_ptr<QFileSystemWatcher> m_indexWatcher;
    w_results *m_results = nullptr;    // made on first use, a child so it stays over this window
    w_rowlist *m_changes = nullptr;    // a rescan's changes
    w_rowlist *m_compared = nullptr;   // two trees side by side
    w_rowlist *m_duplicates = nullptr; // files on several discs
    w_rowlist *m_checked = nullptr;    // a folder against the catalogue
};
