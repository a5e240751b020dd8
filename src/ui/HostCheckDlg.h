#pragma once
// The host-check dialog: asks whether to check the host for a modpack and runs the auto-join
// countdown. exec() returns 0 "Join KRV...", 1 "Join Normal", 2 Cancel, 3 countdown ran out.
#include <QDialog>
#include <QTimer>

class QCheckBox;

class CHostCheckDlg : public QDialog {
    Q_OBJECT
  public:
    enum Result { kCheckHost = 0, kJoinNormal = 1, kCancel = 2, kCountdownEnded = 3 };
    static constexpr int kTimerPeriodMs = 1000;

    explicit CHostCheckDlg(QWidget* parent = nullptr);

    void OnAutoJoinClicked();
    void OnTimer();
    void OnCheckHost() { done(kCheckHost); }
    void OnJoinNormal() { done(kJoinNormal); }
    void OnCancel() { done(kCancel); }

    // The close box and Escape come here.
    void reject() override { OnCancel(); }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OnShowWindow();

    QCheckBox* m_autoJoin = nullptr;
    int32_t m_nCounter = 0;
    QTimer m_timer;
};
