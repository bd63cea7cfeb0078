#pragma once
// Texts from files as the windows show them: Latin-1 converted to Unicode, and every control
// character (a name from an element file may hold any byte) shown as U+FFFD instead.
#include <QString>
#include <string_view>

#include "core/Text.h"

namespace corvane::ui {

inline QString ShownLatin1(std::string_view text) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        out.append(IsControlByte(c) ? QChar(0xFFFD) : QChar(c));
    }
    return out;
}

// The same for a text already converted.
inline QString WithoutControls(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control) c = QChar(0xFFFD);
    return text;
}

}  // namespace corvane::ui
