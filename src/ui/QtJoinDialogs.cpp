#include "ui/QtJoinDialogs.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "ui/DownloadDlg.h"
#include "ui/HostCheckDlg.h"
#include "ui/ModpackInfoDlg.h"

namespace {

// A download looks at the dialog after every 1 KiB piece; handing the event loop a turn that
// often would slow a fast transfer down for nothing the eye can see.
constexpr std::chrono::milliseconds kRepaintInterval{20};

} // namespace

// Lets the progress window paint and take its Cancel button; what the player does meanwhile to
// the other windows is swallowed (m_blockInput).
void QtJoinDialogs::Repaint(bool always) {
    const auto now = std::chrono::steady_clock::now();
    if (!always && now - m_lastRepaint < kRepaintInterval)
        return;
    m_lastRepaint = now;
    QCoreApplication::processEvents();
}

QtJoinDialogs::~QtJoinDialogs() {
    CloseProgress();
}

HostCheckResult QtJoinDialogs::RunHostCheck() {
    CHostCheckDlg dialog(m_mainWindow);
    switch (dialog.exec()) {
    case CHostCheckDlg::kCheckHost:
        return HostCheckResult::CheckHost;
    case CHostCheckDlg::kJoinNormal:
        return HostCheckResult::JoinNormal;
    case CHostCheckDlg::kCancel:
        return HostCheckResult::Cancel;
    case CHostCheckDlg::kCountdownEnded:
        return HostCheckResult::TimedOut;
    default:
        return HostCheckResult::Failed;
    }
}

bool QtJoinDialogs::RunModpackInfo(const std::string& statusText, const std::string& userMessage,
                                   bool joinAllowed) {
    CModpackInfoDlg dialog(m_mainWindow);
    dialog.m_strStatusText = statusText;
    dialog.m_strUserMessage = userMessage;
    dialog.m_bJoinAllowed = joinAllowed ? 1 : 0;
    return dialog.exec() == CModpackInfoDlg::kJoin;
}

void QtJoinDialogs::OpenProgress() {
    CloseProgress();
    m_blockInput = std::make_unique<InputBlocker>();
    m_progress = new CDownloadDlg(m_mainWindow);
    m_progress->show();
    Repaint(true);
}

void QtJoinDialogs::SetProgressRange(uint32_t totalBytes) {
    if (m_progress != nullptr)
        m_progress->SetRange(totalBytes);
}

void QtJoinDialogs::SetProgressPosition(uint32_t receivedBytes) {
    if (m_progress != nullptr) {
        m_progress->SetPosition(receivedBytes);
        Repaint(false);
    }
}

bool QtJoinDialogs::ProgressCancelRequested() {
    if (m_progress == nullptr)
        return false;
    Repaint(false);
    return m_progress != nullptr && m_progress->CancelRequested();
}

void QtJoinDialogs::CloseProgress() {
    delete m_progress.data();
    m_progress = nullptr;
    m_blockInput.reset();
}
