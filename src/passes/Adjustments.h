#pragma once
// The user's manual corrections while the telescope follows an object: the Timing Offset
// (seconds, shifts the object along its track in time) and the Alignment Adjustment (steps).
// They live in two boxes of the main window, which the tracking driver reads; the buttons, the
// joystick, the mouse adjustment window and the Find Timing Offset sweep all work by rewriting
// those boxes. Everything here is pure logic stepped by its caller (timer ticks, joystick
// reports), so tests run it in virtual time.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct Settings;

// The two boxes as the adjustment tools see them. The main window implements it over its boxes
// (and publishes the values to LiveState); tests use AdjustmentBoxes.
class AdjustmentTarget {
public:
    virtual ~AdjustmentTarget() = default;
    virtual std::string TimingOffsetText() const = 0;
    virtual std::string AlignmentText() const = 0;
    virtual void SetTimingOffsetText(const std::string& text) = 0;
    virtual void SetAlignmentText(const std::string& text) = 0;
};

class AdjustmentBoxes : public AdjustmentTarget {
public:
    std::string timing = "0", alignment = "0";
    int timingWrites = 0, alignmentWrites = 0;

    std::string TimingOffsetText() const override { return timing; }
    std::string AlignmentText() const override { return alignment; }
    void SetTimingOffsetText(const std::string& text) override {
        timing = text;
        ++timingWrites;
    }
    void SetAlignmentText(const std::string& text) override {
        alignment = text;
        ++alignmentWrites;
    }
};

// ---- buttons ----

// The box's number (non-numeric text reads as 0) plus delta, rounded: timing to 2 decimals,
// alignment to 1; written as plain decimal text ("1.5", "-0.1", "0"). No limits.
std::string AdjustTimingText(std::string_view boxText, double delta);
std::string AdjustAlignmentText(std::string_view boxText, double delta);

// The timing buttons from left to right.
enum class TimingButton { kMinusCoarse, kMinusFine, kPlusFine, kPlusCoarse };
void PressTimingButton(AdjustmentTarget& target, TimingButton button, const Settings& settings);
void PressAlignmentButton(AdjustmentTarget& target, bool plus, const Settings& settings);

// ---- joystick ----

inline constexpr const char* kJoystickErrorText = "Cannot find Joystick 1.";
inline constexpr const char* kJoystickErrorTitle = "JoyStick Error";
inline constexpr int kJoystickPollMs = 250;

// One movement report of joystick 1: axes 0..65535 (centre 32768), button 1.
struct JoystickReport {
    unsigned x = 32768, y = 32768;
    bool button1 = false;
};

struct JoystickAction {
    double timingDelta = 0.0;     // seconds
    double alignmentDelta = 0.0;  // steps
    bool clickTracking = false;   // act as a click on the tracking start/stop button
};

// Maps reports to corrections: x above 60000 adds FineTimingIncr, below 10000 subtracts it; y
// above 60000 subtracts AlignmentIncr, below 10000 adds it; both axes in the same report.
// Button 1 clicks the tracking button once per press.
class JoystickMapper {
public:
    JoystickAction Map(const JoystickReport& report, double fineTimingIncr, double alignmentIncr);
    void Reset() { buttonDown_ = false; }

private:
    bool buttonDown_ = false;
};

// Applies an action's corrections to the boxes with the buttons' rounding; writes only the boxes
// that change.
void ApplyJoystickAction(const JoystickAction& action, AdjustmentTarget& target);

// ---- "Tracking Adjustments with Mouse" ----

struct PixelPoint {
    int x = 0, y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// A rectangle in window coordinates (from the window's top-left corner).
struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
    PixelPoint Centre() const { return {left + width / 2, top + height / 2}; }
    bool Contains(PixelPoint p) const {
        return p.x >= left && p.x < left + width && p.y >= top && p.y < top + height;
    }
    PixelPoint Clamp(PixelPoint p) const;
};

// The area the pointer is kept in while adjusting; its centre (214, 188) is the reference point.
inline constexpr PixelRect kMouseConfinement{13, 32, 402, 312};
inline constexpr int kMouseTimerMs = 60;
inline constexpr int kArrowStepPixels = 5;

enum class AdjustKey { kPageUp, kPageDown, kLeft, kRight, kUp, kDown, kEscape };

// The mouse adjustment state machine. Sliders run 0 ("Fine") to 4 ("Coarse"); a sensitivity
// setting (TimingMouseAdjust, AlignmentMouseAdjust) is 4 minus the slider position.
class MouseAdjustLogic {
public:
    // Opening: remembers the boxes' texts (for "Reset [Esc]") and takes the base values.
    MouseAdjustLogic(AdjustmentTarget& target, int timingMouseAdjust, int alignmentMouseAdjust,
                     PixelRect confinement = kMouseConfinement);

    int TimingSlider() const { return timingSlider_; }
    int AlignmentSlider() const { return alignmentSlider_; }
    // The user moved a slider (held to 0..4).
    void SetTimingSlider(int position);
    void SetAlignmentSlider(int position);
    int TimingMouseAdjust() const { return 4 - timingSlider_; }
    int AlignmentMouseAdjust() const { return 4 - alignmentSlider_; }

    bool Active() const { return active_; }
    PixelPoint ReferencePoint() const { return confinement_.Centre(); }
    const PixelRect& Confinement() const { return confinement_; }

    // Right click or End. Starting takes the base values from the boxes again; the window then
    // hides its controls, shows the cross cursor and puts the pointer on ReferencePoint().
    void ToggleActive();

    // "Reset [Esc]": the opening texts back into both boxes.
    void Reset();

    // One timer tick with the keys pressed since the last tick and the pointer's position in
    // window coordinates. Returns where the window must put the pointer, when it has to move it
    // (kept inside the area, arrow keys, Page Up/Down while adjusting).
    std::optional<PixelPoint> Tick(const std::vector<AdjustKey>& keys, PixelPoint pointer);

    // The values the formulas give for a pointer position (used by Tick).
    double TimingFor(PixelPoint pointer) const;
    double AlignmentFor(PixelPoint pointer) const;

private:
    void TakeBase();

    AdjustmentTarget& target_;
    PixelRect confinement_;
    std::string openingTiming_, openingAlignment_;
    double baseTiming_ = 0.0, baseAlignment_ = 0.0;
    int timingSlider_ = 4, alignmentSlider_ = 4;
    bool active_ = false;
};

// ---- "Find Timing Offset" ----

// The list entries: start and end -10..10, frequency 2..15, increments "0.1" .. "2.0".
std::vector<std::string> FindTimingRangeItems();
std::vector<std::string> FindTimingFrequencyItems();
std::vector<std::string> FindTimingIncrementItems();
// The increment entry preselected for a stored increment (rounded to one decimal): below 0.15
// "0.1", below 0.3 "0.2", exactly 0.5, 1 or 2 their entry; -1 for anything else.
int IncrementPreselection(double storedIncrement);

struct SweepSetup {
    int start = -2, end = 2;  // whole seconds
    double increment = 0.5;   // seconds
    double frequency = 4;     // seconds between steps
};
// Reads the four list texts (non-numeric text reads as 0; start and end as whole numbers).
SweepSetup ReadSweepSetup(std::string_view start, std::string_view end, std::string_view increment,
                          std::string_view frequency);
// What the window stores into TestTimingStart, TestTimingEnd, TestTimingIncrement and
// TestTimingIncrementFrequency when it is destroyed.
void StoreSweepSetup(const SweepSetup& setup, Settings& settings);

// The sweep: stopped (step 0), going up or going down.
class TimingSweep {
public:
    // "Start/Restart": writes the start value into the Timing Offset box and starts from step 1
    // going up. Returns the timer period in ms, or 0 when no sweep runs.
    int Start(const SweepSetup& setup, AdjustmentTarget& target);
    // One timer tick while running; loop is the "Loop" box now. Writes the next value (one
    // decimal) or, past an end, turns (with loop, writing nothing on that tick) or stops. Returns
    // false once stopped.
    bool Tick(bool loop, AdjustmentTarget& target);
    // "Stop": the box keeps the last value written.
    void Stop();

    bool Running() const { return step_ > 0; }
    bool GoingUp() const { return up_; }
    int Step() const { return step_; }

private:
    SweepSetup setup_;
    int step_ = 0;
    bool up_ = true;
};

}  // namespace corvane
