#include "ui/OptionsDlg.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "app/Settings.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"
#include "ui/FieldText.h"
#include "ui/NumberText.h"

using ui::ControlId;
using ui::FieldText;
using ui::SetControlId;

namespace {

// The longest texts the original fields handed over; longer ones are cut when read.
constexpr size_t kSecondsOnLeave = 253;
constexpr size_t kFieldOnOK = 510;

} // namespace

COptionsDlg::COptionsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("KRV Options");
    setModal(true);

    auto* parametersLabel = new QLabel("Additional command line parameters :", this);
    SetControlId(parametersLabel, ControlId::Unnamed);
    m_parameters = new QLineEdit(this);
    SetControlId(m_parameters, ControlId::Parameters);
    m_autoJoin = new QCheckBox("Automatically check for KRV and join game after", this);
    SetControlId(m_autoJoin, ControlId::AutoJoin);
    m_seconds = new QLineEdit(this);
    SetControlId(m_seconds, ControlId::SecondsToJoin);
    m_seconds->setAlignment(Qt::AlignCenter);
    m_seconds->setFixedWidth(ui::DluX(this, 24));
    auto* secondsLabel = new QLabel("seconds", this);
    SetControlId(secondsLabel, ControlId::Unnamed);
    auto* ok = new QPushButton("OK", this);
    SetControlId(ok, ControlId::Ok);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    SetControlId(cancel, ControlId::Cancel);
    for (QPushButton* b : {ok, cancel})
        b->setMinimumSize(ui::Dlu(this, 50, 14));

    auto* grid = new QGridLayout(this);
    grid->addWidget(parametersLabel, 0, 0);
    grid->addWidget(m_parameters, 0, 1);
    auto* countdown = new QHBoxLayout;
    countdown->addWidget(m_autoJoin);
    countdown->addWidget(m_seconds);
    countdown->addWidget(secondsLabel);
    countdown->addStretch(1);
    grid->addLayout(countdown, 1, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(ui::DluX(this, 326));
    setTabOrder(m_parameters, m_autoJoin);
    setTabOrder(m_autoJoin, m_seconds);
    setTabOrder(m_seconds, ok);
    setTabOrder(ok, cancel);

    m_seconds->installEventFilter(this);
    connect(m_autoJoin, &QCheckBox::clicked, this, &COptionsDlg::OnAutoJoinClicked);
    connect(ok, &QPushButton::clicked, this, &COptionsDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &COptionsDlg::reject);
}

void COptionsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        OnShowWindow();
}

void COptionsDlg::OnShowWindow() {
    // A fresh load, so the dialog always shows what is stored, not what a cancelled edit left.
    g_strCmdLine.clear();
    GetRegistryItems();
    m_parameters->setText(QString::fromStdString(g_strCmdLine));
    m_autoJoin->setChecked(g_bAutoJoin != 0);
    OnAutoJoinClicked();
}

void COptionsDlg::OnAutoJoinClicked() {
    if (m_autoJoin->isChecked()) {
        m_seconds->setEnabled(true);
        m_seconds->setText(QString::number(g_nSecondsToJoin));
    } else {
        m_seconds->setEnabled(false);
        m_seconds->clear();
    }
}

bool COptionsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_seconds && event->type() == QEvent::FocusOut)
        OnSecondsKillFocus();
    return QDialog::eventFilter(watched, event);
}

void COptionsDlg::OnSecondsKillFocus() {
    if (!isVisible())
        return;
    const std::optional<int> seconds =
        ui::ReadCountdownSeconds(FieldText(m_seconds, kSecondsOnLeave));
    const QString text = seconds ? QString::number(*seconds) : QString();
    if (m_seconds->isEnabled())
        m_seconds->setText(text);
}

void COptionsDlg::OnOK() {
    g_bAutoJoin = m_autoJoin->isChecked() ? 1 : 0;
    if (g_bAutoJoin != 0) {
        // A field without a number keeps the countdown as it was: OK is usually reached by leaving
        // the field, which has emptied it, and an empty field says nothing about a new value.
        if (const std::optional<int> seconds =
                ui::ReadCountdownSeconds(FieldText(m_seconds, kFieldOnOK)))
            g_nSecondsToJoin = static_cast<uint32_t>(*seconds);
    }
    g_strCmdLine = FieldText(m_parameters, kFieldOnOK);
    const bool stored = WriteKrvSettings({KrvSetting::Dword("SecondsToJoin", g_nSecondsToJoin),
                                          KrvSetting::Dword("AutoJoin", g_bAutoJoin),
                                          KrvSetting::Text("CMDLine", g_strCmdLine)},
                                         platform::Owner::ActiveDialog);
    if (stored)
        done(QDialog::Accepted);
    else
        done(QDialog::Rejected);
}
