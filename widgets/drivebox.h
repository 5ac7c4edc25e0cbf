#pragma once

#include <QComboBox>
#include <functional>

// The drive list: a drop-down whose closed box shows the end of a long root path, elided at the
// front to whole folders where they fit ("…/DISC_01/"), since the volume's name is what a user recognises;
// the opened list shows whole paths. Each time the list opens, `aboutToOpen` runs first, so the list can be
// refreshed.
class DriveBox : public QComboBox {
  public:
    explicit DriveBox(QWidget *parent = nullptr);

    std::function<void()> aboutToOpen;
    // What the closed box shows of the chosen root.
    [[nodiscard]] QString shownText() const;
    // Replaces the roots, keeping the chosen one chosen while it is there; else the first.
    void setRoots(const QStringList &roots);

    void showPopup() override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    // The end of `path` that fits in `width` pixels, whole folders first, behind "…".
    [[nodiscard]] QString tailThatFits(const QString &path, int width) const;
};
