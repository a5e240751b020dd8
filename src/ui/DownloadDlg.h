#pragma once
// The download progress dialog, modeless: a bar from 0 to the file size, and a Cancel button.
// Cancel, Escape and the close box do not close the dialog themselves; they ask the download to
// stop, and the download closes the dialog once it has let go of the transfer.
#include <QDialog>
#include <cstdint>

class QProgressBar;
class QPushButton;

class CDownloadDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CDownloadDlg(QWidget* parent = nullptr);

    // The bar takes the full 32-bit range; Qt's bar counts in int, so large sizes are scaled.
    void SetRange(uint32_t total);
    void SetPosition(uint32_t position);
    QProgressBar* Bar() const { return m_progress; }

    bool CancelRequested() const { return m_bCancelRequested; }
    // Escape and the close box count as Cancel.
    void reject() override { OnCancel(); }

  private:
    int Scaled(uint32_t value) const;
    void OnCancel();

    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    uint32_t m_total = 0;
    bool m_bCancelRequested = false;
};
