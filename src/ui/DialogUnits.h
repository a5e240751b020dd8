#pragma once
// Dialog units, the measure in which the original window layouts were drawn: a quarter of the
// font's average character width across, an eighth of its height down. The layouts here are Qt
// layouts; these helpers only keep the original proportions as minimum sizes.
#include <QFontMetrics>
#include <QSize>
#include <QWidget>

namespace ui {

inline int DluX(const QWidget* w, int units) {
    return units * QFontMetrics(w->font()).averageCharWidth() / 4;
}

inline int DluY(const QWidget* w, int units) {
    return units * QFontMetrics(w->font()).height() / 8;
}

inline QSize Dlu(const QWidget* w, int x, int y) {
    return QSize(DluX(w, x), DluY(w, y));
}

} // namespace ui
