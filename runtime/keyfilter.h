#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Hands every key pressed in a control to a handler, as the control's keydown event.
// The handler returns true when it has dealt with the key, so the control does not.
class KeyFilter : public QObject {
  public:
    using Handler = std::function<bool(int key, Qt::KeyboardModifiers keyflags)>;
    KeyFilter(QWidget *control, Handler handler);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    Handler m_handler;
};
