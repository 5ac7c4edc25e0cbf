#include "widgets/elidedlabel.h"

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    // Its width is the place's, whatever the text: the text is cut to it, never the other way.
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
}

void ElidedLabel::setFullText(const QString &text)
{
    m_full = text;
    setToolTip(text);
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    setText(fontMetrics().elidedText(m_full, Qt::ElideRight, contentsRect().width()));
}
