#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Hands every key pressed in a control to a handler, as the control's keydown event.
// The handler returns true when it has dealt with the key, so the control does not.
// True for either Enter key: the one by the letters and the one on the number pad.
[[nodiscard]] inline bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

class QAbstractButton;

class KeyFilter : public QObject {
  public:
    using Handler = std::function<bool(int key, Qt::KeyboardModifiers keyflags)>;
    KeyFilter(QWidget *control, Handler handler);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    Handler m_handler;
};

// Enter on the focused button clicks it, as Space does: a dialog's default button aside, Qt's
// buttons take only Space.
void clickOnEnter(QAbstractButton *button);
