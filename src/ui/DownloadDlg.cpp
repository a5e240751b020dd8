#include "ui/DownloadDlg.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <climits>

#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"

using ui::ControlId;
using ui::SetControlId;

CDownloadDlg::CDownloadDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Downloading Giants Customized Map");
    m_progress = new QProgressBar(this);
    SetControlId(m_progress, ControlId::Progress);
    m_progress->setMinimumSize(ui::Dlu(this, 218, 14));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_cancel = new QPushButton("Cancel", this);
    SetControlId(m_cancel, ControlId::Cancel);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &CDownloadDlg::OnCancel);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_progress, 1);
    layout->addWidget(m_cancel);
}

void CDownloadDlg::OnCancel() {
    m_bCancelRequested = true;
    // The download stops at its next look, within a tenth of a second; until then the button
    // shows that it was heard.
    m_cancel->setEnabled(false);
}

int CDownloadDlg::Scaled(uint32_t value) const {
    if (m_total <= static_cast<uint32_t>(INT_MAX))
        return static_cast<int>(value);
    return static_cast<int>(value / 2);
}

void CDownloadDlg::SetRange(uint32_t total) {
    m_total = total;
    // An empty range would turn the bar into a busy indicator; an empty file is shown as empty.
    m_progress->setRange(0, std::max(1, Scaled(total)));
}

void CDownloadDlg::SetPosition(uint32_t position) {
    // A host may send more than it announced; the bar stays full then.
    m_progress->setValue(Scaled(std::min(position, m_total)));
}
