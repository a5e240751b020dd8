#pragma once
// The Options dialog: the extra game parameters, auto-join and its countdown, stored in the
// settings on OK. The fields are filled each time the dialog is shown, from a fresh settings load.
#include <QDialog>

class QCheckBox;
class QLineEdit;

class COptionsDlg : public QDialog {
    Q_OBJECT
  public:
    explicit COptionsDlg(QWidget* parent = nullptr);

    void OnAutoJoinClicked();
    void OnSecondsKillFocus();
    void OnOK();

    // Enter anywhere stores, as the OK button does.
    void accept() override { OnOK(); }

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnShowWindow();

    QLineEdit* m_seconds = nullptr;
    QCheckBox* m_autoJoin = nullptr;
    QLineEdit* m_parameters = nullptr;
};
