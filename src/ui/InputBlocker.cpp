#include "ui/InputBlocker.h"

#include <QApplication>
#include <QEvent>

namespace ui {

InputBlocker::InputBlocker() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        m_windows.emplace_back(window);
        if (QWindow* handle = window->windowHandle())
            m_handles.emplace_back(handle);
    }
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool InputBlocker::IsBlocked(QObject* target) const {
    if (auto* widget = qobject_cast<QWidget*>(target)) {
        QWidget* window = widget->window();
        for (const QPointer<QWidget>& w : m_windows)
            if (w == window)
                return true;
        return false;
    }
    if (auto* handle = qobject_cast<QWindow*>(target)) {
        for (const QPointer<QWindow>& h : m_handles)
            if (h == handle)
                return true;
    }
    return false;
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::Close:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
    // A modpack dropped while the game runs would reload the list under the running action.
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return IsBlocked(watched);
    default:
        return false;
    }
}

} // namespace ui
