#pragma once
// Joystick 1 through SDL2, and "Joystick Adjust": every 250 ms the stick's position turns into
// timing and alignment corrections (see JoystickMapper) and button 1 clicks the tracking button.
// Without SDL2 there is never a joystick. GUI thread only.
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "passes/Adjustments.h"

struct _SDL_Joystick;

namespace corvane {
struct Settings;
}

namespace corvane::ui {

class Joystick {
public:
    Joystick() = default;
    ~Joystick() { Close(); }
    Joystick(const Joystick&) = delete;
    Joystick& operator=(const Joystick&) = delete;

    // Captures joystick 1; false when there is none.
    bool Open();
    // Axes as 0..65535 and button 1; nullopt when the joystick is not open or was unplugged.
    std::optional<JoystickReport> Poll();
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

private:
    _SDL_Joystick* handle_ = nullptr;
    bool subsystem_ = false;
};

// The "Joystick Adjust" check box's work. Start() fails when there is no joystick 1; the window
// then shows kJoystickErrorText / kJoystickErrorTitle and clears the box.
class JoystickAdjuster : public QObject {
    Q_OBJECT
public:
    JoystickAdjuster(AdjustmentTarget& target, const Settings& settings, std::function<void()> clickTracking,
                     QObject* parent = nullptr);

    bool Start();
    void Stop();
    bool Running() const { return timer_.isActive(); }
    // One poll (the timer calls it every 250 ms).
    void Poll();

    // Where reports come from; the real joystick unless a test replaces it (Start then only
    // starts the timer).
    std::function<std::optional<JoystickReport>()> source;

private:
    AdjustmentTarget& target_;
    const Settings& settings_;
    std::function<void()> clickTracking_;
    Joystick joystick_;
    JoystickMapper mapper_;
    QTimer timer_;
};

}  // namespace corvane::ui
