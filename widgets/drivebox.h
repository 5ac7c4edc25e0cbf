#pragma once

#include <QComboBox>
#include <functional>

// The drive list: a drop-down whose closed box shows the end of a long root path, elided at the
// front to whole folders where they fit ("…/DISC_01/"), since the volume's name is what a user recognises;
// the opened list shows whole paths. Each time the list opens, `aboutToOpen` runs first, so the list can be
// refreshed. After the drives come the image files chosen so far, then the item "이미지 파일…", which
// asks for an image file through `chooseImage` and, when one is chosen, lists and chooses it.
class DriveBox : public QComboBox {
  public:
    explicit DriveBox(QWidget *parent = nullptr);

    std::function<void()> aboutToOpen;
    // Asks for an image file; an empty path when none was chosen.
    std::function<QString()> chooseImage;
    // What the closed box shows of the chosen root.
    [[nodiscard]] QString shownText() const;
    // Replaces the roots, keeping the chosen one chosen while it is there; else the first. The
    // images chosen stay.
    void setRoots(const QStringList &roots);
    // Lists the image file at `path` after the drives, if it is not listed yet, and chooses it.
    void addImage(const QString &path);
    // True when the chosen item is an image file, not a drive.
    [[nodiscard]] bool imageChosen() const;
    // The caption of the item that asks for an image file.
    [[nodiscard]] static QString imageItemText();

    void showPopup() override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    enum Kind { Drive, Image, AskForImage };
    // The end of `path` that fits in `width` pixels, whole folders first, behind "…".
    [[nodiscard]] QString tailThatFits(const QString &path, int width) const;
    [[nodiscard]] Kind kindAt(int index) const;
    void itemActivated(int index);

    int m_lastChosen = -1; // the item chosen before "이미지 파일…", to go back to
};
