#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The dialog in which a disc gets its label, description and category. In New mode (caption
// "저장") Save writes the tree of the main window to a new catalogue file and adds its entry; in
// Modify mode (caption "변경"), opened with an entry parameter string, Save changes that entry.
// The mode is carried by the Save button's caption. While it is open the main window takes no
// input.
class w_save : public QDialog {
    Q_OBJECT
  public:
    // Opens the dialog over `parent`: New mode for an empty parameter, Modify mode for an entry
    // parameter string ("file^desc^name^gubn"). It deletes itself when it closes.
    static w_save *OpenWithParm(QWidget *parent, const QString &parm);
    static w_save *openNew(QWidget *parent) { return OpenWithParm(parent, QString()); }
    // Opens the dialog in Modify mode for this entry, its fields as they are.
    static w_save *openModify(QWidget *parent, const struct CatalogueEntry &entry);
    // The dialog open now, nullptr when none.
    [[nodiscard]] static w_save *current();

    void cb_save_clicked();
    void cb_cancel_clicked();
    // New mode: the label field holds `label`, selected.
    void offerLabel(const QString &label);

    // The nine controls, in creation order.
    QComboBox *ddlb_gubn = nullptr;
    QLabel *st_3 = nullptr;
    QPushButton *cb_cancel = nullptr;
    QPushButton *cb_save = nullptr;
    QLineEdit *sle_memo = nullptr;
    QLabel *st_2 = nullptr;
    QLabel *st_1 = nullptr;
    QLineEdit *sle_label = nullptr;
    QGroupBox *gb_1 = nullptr;

    // The label of the entry being changed, as it was on opening; "" in New mode.
    QString is_label_org;
    // Its description as it was on opening: only a changed label or description is checked, so an
    // entry another program wrote beyond the limits can still have its category changed.
    QString is_memo_org;

  protected:
    void keyPressEvent(QKeyEvent *event) override;

  private:
    explicit w_save(QWidget *parent);
    void createControls();
    void layoutControls();
    void connectHandlers();
    // The open event: fields and mode from the parameter string.
    void openWith(QString ls_parm);
    void showEntry(const QString &desc, const QString &label, const QString &gubn);
    // New mode: the description and category of the disc saved under the label typed, while the
    // user has not typed in them; emptied again when the label leaves that disc.
    void offerSavedEntry();
    bool m_offered = false; // the description and category shown are a saved disc's
    // New mode: false when nothing was saved and the dialog stays open.
    bool saveNew(class w_list &main, const struct CatalogueEntry &entry);
};
