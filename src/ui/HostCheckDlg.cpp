#include "ui/HostCheckDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Settings.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"

using ui::ControlId;
using ui::SetControlId;

CHostCheckDlg::CHostCheckDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("KRV Host Check");
    setModal(true);

    auto* question = new QLabel("Do you want to check the host for KRV ?", this);
    SetControlId(question, ControlId::Unnamed);
    question->setAlignment(Qt::AlignCenter);
    m_autoJoin = new QCheckBox("Automatically join after x seconds", this);
    SetControlId(m_autoJoin, ControlId::AutoJoin);
    auto* checkHost = new QPushButton("Join KRV...", this);
    SetControlId(checkHost, ControlId::CheckHost);
    auto* joinNormal = new QPushButton("Join Normal", this);
    SetControlId(joinNormal, ControlId::JoinNormal);
    joinNormal->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    SetControlId(cancel, ControlId::Cancel);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {checkHost, joinNormal, cancel}) {
        b->setMinimumSize(ui::Dlu(this, 50, 14));
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(m_autoJoin, 0, Qt::AlignHCenter);
    layout->addSpacing(ui::DluY(this, 8));
    layout->addLayout(buttons);
    setMinimumWidth(ui::DluX(this, 178));
    setTabOrder(m_autoJoin, checkHost);
    setTabOrder(checkHost, joinNormal);
    setTabOrder(joinNormal, cancel);

    m_timer.setInterval(kTimerPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &CHostCheckDlg::OnTimer);
    connect(m_autoJoin, &QCheckBox::clicked, this, &CHostCheckDlg::OnAutoJoinClicked);
    connect(checkHost, &QPushButton::clicked, this, &CHostCheckDlg::OnCheckHost);
    connect(joinNormal, &QPushButton::clicked, this, &CHostCheckDlg::OnJoinNormal);
    connect(cancel, &QPushButton::clicked, this, &CHostCheckDlg::OnCancel);
}

void CHostCheckDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Run once the dialog's own loop is running: with a zero countdown the dialog ends at once,
    // and ending it before its loop has started would leave that loop waiting forever.
    QMetaObject::invokeMethod(this, &CHostCheckDlg::OnShowWindow, Qt::QueuedConnection);
}

void CHostCheckDlg::OnShowWindow() {
    if (!isVisible())
        return;
    m_autoJoin->setChecked(g_bAutoJoin != 0);
    OnAutoJoinClicked();
}

void CHostCheckDlg::OnAutoJoinClicked() {
    g_bAutoJoin = m_autoJoin->isChecked() ? 1 : 0;
    if (g_bAutoJoin != 0) {
        m_timer.start(); // restarts a running timer
        m_nCounter = static_cast<int32_t>(g_nSecondsToJoin);
        OnTimer();
    } else {
        // The timer keeps running; its ticks do nothing while the box is unticked.
        m_autoJoin->setText("Auto check and join game ...");
    }
    StoreKrvDword("AutoJoin", g_bAutoJoin, platform::Owner::ActiveDialog);
}

void CHostCheckDlg::OnTimer() {
    if (!m_autoJoin->isChecked())
        return;
    // "&&": a lone "&" would be taken as a shortcut mark and shown as an underlined blank.
    m_autoJoin->setText(QString::asprintf("Auto check && join game in %d seconds", m_nCounter));
    --m_nCounter;
    if (m_nCounter < 0) {
        m_timer.stop();
        done(kCountdownEnded);
    }
}
