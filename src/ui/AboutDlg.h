#pragma once
// The About dialog: a picture, the version line (label 1018), a credit line, the project's web
// page and OK.
#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* m_version = nullptr;
};
