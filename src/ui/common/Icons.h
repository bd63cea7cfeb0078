#pragma once
// The pictures of the main window, drawn at run time: the tracking start/stop button and the
// sun, eclipse and warning icons of the position panel, each in a normal and a night-vision set.
#include <QIcon>
#include <QPixmap>

namespace corvane::ui {

enum class Picture { Start, Stop, Sun, Eclipse, Warning };

QPixmap DrawPicture(Picture which, bool nightVision, int size = 32);
inline QIcon PictureIcon(Picture which, bool nightVision, int size = 32) {
    return QIcon(DrawPicture(which, nightVision, size));
}

}  // namespace corvane::ui
