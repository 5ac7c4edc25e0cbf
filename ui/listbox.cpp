#include "ui/listbox.h"

ListBox::ListBox(FileSystem &fs, QWidget *parent) : QListWidget(parent), m_model(fs, true)
{
}

void ListBox::showEvent(QShowEvent *event)
{
    clear();
    addItems(m_model.items());
    QListWidget::showEvent(event);
}
