// The main window's controls: creation in the window's control order, geometry in
// layout units, fonts, colours and tab order.

#include "ui/w_list.h"

#include "treeview/treepresenter.h"
#include "ui/indexpresenter.h"
#include "widgets/fonts.h"
#include "widgets/keyfilter.h"
#include "widgets/units.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

namespace {

QPushButton *makeButton(QWidget *parent, const QString &caption, const QString &face, int points,
                        bool bold = false)
{
    auto *button = new QPushButton(caption, parent);
    button->setFont(layoutFont(face, points, bold));
    button->setAutoDefault(false);
    clickOnEnter(button);
    return button;
}

QLabel *makeLabel(QWidget *parent, const QString &face, int points)
{
    auto *label = new QLabel(parent);
    label->setFont(layoutFont(face, points));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLineEdit *makeEdit(QWidget *parent, const QString &face, int points, const QColor &background = QColor())
{
    auto *edit = new QLineEdit(parent);
    edit->setFont(layoutFont(face, points));
    if (background.isValid()) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, background);
        edit->setPalette(palette);
    }
    return edit;
}

} // namespace

void w_list::createControls()
{
    const QString gulim = QStringLiteral("굴림체");
    st_curr_path = makeLabel(this, gulim, 11);
    cb_next = makeButton(this, QStringLiteral(">>"), QStringLiteral("궁서"), 11, true);
    dw_cdinfo = new DataGrid(this);
    dw_list = new DataGrid(this);
    st_progress = makeLabel(this, QStringLiteral("MS Sans Serif"), 11);
    cb_search = makeButton(this, QStringLiteral("검색"), gulim, 11);
    hpb_1 = new QProgressBar(this);
    cb_print = makeButton(this, QStringLiteral("출력"), gulim, 11);
    cb_restore = makeButton(this, QStringLiteral("복구"), QStringLiteral("Arial"), 12);
    cb_expand = makeButton(this, QStringLiteral("확장"), gulim, 11);
    cb_close = makeButton(this, QStringLiteral("종료"), gulim, 11);
    cb_scan = makeButton(this, QStringLiteral("스캔"), gulim, 11);
    ddlb_drive = new DriveBox(this);
    cb_save = makeButton(this, QStringLiteral("저장"), gulim, 11);
    dw_1 = new DataGrid(this);
    sle_dir = makeEdit(this, QStringLiteral("Comic Sans MS"), 11, QColor(192, 192, 192));
    lb_file = new ListBox(m_fs, this);
    sle_search = makeEdit(this, gulim, 11);
    sle_find = makeEdit(this, gulim, 11, QColor(192, 220, 192));

    st_curr_path->setVisible(false);
    dw_cdinfo->setVisible(false);
    cb_search->setVisible(false);
    cb_restore->setVisible(false);
    sle_dir->setVisible(false);
    lb_file->setVisible(false);
    cb_save->setEnabled(false);

    st_progress->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    hpb_1->setRange(0, 1000); // a thousandth per step, whatever the count: see Progress
    hpb_1->setValue(0);
    hpb_1->setTextVisible(false); // but for what a scan's count has found
    hpb_1->setAlignment(Qt::AlignCenter);
    ddlb_drive->setFont(layoutFont(QStringLiteral("Comic Sans MS"), 11, true));
    ddlb_drive->setMaxVisibleItems(unitsToPixelsY(656) / 20);
    lb_file->setFont(layoutFont(QStringLiteral("MS Sans Serif"), 8));

    dw_1->setRecordSet(&m_tree, m_treePresenter.get());
    dw_list->setRecordSet(&m_list, m_indexPresenter.get());
    dw_cdinfo->setRecordSet(&m_index, m_indexPresenter.get());
    dw_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    dw_cdinfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void w_list::layoutControls()
{
    setWindowTitle(QStringLiteral("Tarvek"));
    setWindowIcon(QIcon(QStringLiteral(":/tarvek.png")));
    // Title bar, minimize and maximize boxes; a larger frame gives the grids more room.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    // 3077 x 1796 units is the outer size; the client area is that less the frame.
    resize(unitsToPixelsX(3077) - 8, unitsToPixelsY(1796) - 30);

    struct Place {
        QWidget *control;
        int x, y, width, height;
    };
    const Place places[] = {
        {st_curr_path, 283, 16, 782, 108},  {cb_next, 1074, 20, 101, 100},
        {dw_cdinfo, 3022, 140, 1051, 1304}, {dw_list, 1801, 136, 1211, 1436},
        {st_progress, 2789, 1580, 224, 88}, {cb_search, 1989, 372, 242, 100},
        {hpb_1, 23, 1584, 2761, 84},        {cb_print, 1934, 20, 242, 100},
        {cb_restore, 2217, 148, 242, 100},  {cb_expand, 1687, 20, 242, 100},
        {cb_close, 2181, 20, 242, 100},     {cb_scan, 1193, 20, 242, 100},
        {ddlb_drive, 23, 12, 251, 108},     {cb_save, 1440, 20, 242, 100},
        {dw_1, 23, 136, 1765, 1436},        {sle_dir, 283, 16, 1678, 108},
        {lb_file, 1979, 368, 480, 1216},    {sle_search, 283, 16, 782, 108},
        {sle_find, 283, 16, 782, 108},
    };
    // The drop-down list's 656 units are the height of its opened list; closed it is one line.
    for (const Place &place : places)
        place.control->setGeometry(unitsToPixels(place.x, place.y, place.width, place.height));
    m_firstSize = size();
    for (QWidget *growing : std::initializer_list<QWidget *>{dw_1, dw_list, hpb_1, st_progress})
        m_firstGeometry[growing] = growing->geometry();
}

void w_list::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_firstGeometry.isEmpty())
        return;
    // Beyond the first size the tree and the list share the extra width and both take the extra
    // height; the progress bar and percentage keep to the bottom. Below the first size everything
    // stays where it was put.
    const int dx = std::max(0, width() - m_firstSize.width());
    const int dy = std::max(0, height() - m_firstSize.height());
    // A list wider than at first also shows each disc's totals.
    if (m_indexPresenter->wide() != (dx > 0)) {
        m_indexPresenter->setWide(dx > 0);
        dw_list->presenterChanged();
    }
    const QRect tree = m_firstGeometry[dw_1];
    const QRect list = m_firstGeometry[dw_list];
    const int toList = listExtraFirst(dx);
    const int treeShare = int(qint64(dx - toList) * tree.width() / (tree.width() + list.width()));
    dw_1->setGeometry(tree.adjusted(0, 0, treeShare, dy));
    dw_list->setGeometry(list.translated(treeShare, 0).adjusted(0, 0, dx - treeShare, dy));
    hpb_1->setGeometry(m_firstGeometry[hpb_1].translated(0, dy).adjusted(0, 0, dx, 0));
    st_progress->setGeometry(m_firstGeometry[st_progress].translated(dx, dy));
}

int w_list::listExtraFirst(int dx) const
{
    // Of `dx` extra pixels, what the wide list takes before any are shared: enough to show its
    // label, category and totals whole, with the start of the description, without scrolling.
    if (dx <= 0)
        return 0;
    const int chrome = 2 * dw_list->frameWidth() + dw_list->verticalScrollBar()->sizeHint().width();
    const int needed = m_indexPresenter->contentWidth() + chrome - m_firstGeometry[dw_list].width();
    return std::clamp(needed, 0, dx);
}

void w_list::setTabOrders()
{
    // Tab positions 10, 20, ... 160; controls at 0 take no part.
    QWidget *order[] = {sle_search, ddlb_drive, cb_scan,   cb_save,  cb_expand, cb_print,
                        cb_close,   sle_find,   cb_next,   dw_1,     dw_list,   cb_restore,
                        sle_dir,    lb_file,    cb_search, dw_cdinfo};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (QWidget *none : std::initializer_list<QWidget *>{st_curr_path, st_progress, hpb_1})
        none->setFocusPolicy(Qt::NoFocus);
}

void w_list::connectHandlers()
{
    new KeyFilter(ddlb_drive, [this](int key, Qt::KeyboardModifiers flags) {
        ddlb_drive_keydown(key, flags);
        return false;
    });
    connect(cb_scan, &QPushButton::clicked, this, &w_list::cb_scan_clicked);
    connect(cb_save, &QPushButton::clicked, this, &w_list::cb_save_clicked);
    connect(cb_restore, &QPushButton::clicked, this, &w_list::cb_restore_clicked);
    connect(cb_print, &QPushButton::clicked, this, &w_list::cb_print_clicked);
    connect(cb_close, &QPushButton::clicked, this, &w_list::cb_close_clicked);
    connect(cb_expand, &QPushButton::clicked, this, &w_list::cb_expand_clicked);
    connect(dw_1, &DataGrid::clicked, this, &w_list::dw_1_clicked);
    connect(dw_1, &DataGrid::doubleclicked, this, &w_list::dw_1_doubleclicked);
    connect(dw_1, &DataGrid::keydown, this, &w_list::dw_1_keydown);
    connect(dw_1, &DataGrid::currentMoved, this, [this](qint64 row) { showRowFacts(row); });
    connect(dw_list, &DataGrid::clicked, this, &w_list::dw_list_clicked);
    connect(dw_list, &DataGrid::doubleclicked, this, &w_list::dw_list_doubleclicked);
    connect(dw_list, &DataGrid::rbuttondown, this, &w_list::dw_list_rbuttondown);
    connect(dw_list, &DataGrid::keydown, this, &w_list::dw_list_keydown);
    new KeyFilter(sle_search, [this](int key, Qt::KeyboardModifiers flags) {
        sle_search_keydown(key, flags);
        return false;
    });
    new KeyFilter(sle_find, [this](int key, Qt::KeyboardModifiers flags) {
        sle_find_keydown(key, flags);
        return false;
    });
    connect(cb_search, &QPushButton::clicked, this, &w_list::cb_search_clicked);
    connect(cb_next, &QPushButton::clicked, this, &w_list::cb_next_clicked);
    // A right-click on ">>" arrives as a request for a context menu.
    cb_next->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(cb_next, &QPushButton::customContextMenuRequested, this, &w_list::cb_next_rbuttondown);
    m_progress.onChange = [this] { hpb_1->setValue(m_progress.permille()); };
}
