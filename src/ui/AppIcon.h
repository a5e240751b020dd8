#pragma once
// The program icon, drawn at run time so the window and the task bar need no image file.
#include <QIcon>

namespace ui {

QIcon ProgramIcon();

} // namespace ui
