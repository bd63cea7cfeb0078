#pragma once
// The ISS monitor: the International Space Station's present position, its next night-time pass
// with the countdowns to AOS and LOS, and the alert that offers to start tracking when the
// station becomes visible. IssMonitor is the worker behind the main window's panel: it runs on
// its own thread and reports through IssMonitorPort, never touching a widget.
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "astro/Time.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassSearch.h"

namespace corvane {

class Clock;
class CatalogueStore;
class ElementCatalogue;
class LiveState;

inline constexpr long kIssCatalogueNumber = 25544;

// The next-pass state: AOS and LOS as UTC Julian dates (0 when there is none) and the texts.
struct NextIssPass {
    double aos = 0.0;
    double los = 0.0;
    std::string maxElevation;  // "45° at 21:02:07" (Latin-1)
    std::string duration;      // "00 hr 05 m 12 s"
};

// The first pass in the 24 hours from nowUtc whose coarse AOS is at night (before local sunrise
// or after local sunset). It is kept when it lasts at least minPredictPass minutes; either way
// the search ends there. Uses the station's slot.
NextIssPass FindNextIssPass(const ElementCatalogue& catalogue, int station, PropagationSlot& slot,
                            const Site& site, const PassSettings& settings, double nowUtc,
                            int minPredictPass);

// "05 hr 34 m 31 s" for a time span in hours.
std::string CountdownHoursText(double hours);

// The position fields when the station cannot be placed: "NO POSITION:", the reason and the
// elements' age ("TLE 3287 days old") in the Latitude, Longitude and Altitude fields, as the
// panel says "ISS NOT FOUND"; the others empty. A NaN age is left out.
std::array<std::string, 8> NoIssPositionTexts(PropagationError error, double elementAgeDays);

// What the panel shows after a turn.
struct IssPanelTexts {
    bool monitorOn = false;     // ISSMonitor = 1
    bool stationKnown = false;  // the loaded file holds 25544
    // "Azimuth:", "Elevation:", "Range:", "Latitude:", "Longitude:", "Altitude:", "R.A.:", "Dec.:"
    std::array<std::string, 8> position;
    std::string aos, los, maxElevation, duration;  // the "Next Pass" fields
    bool redrawMap = false;                        // a search ran: the small globe is redrawn
    double latitude = 0.0, longitude = 0.0;        // sub-point, degrees
    bool sunlit = false;
    bool positionKnown = false;  // the position fields hold a position (and the globe a marker)
};
inline constexpr std::array<const char*, 8> kIssPositionCaptions = {
    "Azimuth:", "Elevation:", "Range:", "Latitude:", "Longitude:", "Altitude:", "R.A.:", "Dec.:"};

class IssMonitorPort {
public:
    virtual ~IssMonitorPort() = default;
    virtual void ShowIss(const IssPanelTexts& texts) = 0;
    // The station is visible and "Alert when visible" was ticked: ask whether to track it
    // (the check box has already been cleared).
    virtual void AskIssAlert() = 0;
};

struct IssMonitorSettings {
    int ISSMonitor = 0;
    int MinPredictPass = 2;
    PassSettings pass;
};

class IssMonitor {
public:
    IssMonitor(Clock& clock, LiveState& live, CatalogueStore& catalogue, IssMonitorPort& port);
    ~IssMonitor();
    IssMonitor(const IssMonitor&) = delete;
    IssMonitor& operator=(const IssMonitor&) = delete;

    // Any thread.
    void SetSettings(const IssMonitorSettings& settings);
    void SetAlert(bool on) { alert_.store(on); }
    bool Alert() const { return alert_.load(); }
    // The program clock was shifted (or reset): the next turn searches the pass again.
    void RequestSearch() { searchRequested_.store(true); }
    NextIssPass NextPass() const;

    // The worker thread: Start once, Stop joins it (within one turn).
    void Start();
    void Stop();

    // One turn of the loop, including its 100 ms sleep on the clock (tests call it on a
    // ManualClock).
    void Turn();

private:
    // The worker thread paces itself in real time and wakes at once for Stop, so that a test's
    // virtual clock is not pushed forward by a monitor nobody watches.
    void TurnWith(const std::function<void()>& sleep);

    Clock& clock_;
    LiveState& live_;
    CatalogueStore& catalogue_;
    IssMonitorPort& port_;
    mutable std::mutex mutex_;
    IssMonitorSettings settings_;
    NextIssPass next_;
    std::atomic<bool> alert_{false};
    std::atomic<bool> quit_{false};
    std::mutex quitMutex_;
    std::condition_variable quitChanged_;
    std::thread thread_;
    // Worker-thread state.
    PropagationSlot positionSlot_{kSlotIssMonitor};
    PropagationSlot searchSlot_{kSlotIssMonitor};
    int countdown_ = 0;  // turns until the next search; 0: search now
    bool research_ = false;
    std::atomic<bool> searchRequested_{false};
    std::shared_ptr<const ElementCatalogue> searched_;  // the catalogue of the last search
};

}  // namespace corvane
