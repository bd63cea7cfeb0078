#include "ui/telescope/Joystick.h"

#include "core/Settings.h"

#ifdef CORVANE_HAVE_SDL2
#include <SDL.h>
#endif

namespace corvane::ui {

bool Joystick::Open() {
    if (handle_) return true;
#ifdef CORVANE_HAVE_SDL2
    if (!subsystem_) {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
        subsystem_ = true;
    }
    if (SDL_NumJoysticks() < 1 || !(handle_ = SDL_JoystickOpen(0))) {
        Close();
        return false;
    }
    return true;
#else
    return false;
#endif
}

std::optional<JoystickReport> Joystick::Poll() {
#ifdef CORVANE_HAVE_SDL2
    if (!handle_) return std::nullopt;
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(handle_)) return std::nullopt;
    JoystickReport r;
    r.x = static_cast<unsigned>(SDL_JoystickGetAxis(handle_, 0) + 32768);
    r.y = static_cast<unsigned>(SDL_JoystickGetAxis(handle_, 1) + 32768);
    r.button1 = SDL_JoystickGetButton(handle_, 0) != 0;
    return r;
#else
    return std::nullopt;
#endif
}

void Joystick::Close() {
#ifdef CORVANE_HAVE_SDL2
    if (handle_) SDL_JoystickClose(handle_);
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
#endif
    handle_ = nullptr;
    subsystem_ = false;
}

JoystickAdjuster::JoystickAdjuster(AdjustmentTarget& target, const Settings& settings,
                                   std::function<void()> clickTracking, QObject* parent)
    : QObject(parent), target_(target), settings_(settings), clickTracking_(std::move(clickTracking)) {
    timer_.setInterval(kJoystickPollMs);
    connect(&timer_, &QTimer::timeout, this, &JoystickAdjuster::Poll);
}

bool JoystickAdjuster::Start() {
    if (!source) {
        if (!joystick_.Open()) return false;
    }
    mapper_.Reset();
    timer_.start();
    return true;
}

void JoystickAdjuster::Stop() {
    timer_.stop();
    joystick_.Close();
}

void JoystickAdjuster::Poll() {
    const std::optional<JoystickReport> report = source ? source() : joystick_.Poll();
    if (!report) return;
    const JoystickAction action = mapper_.Map(*report, settings_.FineTimingIncr, settings_.AlignmentIncr);
    ApplyJoystickAction(action, target_);
    if (action.clickTracking && clickTracking_) clickTracking_();
}

}  // namespace corvane::ui
