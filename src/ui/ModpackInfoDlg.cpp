#include "ui/ModpackInfoDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"

using ui::ControlId;
using ui::SetControlId;

CModpackInfoDlg::CModpackInfoDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("KRV Modpack Information");
    setModal(true);

    m_status = new QLabel("Obtaining host info", this);
    SetControlId(m_status, ControlId::StatusText);
    m_status->setWordWrap(true);
    m_status->setMinimumSize(ui::Dlu(this, 274, 19));
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message = new QPlainTextEdit(this);
    SetControlId(m_message, ControlId::UserMessage);
    m_message->setReadOnly(true);
    m_message->setTabChangesFocus(true);
    m_message->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_message->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_message->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_message->setMinimumSize(ui::Dlu(this, 270, 135));
    m_join = new QPushButton("Join", this);
    SetControlId(m_join, ControlId::Ok);
    m_join->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    SetControlId(cancel, ControlId::Cancel);
    for (QPushButton* b : {m_join, cancel})
        b->setMinimumSize(ui::Dlu(this, 50, 14));

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_status, 0, 0);
    layout->addWidget(m_message, 1, 0, 2, 1);
    layout->addWidget(m_join, 0, 1, Qt::AlignTop);
    layout->addWidget(cancel, 1, 1, Qt::AlignTop);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(2, 1);
    setTabOrder(m_message, m_join);
    setTabOrder(m_join, cancel);

    connect(m_join, &QPushButton::clicked, this, [this] { done(kJoin); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(kCancel); });
}

void CModpackInfoDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_status->setText(QString::fromStdString(m_strStatusText));
    m_message->setPlainText(QString::fromStdString(m_strUserMessage));
    m_join->setEnabled(m_bJoinAllowed != 0);
}
