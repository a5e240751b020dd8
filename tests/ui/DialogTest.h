#pragma once
// What the dialog tests share: controls found by their ids as other tools find them, and a main
// that runs one QtTest class under the offscreen platform.
#include <QtTest>
#include <QtWidgets>

#include "ui/ControlIds.h"

namespace dialog_test {

using ui::ControlId;

template <typename T = QWidget> T* Control(QWidget* dialog, ControlId id) {
    T* control = dialog->findChild<T*>(ui::ControlName(id));
    if (control == nullptr)
        qFatal("control %d missing", static_cast<int>(id));
    return control;
}

inline QString Text(QWidget* dialog, ControlId id) {
    QWidget* w = Control(dialog, id);
    return w->property(qobject_cast<QPlainTextEdit*>(w) ? "plainText" : "text").toString();
}

inline void Click(QWidget* dialog, ControlId id) {
    QTest::mouseClick(Control(dialog, id), Qt::LeftButton);
}

} // namespace dialog_test

// Fontconfig, loaded by Qt's text layout, keeps its caches until the process ends.
#define KORVANE_DIALOG_TEST_MAIN(TestClass)                                                        \
    extern "C" const char* __lsan_default_suppressions() {                                         \
        return "leak:libfontconfig\n";                                                             \
    }                                                                                              \
    extern "C" const char* __lsan_default_options() {                                              \
        return "print_suppressions=0";                                                             \
    }                                                                                              \
    QTEST_MAIN(TestClass)
