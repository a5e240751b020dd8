#pragma once
// The join path's dialogs as real Qt windows, for the engine's DownloadLevel.
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <memory>

#include "session/JoinDialogs.h"
#include "ui/DownloadDlg.h"
#include "ui/InputBlocker.h"

using ui::InputBlocker;

class QtJoinDialogs final : public JoinDialogs {
  public:
    // `mainWindow` parents the dialogs; it may be null.
    explicit QtJoinDialogs(QWidget* mainWindow) : m_mainWindow(mainWindow) {}
    ~QtJoinDialogs() override;

    HostCheckResult RunHostCheck() override;
    bool RunModpackInfo(const std::string& statusText, const std::string& userMessage,
                        bool joinAllowed) override;
    void OpenProgress() override;
    void SetProgressRange(uint32_t totalBytes) override;
    void SetProgressPosition(uint32_t receivedBytes) override;
    void CloseProgress() override;
    bool ProgressCancelRequested() override;

  private:
    void Repaint(bool always);

    QPointer<QWidget> m_mainWindow;
    QPointer<CDownloadDlg> m_progress;
    // The download owns the thread: nothing the player does meanwhile is acted on.
    std::unique_ptr<InputBlocker> m_blockInput;
    std::chrono::steady_clock::time_point m_lastRepaint;
};
