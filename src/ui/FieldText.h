#pragma once
// What an edit field hands over to the program. The original fields held a fixed number of bytes,
// and the values read from them (parameters for the game, an address to join) keep that limit.
#include <QLineEdit>
#include <cstddef>
#include <string>

#include "ui/NumberText.h"

namespace ui {

// The field's text in UTF-8, cut to `limit` bytes without splitting a character.
inline std::string FieldText(const QLineEdit* edit, size_t limit) {
    const std::string text = edit->text().toStdString();
    return std::string(CutToBytes(text, limit));
}

} // namespace ui
