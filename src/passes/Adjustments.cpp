#include "passes/Adjustments.h"

#include <algorithm>
#include <cmath>

#include "core/Settings.h"
#include "core/Text.h"

namespace corvane {

namespace {
double Finite(double v) { return std::isfinite(v) ? v : 0.0; }
int HoldSlider(int position) { return std::clamp(position, 0, 4); }
constexpr int kShortestSweepPeriodMs = 100;
}  // namespace

// ---- buttons ----

std::string AdjustTimingText(std::string_view boxText, double delta) {
    return PlainNumber(RoundTo(LeadingNumber(boxText) + Finite(delta), 2), 2);
}

std::string AdjustAlignmentText(std::string_view boxText, double delta) {
    return PlainNumber(RoundTo(LeadingNumber(boxText) + Finite(delta), 1), 1);
}

void PressTimingButton(AdjustmentTarget& target, TimingButton button, const Settings& settings) {
    double delta = 0.0;
    switch (button) {
        case TimingButton::kMinusCoarse:
            delta = -settings.CoarseTimingIncr;
            break;
        case TimingButton::kMinusFine:
            delta = -settings.FineTimingIncr;
            break;
        case TimingButton::kPlusFine:
            delta = settings.FineTimingIncr;
            break;
        case TimingButton::kPlusCoarse:
            delta = settings.CoarseTimingIncr;
            break;
    }
    target.SetTimingOffsetText(AdjustTimingText(target.TimingOffsetText(), delta));
}

void PressAlignmentButton(AdjustmentTarget& target, bool plus, const Settings& settings) {
    const double delta = plus ? settings.AlignmentIncr : -settings.AlignmentIncr;
    target.SetAlignmentText(AdjustAlignmentText(target.AlignmentText(), delta));
}

// ---- joystick ----

JoystickAction JoystickMapper::Map(const JoystickReport& report, double fineTimingIncr,
                                   double alignmentIncr) {
    JoystickAction a;
    if (report.x > 60000) a.timingDelta = fineTimingIncr;
    if (report.x < 10000) a.timingDelta = -fineTimingIncr;
    if (report.y > 60000) a.alignmentDelta = -alignmentIncr;
    if (report.y < 10000) a.alignmentDelta = alignmentIncr;
    // A held button is one click, not one every report.
    a.clickTracking = report.button1 && !buttonDown_;
    buttonDown_ = report.button1;
    return a;
}

void ApplyJoystickAction(const JoystickAction& action, AdjustmentTarget& target) {
    if (action.timingDelta != 0.0) {
        target.SetTimingOffsetText(AdjustTimingText(target.TimingOffsetText(), action.timingDelta));
    }
    if (action.alignmentDelta != 0.0) {
        target.SetAlignmentText(AdjustAlignmentText(target.AlignmentText(), action.alignmentDelta));
    }
}

// ---- mouse ----

PixelPoint PixelRect::Clamp(PixelPoint p) const {
    p.x = std::clamp(p.x, left, left + std::max(0, width - 1));
    p.y = std::clamp(p.y, top, top + std::max(0, height - 1));
    return p;
}

MouseAdjustLogic::MouseAdjustLogic(AdjustmentTarget& target, int timingMouseAdjust, int alignmentMouseAdjust,
                                   PixelRect confinement)
    : target_(target), confinement_(confinement) {
    openingTiming_ = target_.TimingOffsetText();
    openingAlignment_ = target_.AlignmentText();
    TakeBase();
    timingSlider_ = HoldSlider(4 - timingMouseAdjust);
    alignmentSlider_ = HoldSlider(4 - alignmentMouseAdjust);
}

void MouseAdjustLogic::TakeBase() {
    baseTiming_ = LeadingNumber(target_.TimingOffsetText());
    baseAlignment_ = LeadingNumber(target_.AlignmentText());
}

void MouseAdjustLogic::SetTimingSlider(int position) { timingSlider_ = HoldSlider(position); }
void MouseAdjustLogic::SetAlignmentSlider(int position) { alignmentSlider_ = HoldSlider(position); }

void MouseAdjustLogic::ToggleActive() {
    active_ = !active_;
    if (active_) TakeBase();
}

void MouseAdjustLogic::Reset() {
    target_.SetTimingOffsetText(openingTiming_);
    target_.SetAlignmentText(openingAlignment_);
}

double MouseAdjustLogic::TimingFor(PixelPoint pointer) const {
    const PixelPoint ref = ReferencePoint();
    const double dx = ref.x - pointer.x;
    const int st = TimingMouseAdjust();
    return RoundTo(baseTiming_ + dx / (80.0 * st + 40.0), 3);
}

double MouseAdjustLogic::AlignmentFor(PixelPoint pointer) const {
    const PixelPoint ref = ReferencePoint();
    const double dy = pointer.y - ref.y;
    const int sa = AlignmentMouseAdjust();
    return RoundTo(baseAlignment_ - dy / (4.0 * sa + 4.0), 1);
}

std::optional<PixelPoint> MouseAdjustLogic::Tick(const std::vector<AdjustKey>& keys, PixelPoint pointer) {
    std::optional<PixelPoint> moveTo;
    auto place = [&](PixelPoint p) {
        pointer = p;
        moveTo = p;
    };
    if (active_ && !confinement_.Contains(pointer)) place(confinement_.Clamp(pointer));
    for (AdjustKey key : keys) {
        switch (key) {
            case AdjustKey::kPageUp:
            case AdjustKey::kPageDown: {
                const int step = key == AdjustKey::kPageUp ? 1 : -1;
                timingSlider_ = HoldSlider(timingSlider_ + step);
                alignmentSlider_ = HoldSlider(alignmentSlider_ + step);
                if (active_) {
                    TakeBase();
                    place(ReferencePoint());
                }
                break;
            }
            case AdjustKey::kLeft:
            case AdjustKey::kRight:
            case AdjustKey::kUp:
            case AdjustKey::kDown:
                if (active_) {
                    PixelPoint p = pointer;
                    if (key == AdjustKey::kLeft) p.x -= kArrowStepPixels;
                    if (key == AdjustKey::kRight) p.x += kArrowStepPixels;
                    if (key == AdjustKey::kUp) p.y -= kArrowStepPixels;
                    if (key == AdjustKey::kDown) p.y += kArrowStepPixels;
                    place(confinement_.Clamp(p));
                }
                break;
            case AdjustKey::kEscape:
                if (!active_) Reset();
                break;
        }
    }
    if (active_) {
        target_.SetTimingOffsetText(PlainNumber(TimingFor(pointer), 3));
        target_.SetAlignmentText(PlainNumber(AlignmentFor(pointer), 1));
    }
    return moveTo;
}

// ---- Find Timing Offset ----

std::vector<std::string> FindTimingRangeItems() {
    std::vector<std::string> items;
    for (int v = -10; v <= 10; ++v) items.push_back(std::to_string(v));
    return items;
}

std::vector<std::string> FindTimingFrequencyItems() {
    std::vector<std::string> items;
    for (int v = 2; v <= 15; ++v) items.push_back(std::to_string(v));
    return items;
}

std::vector<std::string> FindTimingIncrementItems() { return {"0.1", "0.2", "0.5", "1.0", "2.0"}; }

int IncrementPreselection(double stored) {
    const double r = RoundTo(Finite(stored), 1);
    if (r < 0.15) return 0;
    if (r < 0.3) return 1;
    if (r == 0.5) return 2;
    if (r == 1.0) return 3;
    if (r == 2.0) return 4;
    return -1;
}

SweepSetup ReadSweepSetup(std::string_view start, std::string_view end, std::string_view increment,
                          std::string_view frequency) {
    auto whole = [](std::string_view t) {
        const double v = std::trunc(LeadingNumber(t));
        return static_cast<int>(std::clamp(v, -1.0e6, 1.0e6));
    };
    SweepSetup s;
    s.start = whole(start);
    s.end = whole(end);
    s.increment = LeadingNumber(increment);
    s.frequency = LeadingNumber(frequency);
    return s;
}

void StoreSweepSetup(const SweepSetup& setup, Settings& settings) {
    settings.TestTimingStart = setup.start;
    settings.TestTimingEnd = setup.end;
    settings.TestTimingIncrement = setup.increment;
    settings.TestTimingIncrementFrequency = setup.frequency;
}

int TimingSweep::Start(const SweepSetup& setup, AdjustmentTarget& target) {
    Stop();
    setup_ = setup;
    target.SetTimingOffsetText(PlainNumber(setup.start, 1));
    // DEPARTURE: an increment of 0 or less could never reach the end (a negative one would drive
    // the offset without bound), so no sweep starts; the start value is still written.
    if (!(setup.increment > 0.0)) return 0;
    step_ = 1;
    up_ = true;
    // DEPARTURE: a period under 0.1 s (0 from a non-numeric box) would step without pause.
    const double ms = std::round(Finite(setup.frequency) * 1000.0);
    return static_cast<int>(std::clamp(ms, static_cast<double>(kShortestSweepPeriodMs), 3600000.0));
}

bool TimingSweep::Tick(bool loop, AdjustmentTarget& target) {
    if (step_ <= 0) return false;
    ++step_;
    const double travelled = (step_ - 1) * setup_.increment;
    if (up_) {
        const double value = RoundTo(setup_.start + travelled, 1);
        if (value > setup_.end) {
            if (!loop) {
                Stop();
                return false;
            }
            up_ = false;
            step_ = 1;
            return true;
        }
        target.SetTimingOffsetText(PlainNumber(value, 1));
    } else {
        const double value = RoundTo(setup_.end - travelled, 1);
        if (value < setup_.start) {
            if (!loop) {
                Stop();
                return false;
            }
            up_ = true;
            step_ = 1;
            return true;
        }
        target.SetTimingOffsetText(PlainNumber(value, 1));
    }
    return true;
}

void TimingSweep::Stop() {
    step_ = 0;
    up_ = true;
}

}  // namespace corvane
