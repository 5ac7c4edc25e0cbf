#include "ui/m_popmenu.h"

#include "catalogue/settings.h"
#include "ui/w_list.h"

#include <QKeyEvent>
#include <QMenu>

namespace {

// A pop-up that acts on its items' shortcuts while it is open; QMenu itself knows only mnemonics.
class ShortcutMenu final : public QMenu {
  public:
    using QMenu::QMenu;

  protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        // Alt on its own would close the menu before the letter that goes with it arrives.
        if (event->key() == Qt::Key_Alt) {
            event->accept();
            return;
        }
        const QKeySequence pressed(event->keyCombination());
        for (QAction *action : actions()) {
            if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
                event->accept();
                hide();
                action->trigger();
                return;
            }
        }
        QMenu::keyPressEvent(event);
    }
};

QPointer<m_popmenu> &globalReference()
{
    static QPointer<m_popmenu> reference;
    return reference;
}
} // namespace

m_popmenu *m_popmenu::create(w_list &window)
{
    delete globalReference();
    globalReference() = new m_popmenu(window);
    return globalReference();
}

m_popmenu *m_popmenu::current()
{
    return globalReference();
}

m_popmenu::m_popmenu(w_list &window) : QObject(&window), m_window(&window)
{
    setObjectName(QStringLiteral("m_popup"));
    m_command = new ShortcutMenu(QStringLiteral("명령"), &window);
    m_delete = addCommand(m_command, QStringLiteral("삭제\tAlt+D"), QKeySequence(Qt::ALT | Qt::Key_D),
                          &w_list::ue_delete);
    m_modify = addCommand(m_command, QStringLiteral("변경\tAlt+M"), QKeySequence(Qt::ALT | Qt::Key_M),
                          &w_list::ue_modify);
    m_separator = m_command->addSeparator();
    m_sort = m_command->addMenu(QStringLiteral("정렬"));
    m_label = addSort(QStringLiteral("라벨"), QStringLiteral("name a"));
    m_desc = addSort(QStringLiteral("설명"), QStringLiteral("desc a, name a"));
    m_type = addSort(QStringLiteral("구분"), QStringLiteral("gubn a, name a"));
    // 종료 runs no command: choosing it only closes the menu.
    m_종료 = m_command->addAction(QStringLiteral("종료\tAlt+X"));
    m_종료->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    m_results = addCommand(m_command, QStringLiteral("검색 결과"), {}, &w_list::ue_results);
    m_export = m_command->addMenu(QStringLiteral("내보내기"));
    m_export_list = addCommand(m_export, QStringLiteral("디스크 목록"), {}, &w_list::ue_export_list);
    m_export_tree = addCommand(m_export, QStringLiteral("열린 디스크"), {}, &w_list::ue_export_tree);
    m_command->addSeparator();
    m_rescan = addCommand(m_command, QStringLiteral("다시 스캔\tCtrl+R"), QKeySequence(Qt::CTRL | Qt::Key_R),
                          &w_list::ue_rescan);
    m_compare = addCommand(m_command, QStringLiteral("비교…"), {}, &w_list::ue_compare);
    m_duplicates = addCommand(m_command, QStringLiteral("중복 찾기…"), {}, &w_list::ue_duplicates);
    m_folder_check =
        addCommand(m_command, QStringLiteral("이 폴더가 어디에 있나…"), {}, &w_list::ue_folder_check);
}

m_popmenu::~m_popmenu()
{
    delete m_command;
}

QAction *m_popmenu::addCommand(QMenu *menu, const QString &text, const QKeySequence &shortcut,
                               void (w_list::*event)())
{
    QAction *action = menu->addAction(text);
    // The shortcut belongs to the item, so it acts only while the pop-up is open.
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, event] {
        if (m_window)
            (m_window->*event)();
    });
    return action;
}

QAction *m_popmenu::addSort(const QString &text, const QString &order)
{
    QAction *action = m_sort->addAction(text);
    connect(action, &QAction::triggered, this, [this, order] {
        gs_sort_str = order;
        if (m_window)
            m_window->ue_sort();
    });
    return action;
}
