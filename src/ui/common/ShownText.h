#pragma once
// Texts from files as the windows show them: Latin-1 converted to Unicode (bytes that form UTF-8,
// a name from a UTF-8 file, as UTF-8), and every control character (a name from an element file
// may hold any byte) shown as U+FFFD instead.
#include <QString>
#include <string_view>

#include "core/Text.h"

namespace corvane::ui {

inline QString ShownLatin1(std::string_view text) {
    return QString::fromStdString(Latin1ToUtf8Printable(text));
}

// The same for a text already converted.
inline QString WithoutControls(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control) c = QChar(0xFFFD);
    return text;
}

}  // namespace corvane::ui
