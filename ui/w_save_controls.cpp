// The save dialog's controls: creation in its control order, geometry in layout units, fonts,
// colours, tab order and the key handlers of the Enter chain.

#include "ui/w_save.h"

#include "ui/accessiblenames.h"
#include "ui/help.h"
#include "widgets/fonts.h"
#include "widgets/keyfilter.h"
#include "widgets/placement.h"
#include "widgets/units.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QColor kNavy(0, 0, 128);

// Navy text. On the button-face background a child draws with the button-text role unless told
// otherwise, so the role is set as well as the colour.
void paintNavy(QWidget *control)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, kNavy);
    control->setPalette(palette);
    control->setForegroundRole(QPalette::WindowText);
}

QLabel *makeLabel(QWidget *parent, const QString &caption, const QString &face)
{
    auto *label = new QLabel(caption, parent);
    label->setFont(layoutFont(face, 11));
    paintNavy(label);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setFont(layoutFont(QStringLiteral("굴림체"), 11));
    // Neither button is the default: Enter is handled by the key handlers.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

void w_save::createControls()
{
    const QString gulim = QStringLiteral("굴림체");
    ddlb_gubn = new QComboBox(this);
    ddlb_gubn->setEditable(false);
    ddlb_gubn->setFont(layoutFont(gulim, 11));
    st_3 = makeLabel(this, QStringLiteral("구분"), gulim);
    cb_cancel = makeButton(this, QStringLiteral("취소"));
    cb_save = makeButton(this, QStringLiteral("저장"));
    sle_memo = new QLineEdit(this);
    sle_memo->setFont(layoutFont(gulim, 11));
    st_2 = makeLabel(this, QStringLiteral("설명"), gulim);
    st_1 = makeLabel(this, QStringLiteral("라벨"), QStringLiteral("Franklin Gothic Medium"));
    sle_label = new QLineEdit(this);
    sle_label->setFont(layoutFont(gulim, 11));
    gb_1 = new QGroupBox(this);
    gb_1->setFont(layoutFont(gulim, 11));
    paintNavy(gb_1);
    gb_1->setFocusPolicy(Qt::NoFocus);
    gb_1->lower(); // made last, it must not cover the fields it frames
    describeControls(*this);
}

void w_save::layoutControls()
{
    setWindowTitle(QStringLiteral("저장"));
    setWindowIcon(QIcon(QStringLiteral(":/tarvek.png")));
    // Title bar, control menu and minimize box; no maximize box; a fixed size.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    // 978 x 564 units is the outer size of a fixed frame; the client area is that less the frame.
    setFixedSize(unitsToPixelsX(978) - 6, unitsToPixelsY(564) - 24);
    struct Place {
        QWidget *control;
        int x, y, width, height;
    };
    const Place places[] = {
        {gb_1, 0, 0, 951, 336},         {st_1, 46, 56, 174, 72},       {sle_label, 233, 48, 686, 84},
        {st_2, 46, 148, 174, 72},       {sle_memo, 233, 132, 686, 84}, {st_3, 46, 236, 174, 72},
        {ddlb_gubn, 233, 220, 686, 84}, {cb_save, 155, 352, 293, 96},  {cb_cancel, 453, 352, 293, 96},
    };
    // The drop-down list's 376 units are its height with the list open; closed it is one line.
    for (const Place &place : places)
        place.control->setGeometry(unitsToPixels(place.x, place.y, place.width, place.height));
    setTabOrder(sle_label, sle_memo);
    setTabOrder(sle_memo, ddlb_gubn);
    setTabOrder(ddlb_gubn, cb_save);
    setTabOrder(cb_save, cb_cancel);
    sle_label->setFocus();
    // Over the main window, wherever that is, not at a corner of some screen.
    centreOver(this, parentWidget() ? parentWidget()->window() : dialogOwner());
}

void w_save::connectHandlers()
{
    const auto help = [](int key) {
        if (key == Qt::Key_F1)
            gf_help(QString());
        return false;
    };
    new KeyFilter(sle_label, [this, help](int key, Qt::KeyboardModifiers) {
        if (!isEnterKey(key))
            return help(key);
        sle_memo->setFocus();
        return true;
    });
    // The label's change-committed event: a changed label moves on to the description.
    connect(sle_label, &QLineEdit::editingFinished, this, [this] {
        if (!sle_label->isModified())
            return;
        sle_label->setModified(false);
        sle_memo->setFocus();
    });
    new KeyFilter(sle_memo, [this, help](int key, Qt::KeyboardModifiers) {
        if (!isEnterKey(key))
            return help(key);
        cb_save->setFocus();
        return true;
    });
    new KeyFilter(ddlb_gubn, [help](int key, Qt::KeyboardModifiers) { return help(key); });
    new KeyFilter(cb_save, [this, help](int key, Qt::KeyboardModifiers) {
        if (!isEnterKey(key))
            return help(key);
        // Runs after this handler has returned, exactly as a mouse click would.
        QMetaObject::invokeMethod(cb_save, &QPushButton::click, Qt::QueuedConnection);
        return true;
    });
    clickOnEnter(cb_cancel);
    // A label already saved, typed or offered, brings that disc's description and category along,
    // for the user to keep or change; what the user typed there stays.
    connect(sle_label, &QLineEdit::textChanged, this, &w_save::offerSavedEntry);
    connect(sle_memo, &QLineEdit::textEdited, this, [this] { m_offered = false; });
    connect(ddlb_gubn, &QComboBox::activated, this, [this] { m_offered = false; });
    connect(cb_save, &QPushButton::clicked, this, &w_save::cb_save_clicked);
    connect(cb_cancel, &QPushButton::clicked, this, &w_save::cb_cancel_clicked);
}
