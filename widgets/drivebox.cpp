#include "widgets/drivebox.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

DriveBox::DriveBox(QWidget *parent) : QComboBox(parent)
{
    // The closed box is narrow: the whole path shows when the pointer rests on it.
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString &text) { setToolTip(text); });
    connect(this, &QComboBox::activated, this, &DriveBox::itemActivated);
    addItem(imageItemText(), int(AskForImage));
}

QString DriveBox::imageItemText()
{
    return QStringLiteral("이미지 파일…");
}

DriveBox::Kind DriveBox::kindAt(int index) const
{
    return Kind(itemData(index).toInt());
}

bool DriveBox::imageChosen() const
{
    return currentIndex() >= 0 && kindAt(currentIndex()) == Image;
}

void DriveBox::addImage(const QString &path)
{
    int at = findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (at < 0 || kindAt(at) != Image) {
        at = count() - 1; // before "이미지 파일…"
        insertItem(at, path, int(Image));
    }
    setCurrentIndex(at);
    m_lastChosen = at;
}

void DriveBox::itemActivated(int index)
{
    if (kindAt(index) != AskForImage) {
        m_lastChosen = index;
        return;
    }
    const QString path = chooseImage ? chooseImage() : QString();
    if (!path.isEmpty())
        addImage(path);
    else
        setCurrentIndex(m_lastChosen >= 0 && m_lastChosen < count() - 1 ? m_lastChosen : 0);
}

QString DriveBox::shownText() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    return tailThatFits(currentText(), field.width());
}

QString DriveBox::tailThatFits(const QString &path, int width) const
{
    const QFontMetrics metrics = fontMetrics();
    const auto fits = [&](const QString &text) { return metrics.horizontalAdvance(text) <= width; };
    if (fits(path))
        return path;
    // Whole folders from the end first ("…/KEYCD/"), then the end of the last folder's name; the
    // name keeps at least one character, so the box never shows "…/" alone.
    const QString ellipsis(QChar(0x2026));
    const qsizetype last = path.lastIndexOf(u'/', path.size() - 2);
    for (qsizetype slash = path.indexOf(u'/', 1); slash >= 0 && slash <= last;
         slash = path.indexOf(u'/', slash + 1)) {
        if (fits(ellipsis + path.mid(slash)))
            return ellipsis + path.mid(slash);
    }
    const qsizetype nameStart = last + 1;
    for (qsizetype start = nameStart + 1; start < path.size() - 1; ++start) {
        if (fits(ellipsis + path.mid(start)))
            return ellipsis + path.mid(start);
    }
    return ellipsis + path.right(std::min<qsizetype>(2, path.size()));
}

void DriveBox::setRoots(const QStringList &roots)
{
    const QString chosen = currentText();
    const bool imageWasChosen = imageChosen();
    QStringList current;
    int drives = 0;
    while (drives < count() && kindAt(drives) == Drive)
        current << itemText(drives++);
    if (current != roots) {
        for (int i = drives - 1; i >= 0; --i)
            removeItem(i);
        for (int i = 0; i < roots.size(); ++i)
            insertItem(i, roots[i], int(Drive));
    }
    int again = -1;
    for (int i = 0; i < count() && again < 0; ++i) {
        if (itemText(i) == chosen && (kindAt(i) == Image) == imageWasChosen && kindAt(i) != AskForImage)
            again = i;
    }
    setCurrentIndex(again >= 0 ? again : (count() > 1 ? 0 : -1));
    m_lastChosen = currentIndex();
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
