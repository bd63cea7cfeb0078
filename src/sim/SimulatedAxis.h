#pragma once
// One motor axis of a simulated mount: it accelerates at a limited rate towards what it was told
// (a place to stop at, or a rate to run at), never faster than its top speed. The gears have
// play: after a reversal the motor turns through the backlash before the tube follows. The
// motor's position is what the mount's encoders report; Pointing() is where the tube truly is.
#include <algorithm>
#include <cmath>

namespace corvane {

class SimulatedAxis {
public:
    // Degrees of play taken up on each reversal (0: none).
    void SetBacklash(double degrees) { backlash_ = std::max(0.0, degrees); }

    double Position() const { return position_; }
    double Velocity() const { return velocity_; }
    // Where the tube is: the motor's position less the play not yet taken up.
    double Pointing() const { return position_ + play_; }

    // Puts the axis at `degrees` at rest, the play centred.
    void Place(double degrees) {
        position_ = degrees;
        velocity_ = 0.0;
        play_ = 0.0;
    }
    // Moves the motor's idea of its position without turning anything (a sync, a wrap).
    void Relabel(double degrees) { position_ = degrees; }
    void Halt() { velocity_ = 0.0; }

    // Sets the speed for a step of `dt` towards a place `error` degrees away, braking in time to
    // stop there.
    void DriveTowards(double error, double maxRate, double acceleration, double dt) {
        double wanted = std::min(maxRate, std::sqrt(2.0 * acceleration * std::fabs(error)));
        wanted = std::min(wanted, std::fabs(error) / dt);
        RampTo(error < 0 ? -wanted : wanted, acceleration, dt);
    }
    // Sets the speed for a step of `dt` towards a steady `rate`.
    void RampTo(double rate, double acceleration, double dt) {
        velocity_ += std::clamp(rate - velocity_, -acceleration * dt, acceleration * dt);
    }
    // Turns the motor for `dt` at the speed set; the tube follows once the play is taken up.
    void Move(double dt) {
        const double turned = velocity_ * dt;
        position_ += turned;
        play_ = std::clamp(play_ - turned, -backlash_ / 2.0, backlash_ / 2.0);
    }
    // Holds the motor within [low, high] (a mechanical stop); false when it hit one.
    bool Limit(double low, double high) {
        if (position_ >= low && position_ <= high) return true;
        position_ = std::clamp(position_, low, high);
        velocity_ = 0.0;
        return false;
    }

private:
    double position_ = 0.0;
    double velocity_ = 0.0;
    double play_ = 0.0;
    double backlash_ = 0.0;
};

}  // namespace corvane
