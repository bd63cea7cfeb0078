#pragma once
// Small helpers of the windows: file texts (Latin-1) to and from what the window shows, the plain
// controls the panels are built from, the busy cursor and dialog units.
#include <QString>
#include <initializer_list>
#include <string>

class QAction;
class QBoxLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace corvane::ui {

// Texts of files are Latin-1; the window shows Unicode.
QString Latin1(const std::string& text);
std::string ToLatin1(const QString& text);
// A push button that never becomes the default button.
QPushButton* SmallButton(const QString& text);
QPushButton* SmallButton(const char* latin1);
// A box that shows a value and takes no focus.
QLineEdit* ReadOnlyBox();

// Shows the busy cursor for its lifetime.
struct BusyCursor {
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// An "&Edit" menu with "&Copy" (the usual shortcut) above the window's layout; returns the action.
QAction* AddCopyMenu(QWidget* window, QLayout* outer);

// The condition line, the column header (plain text) and the list beneath them, with tab stops
// and the least width (in characters) and height of the list.
struct HeadedList {
    QLabel* condition;
    QLabel* header;
    QListWidget* list;
};
HeadedList AddHeadedList(QBoxLayout* outer, const std::string& condition, const std::string& header,
                         std::initializer_list<int> tabStopsInDialogUnits, int leastChars, int leastHeight);

// Width of dialog units in pixels for a widget's font (a quarter of the average character).
int DialogUnitsX(const QWidget* widget, int units);

}  // namespace corvane::ui
