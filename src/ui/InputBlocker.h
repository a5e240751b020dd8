#pragma once
// While one exists, user actions on the windows that were open when it was made are swallowed:
// they still repaint, but nothing the player does to them meanwhile is acted on, then or later.
// Windows opened later (a message box, the download progress window) work as usual, so a message
// shown during a blocked stretch can still be answered. Used while the user-interface thread is
// busy with the game or a download, where the program is meant to be unresponsive but should not
// look dead.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <vector>

namespace ui {

class InputBlocker final : public QObject {
  public:
    InputBlocker();
    ~InputBlocker() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool IsBlocked(QObject* target) const;

    std::vector<QPointer<QWidget>> m_windows;
    std::vector<QPointer<QWindow>> m_handles;
};

} // namespace ui
