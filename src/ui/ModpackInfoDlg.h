#pragma once
// The modpack information dialog: the outcome of the join decision, the host's message, and Join
// (result 1, only when joining is allowed) or Cancel (result 2).
#include <QDialog>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class CModpackInfoDlg : public QDialog {
    Q_OBJECT
  public:
    enum Result { kJoin = 1, kCancel = 2 };

    explicit CModpackInfoDlg(QWidget* parent = nullptr);

    int32_t m_bJoinAllowed = 0;
    std::string m_strUserMessage;
    std::string m_strStatusText;

    void reject() override { done(kCancel); }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QPushButton* m_join = nullptr;
    QPlainTextEdit* m_message = nullptr;
    QLabel* m_status = nullptr;
};
