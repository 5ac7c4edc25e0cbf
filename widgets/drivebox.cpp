#include "widgets/drivebox.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

DriveBox::DriveBox(QWidget *parent) : QComboBox(parent)
{
    // The closed box is narrow: the whole path shows when the pointer rests on it.
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString &text) { setToolTip(text); });
}

QString DriveBox::shownText() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    return fontMetrics().elidedText(currentText(), Qt::ElideLeft, field.width());
}

void DriveBox::setRoots(const QStringList &roots)
{
    const QString chosen = currentText();
    QStringList current;
    for (int i = 0; i < count(); ++i)
        current << itemText(i);
    if (current != roots) {
        clear();
        addItems(roots);
    }
    const int again = findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive);
    setCurrentIndex(again >= 0 ? again : (count() > 0 ? 0 : -1));
}

void DriveBox::showPopup()
{
    if (aboutToOpen)
        aboutToOpen();
    // Whole paths in the opened list, however narrow the closed box.
    int widest = width();
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)) + 24);
    view()->setMinimumWidth(widest);
    QComboBox::showPopup();
}

void DriveBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = shownText();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
