#include "ui/common/NightVision.h"

#include <QApplication>
#include <QWidget>

namespace corvane::ui {

namespace {
const QColor kDimRed(168, 0, 0);
const QColor kMenuRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kCaptionGradient(0, 0, 128);

void RepolishAll() {
    for (QWidget* w : QApplication::allWidgets()) w->update();
}
}  // namespace

QPalette NightVision::NightPalette() {
    QPalette p;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Window, kBlack);           // button face: dialog backgrounds
        p.setColor(group, QPalette::Button, kBlack);           // button face
        p.setColor(group, QPalette::Base, kBlack);             // window background: edit boxes, lists
        p.setColor(group, QPalette::AlternateBase, kBlack);
        p.setColor(group, QPalette::Highlight, kDimRed);       // selection highlight
        p.setColor(group, QPalette::HighlightedText, kBlack);  // highlighted text
        p.setColor(group, QPalette::WindowText, kDimRed);      // window text
        p.setColor(group, QPalette::Text, kDimRed);
        p.setColor(group, QPalette::ButtonText, kDimRed);      // button text
        p.setColor(group, QPalette::Light, kDimRed);           // 3-D light
        p.setColor(group, QPalette::Midlight, kDimRed);        // button highlight
        p.setColor(group, QPalette::Mid, kDimRed);
        p.setColor(group, QPalette::Dark, kDimRed);            // button shadow
        p.setColor(group, QPalette::Shadow, kDimRed);          // window frame
        p.setColor(group, QPalette::BrightText, kMenuRed);
        p.setColor(group, QPalette::ToolTipBase, kBlack);
        p.setColor(group, QPalette::ToolTipText, kDimRed);
        p.setColor(group, QPalette::PlaceholderText, kDimRed);
        p.setColor(group, QPalette::Link, kDimRed);
        p.setColor(group, QPalette::LinkVisited, kDimRed);
    }
    // Grey (disabled) text.
    p.setColor(QPalette::Disabled, QPalette::WindowText, kBlack);
    p.setColor(QPalette::Disabled, QPalette::Text, kBlack);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, kBlack);
    return p;
}

QString NightVision::NightStyleSheet() {
    // Menus (menu background and menu text) and the application workspace; the caption colours
    // belong to the desktop's window manager and are not the program's to change.
    return QStringLiteral(
        "QMenuBar, QMenu { background-color: rgb(0,0,0); color: rgb(255,0,0); }"
        "QMenuBar::item:selected, QMenu::item:selected { background-color: rgb(168,0,0); color: rgb(0,0,0); }"
        "QMenu::item:disabled { color: rgb(0,0,0); }"
        "QToolTip { background-color: rgb(0,0,0); color: rgb(168,0,0); border: 1px solid rgb(168,0,0); }"
        "QProgressBar { border: 1px solid rgb(168,0,0); background-color: rgb(0,0,0); }"
        "QProgressBar::chunk { background-color: rgb(168,0,0); }"
        // Frames and indicators are drawn from shades of the background colour, which is black
        // here: give them a dim red outline so that boxes and check marks stay visible.
        "QLineEdit, QComboBox, QAbstractSpinBox, QListView, QTextEdit, QPlainTextEdit {"
        " border: 1px solid rgb(110,0,0); background-color: rgb(0,0,0); color: rgb(168,0,0); }"
        "QCheckBox::indicator, QRadioButton::indicator { width: 10px; height: 10px;"
        " border: 1px solid rgb(168,0,0); background-color: rgb(0,0,0); }"
        "QRadioButton::indicator { border-radius: 6px; }"
        "QCheckBox::indicator:checked, QRadioButton::indicator:checked { background-color: rgb(168,0,0); }"
        "QSlider::groove:horizontal { border: 1px solid rgb(168,0,0); height: 4px; }"
        "QSlider::handle:horizontal { background-color: rgb(168,0,0); width: 8px; margin: -5px 0; }");
}

void NightVision::Save() {
    saved_ = QApplication::palette();
    if (auto* app = qobject_cast<QApplication*>(QApplication::instance())) savedStyleSheet_ = app->styleSheet();
    saved_valid_ = true;
}

bool NightVision::Apply() {
    auto* app = qobject_cast<QApplication*>(QApplication::instance());
    if (!app) return false;
    if (!saved_valid_) Save();
    QApplication::setPalette(NightPalette());
    app->setStyleSheet(savedStyleSheet_ + NightStyleSheet());
    RepolishAll();
    on_ = true;
    return true;
}

bool NightVision::Restore() {
    if (!on_) return false;
    auto* app = qobject_cast<QApplication*>(QApplication::instance());
    if (!app) return false;
    QApplication::setPalette(saved_);
    app->setStyleSheet(savedStyleSheet_);
    RepolishAll();
    on_ = false;
    return true;
}

}  // namespace corvane::ui
