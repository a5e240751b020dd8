#include "ui/QtMessageBoxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

bool DisplayAvailable() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

void Record(const char* path, const platform::Message& message) {
    std::string line = message.caption + "\t";
    for (char c : message.text) {
        if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else
            line += c;
    }
    line += "\n";
    if (std::FILE* f = std::fopen(path, "ab")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
    }
}

QPointer<QWidget>& MainWindow() {
    static QPointer<QWidget> window;
    return window;
}

} // namespace

void QtMessageBoxes::SetMainWindow(QWidget* window) {
    MainWindow() = window;
}

QWidget* QtMessageBoxes::OwnerWindow(platform::Owner owner) {
    switch (owner) {
    case platform::Owner::None:
        return nullptr;
    case platform::Owner::MainDialog:
        return MainWindow();
    case platform::Owner::ActiveDialog:
        if (QWidget* modal = QApplication::activeModalWidget())
            return modal;
        return MainWindow();
    }
    return nullptr;
}

void QtMessageBoxes::Show(const platform::Message& message) {
    // A box may be needed before the application object exists (the run log refuses a second
    // traced instance first thing). Then a short-lived one is made for it, when there is a screen.
    std::unique_ptr<QApplication> temporary;
    if (QApplication::instance() == nullptr) {
        if (!DisplayAvailable()) {
            platform::ConsoleMessageBoxes().Show(message);
            return;
        }
        static int argc = 1;
        static char name[] = "korvane";
        static char* argv[] = {name, nullptr};
        temporary = std::make_unique<QApplication>(argc, argv);
    }

    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(message.caption),
                    QString::fromStdString(message.text), QMessageBox::Ok,
                    OwnerWindow(message.owner));
    // A short text makes a box so narrow that the window manager cuts its caption ("K... or");
    // a spacer as wide as the caption plus room for the title-bar buttons keeps it readable.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int width = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) + 160;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (const char* record = std::getenv("KORVANE_MESSAGE_RECORD"); record && *record) {
        Record(record, message);
        QTimer::singleShot(0, &box, [&box] { box.done(QMessageBox::Ok); });
    }
    box.exec();
}
