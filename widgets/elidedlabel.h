#pragma once

#include <QLabel>

// A label of one line that shows "…" where its text is cut to its width, and the whole text in
// its tooltip.
class ElidedLabel : public QLabel {
  public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    [[nodiscard]] const QString &fullText() const { return m_full; }

  protected:
    void resizeEvent(QResizeEvent *event) override;

  private:
    void elide();

    QString m_full;
};
