#pragma once
// Message boxes as Qt windows: modal, an OK button, the caption given, owned by the window the
// core names (none, the main dialog, or the dialog open at the moment).
//
// Test seam: when the environment variable KORVANE_MESSAGE_RECORD names a file, every box is
// still shown, and is also written to that file as one line (caption, a tab, the text with each
// line feed written as backslash-n) and answered with OK at once, so that tests of the whole
// program can run it without a person at the screen.
#include <QPointer>
#include <QWidget>

#include "platform/MessageBoxes.h"

class QtMessageBoxes final : public platform::MessageBoxes {
  public:
    void Show(const platform::Message& message) override;

    // The main dialog, owner of the boxes that name it; null while there is none.
    static void SetMainWindow(QWidget* window);

  private:
    static QWidget* OwnerWindow(platform::Owner owner);
};
