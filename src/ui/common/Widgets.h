#pragma once
// Small helpers of the windows: file texts (Latin-1) to and from what the window shows, and the
// plain controls the panels are built from.
#include <QString>
#include <string>

class QLineEdit;
class QPushButton;

namespace corvane::ui {

// Texts of files are Latin-1; the window shows Unicode.
QString FromFile(const std::string& s);
std::string ToFile(const QString& s);
// A push button that never becomes the default button.
QPushButton* SmallButton(const QString& text);
// A box that shows a value and takes no focus.
QLineEdit* ReadOnlyBox();

}  // namespace corvane::ui
