#pragma once

#include "files/listbox.h"

#include <QListWidget>

// The hidden working list box: its items live in a ListBoxModel, which the directory
// walks fill thousands of times a second; the widget shows them only if it is ever shown.
class ListBox : public QListWidget {
  public:
    ListBox(FileSystem &fs, QWidget *parent);
    [[nodiscard]] ListBoxModel &model() { return m_model; }

  protected:
    void showEvent(QShowEvent *event) override;

  private:
    ListBoxModel m_model;
};
