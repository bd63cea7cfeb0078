#pragma once
// Small helpers of the windows: file texts (Latin-1) to and from what the window shows, the plain
// controls the panels are built from, the busy cursor and dialog units.
#include <QString>
#include <string>

class QLineEdit;
class QPushButton;
class QWidget;

namespace corvane::ui {

// Texts of files are Latin-1; the window shows Unicode.
QString Latin1(const std::string& text);
std::string ToLatin1(const QString& text);
// A push button that never becomes the default button.
QPushButton* SmallButton(const QString& text);
// A box that shows a value and takes no focus.
QLineEdit* ReadOnlyBox();

// Shows the busy cursor for its lifetime.
struct BusyCursor {
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Width of dialog units in pixels for a widget's font (a quarter of the average character).
int DialogUnitsX(const QWidget* widget, int units);

}  // namespace corvane::ui
