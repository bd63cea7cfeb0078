#pragma once
// Night vision: every window of the program turns dim red on black, so that the observer keeps
// dark-adapted eyes. Done through the application's palette and style sheet; the desktop's own
// colours are left alone. GUI thread only.
#include <QPalette>
#include <QString>

class QWidget;

namespace corvane::ui {

class NightVision {
public:
    // Mode 0: remember the colours in use (once, at start-up).
    void Save();
    // Mode 1: apply the night colours. Returns true when they were applied.
    bool Apply();
    // Mode 2: put the saved colours back, only when night vision is on. Returns true when done.
    bool Restore();

    bool IsOn() const { return on_; }

    // The night palette: the colour table applied to Qt's roles.
    static QPalette NightPalette();
    static QString NightStyleSheet();

private:
    QPalette saved_;
    QString savedStyleSheet_;
    bool saved_valid_ = false;
    bool on_ = false;
};

}  // namespace corvane::ui
