#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class w_list;

// The list pane's right-button menu. A new one is made for every right-click: making it builds
// the whole tree of items and points the global reference at it, destroying the one that was
// there. The items of m_command form the pop-up; each command raises a user event of the main
// window, the sort items after setting the sort order.
class m_popmenu : public QObject {
  public:
    static m_popmenu *create(w_list &window);
    // The instance the global reference names; nullptr before the first right-click.
    [[nodiscard]] static m_popmenu *current();
    ~m_popmenu() override;

    QMenu *m_command = nullptr; // "명령": its items are the pop-up
    QAction *m_delete = nullptr;
    QAction *m_modify = nullptr;
    QAction *m_separator = nullptr;
    QMenu *m_sort = nullptr;
    QAction *m_label = nullptr;
    QAction *m_desc = nullptr;
    QAction *m_type = nullptr;
    QAction *m_종료 = nullptr;
    QAction *m_results = nullptr; // the results window for the search box's text
    QMenu *m_export = nullptr;    // CSV of the disc list or of the open disc's tree
    QAction *m_export_list = nullptr;
    QAction *m_export_tree = nullptr;
    QAction *m_rescan = nullptr;       // the disc scanned again, its changes saved in place
    QAction *m_compare = nullptr;      // two discs, or a disc and a folder
    QAction *m_duplicates = nullptr;   // files on several discs
    QAction *m_folder_check = nullptr; // a folder looked up across the catalogue

  private:
    explicit m_popmenu(w_list &window);
    QAction *addCommand(QMenu *menu, const QString &text, const QKeySequence &shortcut,
                        void (w_list::*event)());
    QAction *addSort(const QString &text, const QString &order);

    QPointer<w_list> m_window;
};
