#pragma once
// The download progress dialog, modeless: a bar from 0 to the file size, and a Cancel button that
// is hidden and disabled, because a download cannot be cancelled.
#include <QDialog>
#include <cstdint>

class QProgressBar;

class CDownloadDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CDownloadDlg(QWidget* parent = nullptr);

    // The bar takes the full 32-bit range; Qt's bar counts in int, so large sizes are scaled.
    void SetRange(uint32_t total);
    void SetPosition(uint32_t position);
    QProgressBar* Bar() const { return m_progress; }

    // Escape and the close box must not end a download in progress.
    void reject() override {}

  private:
    int Scaled(uint32_t value) const;

    QProgressBar* m_progress = nullptr;
    uint32_t m_total = 0;
};
