#pragma once
// The main window's menu command numbers and its View Plan timer.

namespace corvane::ui {

// Menu command numbers.
enum Command {
    kCmdHelpTopics = 40005,
    kCmdNightVision = 40006,
    kCmdLX200Control = 40008,
    kCmdExit = 40009,
    kCmdPreferences = 40012,
    kCmdLegal = 40013,
    kCmdInterface = 40015,
    kCmdCreateViewPlanTle = 40016,
    kCmdObservationReport = 40017,
};

inline constexpr int kViewPlanTimerId = 5096;
inline constexpr int kViewPlanPeriodMs = 15000;

}  // namespace corvane::ui
