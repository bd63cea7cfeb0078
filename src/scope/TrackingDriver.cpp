#include "scope/TrackingDriver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "astro/AngleText.h"
#include "astro/Constants.h"
#include "astro/Time.h"
#include "core/Text.h"
#include "orbit/Observer.h"
#include "scope/Lx200Codec.h"
#include "scope/ReplyCheck.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

namespace {

constexpr double kFullTurn = kTwoPi;
constexpr double kDegreesPerRadian = 360.0 / kFullTurn;
// Seconds between two commands to the NexStar 5/8 (its engine's wait after a goto).
constexpr double kNexStar58Spacing = 0.3;

// A number with a zero-padded whole part of `width` digits and one decimal: "000.0", "00.0".
std::string ZeroPadded(double value, int width) {
    char text[48];
    std::snprintf(text, sizeof text, "%0*.1f", width + 2, std::fabs(value));
    return (value < 0 ? "-" : "") + std::string(text);
}

StateVector Minus(const StateVector& a, const StateVector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z, 0.0};
}

}  // namespace

TrackingSettings TrackingSettingsFrom(const Settings& s) {
    TrackingSettings t;
    t.lgpsMount = s.LGPSMount;
    t.ngpsMount = s.NGPSMount;
    t.limitEnabled = s.TrackingLimitEnable == 1;
    t.limitDegrees = std::clamp(s.TrackingLimit, 0, 90);
    t.limitElevation = s.LimitElevation == 1;
    t.trackAdjustMs = std::max(0, s.TrackAdjust);
    t.ngpsSetRateDelayMs = std::max(0, s.NGPSSetRateDelay);
    t.minNxDeltaRate = std::max(0, s.MinNxDeltaRate);
    t.degChar = static_cast<unsigned char>(s.DegChar);
    t.predictive = s.PredictiveTracking == 1;
    t.meridianLimit = std::clamp(s.MeridianLimit, 0, 45);
    return t;
}

double Lx200Lead(int position) {
    switch (position) {
        case 0:
            return 0.0;
        case 1:
            return 0.5;
        case 5:
            return 7.0;
        default:
            return static_cast<double>(position);
    }
}

CycleTarget ComputeCycleTarget(const ElementCatalogue& catalogue, int objectIndex, double jdUtc,
                               const Site& site, double alignmentSteps, PropagationSlot& slot) {
    CycleTarget t;
    t.jdUtc = jdUtc;
    if (!ConvertElementSet(catalogue, objectIndex, slot)) {
        t.error = PropagationError::kNoElements;
        return t;
    }
    GeodeticPoint point = SitePoint(site);
    PropagationResult b = PropagateSlot(jdUtc, slot);
    if (!b.Ok()) {
        t.error = b.error;
        return t;
    }
    ConvertState(b);
    StateVector aim = b.position;
    if (alignmentSteps != 0.0 && std::isfinite(alignmentSteps)) {
        PropagationResult a = PropagateSlot(jdUtc - 1.0 / 86400.0, slot);
        if (a.Ok()) {
            ConvertState(a);
            GeodeticPoint observer = point;
            StateVector c, cv;
            ObserverPositionVelocity(observer, jdUtc, c, cv);
            const StateVector u = Minus(a.position, c), v = Minus(b.position, a.position);
            const StateVector n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x, 0.0};
            const double k = std::fabs(alignmentSteps) * 0.00003 * (alignmentSteps > 0 ? 1.0 : -1.0);
            aim.x += k * n.x;
            aim.y += k * n.y;
            aim.z += k * n.z;
            aim.magnitude = std::sqrt(aim.x * aim.x + aim.y * aim.y + aim.z * aim.z);
        }
    }
    const LookAngles raDec = ComputeRADec(aim, b.velocity, point, jdUtc);
    const LookAngles look = ComputeLookAngles(aim, b.velocity, point, jdUtc, slot);
    t.raHours = raDec.azimuth * kDegreesPerRadian / 15.0;
    t.decDegrees = raDec.elevation * kDegreesPerRadian;
    t.azimuthDeg = look.azimuth * kDegreesPerRadian;
    t.elevationDeg = look.elevation * kDegreesPerRadian;
    t.localSiderealHours = LocalSiderealHoursAt(jdUtc, site.longitude);
    t.ok = std::isfinite(t.raHours) && std::isfinite(t.decDegrees) && std::isfinite(t.azimuthDeg) &&
           std::isfinite(t.elevationDeg);
    if (!t.ok) t.error = PropagationError::kNumerical;
    return t;
}

// What a cycle reads afresh: the window's values, the site they name and the settings.
TrackingDriver::Cycle TrackingDriver::ReadCycle() const {
    Cycle cycle;
    cycle.values = live_.Snapshot();
    cycle.settings = Settings();
    cycle.object = cycle.values.selectedObject;
    cycle.site = ParseSite(cycle.values.siteLatitude, cycle.values.siteLongitude, cycle.values.siteAltitude,
                           cycle.values.siteUtcOffset);
    return cycle;
}

TrackingDriver::TrackingDriver(SerialLink& link, LiveState& live, const CatalogueStore& catalogues,
                               Clock& clock, TrackingDisplay& display)
    : link_(link), live_(live), catalogues_(catalogues), clock_(clock), display_(display) {
    link_.SetStopSignal(&stop_);
    link_.SetStopTrackingHook([this] { StopTracking(); });
}

TrackingDriver::~TrackingDriver() {
    link_.SetStopTrackingHook(nullptr);
    link_.SetStopSignal(nullptr);
}

void TrackingDriver::SetSettings(const TrackingSettings& settings) {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    settings_ = settings;
    settings_.limitDegrees = std::clamp(settings_.limitDegrees, 0, 90);
    settings_.trackAdjustMs = std::max(settings_.trackAdjustMs, 0);
}

TrackingSettings TrackingDriver::Settings() const {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    return settings_;
}

// Waits in the link's stop-aware steps; false once tracking is off.
bool TrackingDriver::Pause(int milliseconds) {
    if (!link_.Wait(milliseconds)) return false;
    return trackingOn_.load();
}

bool TrackingDriver::LostCommunication(const ReplyWatch& watch) {
    if (stop_.Raised() || !trackingOn_.load()) return false;
    if (!link_.LineFailed() && !watch.Expired()) return false;
    EndLostLine();
    return true;
}

// DEPARTURE: a dead line (closed, a refused write, no valid answer for 10 s, or replies that
// cannot be read) ends tracking with a message; the engines otherwise only look for "BELOW" and
// would go on talking into the void.
void TrackingDriver::EndLostLine() {
    const bool failed = link_.LineFailed();
    link_.AuditLog(failed ? "The line to the telescope failed." : "The telescope stopped answering.");
    // The stop sequence goes out where the line still takes it.
    if (!failed) SendStopSequence(link_.GetScopeType());
    StopWithMessage("", "Lost communication with the telescope.", "Tracking Error");
}

bool TrackingDriver::Await(ReplyWatch& watch, int milliseconds) {
    constexpr int kStepMs = 250;
    while (milliseconds > 0) {
        const int step = std::min(milliseconds, kStepMs);
        if (!Pause(step) || LostCommunication(watch)) return false;
        milliseconds -= step;
    }
    return !StopAsked();
}

bool TrackingDriver::Ask(ReplyWatch& watch, std::string_view command, int waitMs,
                         bool (*valid)(std::string_view), std::string& reply, bool promised) {
    reply.clear();
    if (!Send(std::string(command))) return false;
    if (promised) watch.Asked();
    if (waitMs > 0 && !link_.Wait(waitMs)) return false;
    reply = link_.ReadAvailable();
    if (promised) {
        watch.Answer(reply, valid(reply));
    } else {
        watch.Heard(reply, valid(reply));
    }
    return !LostCommunication(watch) && !StopAsked();
}

void TrackingDriver::RunTracking() {
    if (StopAsked()) return;
    trackingActive_.store(true);
    if (GeostationaryHold()) {
        while (trackingOn_.load() && link_.Wait(200)) {
        }
        if (link_.GetScopeType() == ScopeType::LX200GPS) {
            const std::string restore = Settings().lgpsMount == 1 ? "#:AA#" : "#:AP#";
            // After a Stop the alignment comes back once the stop sequence is out (FinishStop).
            if (stop_.Raised() || stopDue_.load()) {
                restoreAlignmentDue_ = true;
            } else {
                SendStop(restore);
            }
        }
    } else {
        RunEngine();
    }
    if (!StopAsked()) {
        // An engine that gave up on a failed write ends here with the message; any other return
        // with tracking still on is followed by the thread's 100 ms pause, never a spin.
        if (link_.LineFailed()) {
            EndLostLine();
        } else {
            link_.Wait(100);
        }
    }
    trackingActive_.store(false);
}

void TrackingDriver::RunEngine() {
    if (Settings().predictive && PredictiveEngine()) return;
    switch (link_.GetScopeType()) {
        case ScopeType::LX200:
        case ScopeType::AP:
        case ScopeType::GEMINI:
        case ScopeType::Unknown:
            Lx200Engine();
            break;
        case ScopeType::LOGFILE:
            LogFileEngine();
            break;
        case ScopeType::NEXSTARGPS:
            NexStarGpsEngine();
            break;
        case ScopeType::CGE:
            CgeEngine();
            break;
        case ScopeType::LX200GPS:
            Lx200GpsEngine();
            break;
        case ScopeType::ETX494:
            AutoStar494Engine();
            break;
        case ScopeType::ETX497:
            AutoStar497Engine();
            break;
        case ScopeType::ULTIMA:
            UltimaEngine();
            break;
        case ScopeType::NEXSTAR:
            NexStar58Engine();
            break;
        case ScopeType::INDI:
            IndiEngine();
            break;
    }
}

// ---- start and stop ----

void TrackingDriver::StartStopTracking() {
    const ScopeType type = link_.GetScopeType();
    if (type == ScopeType::LOGFILE) link_.SetConnectedPort(1);
    if (link_.ConnectedPort() == 0) {
        // Start Tracking connects ports 1 to 8 only; anything else means port 1 (the Connect
        // button takes 1 to 16).
        int port = live_.Snapshot().comPort;
        if (port < 1 || port > 8) port = 1;
        link_.Connect(port);
    }
    if (link_.ConnectedPort() == 0) {
        // A connection cancelled by Stop or by the end of the program is not an error.
        if (!stop_.Raised())
            display_.ShowMessage("Telescope not connected!", "No Connection", MessageIcon::Warning);
        return;
    }
    if (trackingOn_.load()) {
        StopTracking();
        return;
    }
    if (stop_.Raised()) return;
    display_.SetConnectEnabled(false);
    trackingOn_.store(true);
    display_.SetStartButtonTracking(true);
}

void TrackingDriver::RequestStop() {
    const ScopeType type = link_.GetScopeType();
    const bool wasOn = trackingOn_.exchange(false);
    // The continuous interfaces send their stop sequence only when they were tracking.
    if (wasOn || !(type == ScopeType::CGE || type == ScopeType::NEXSTARGPS || type == ScopeType::LX200GPS ||
                   type == ScopeType::INDI))
        stopDue_.store(true);
    stop_.Raise();
}

void TrackingDriver::StopTracking() {
    RequestStop();
    FinishStop();
}

void TrackingDriver::FinishStop() {
    if (!stopDue_.exchange(false)) {
        stop_.Clear();
        return;
    }
    const ScopeType type = link_.GetScopeType();
    positionLog_.Close();
    display_.SetConnectEnabled(true);
    display_.SetBusy(true);
    display_.SetBusy(false);
    if (type == ScopeType::LX200GPS) link_.AuditLog("Tracking is set to 0");
    link_.AuditLog("tracking stopped");
    SendStopSequence(type);
    if (restoreAlignmentDue_) {
        restoreAlignmentDue_ = false;
        SendStop(Settings().lgpsMount == 1 ? "#:AA#" : "#:AP#");
    }
    display_.RefreshViewPlan();
    ResetTrackingDisplay();
    stop_.Clear();
}

void TrackingDriver::ResetTrackingDisplay() {
    display_.SetStatusLines("R.A. Tracking Stopped", "Dec. Tracking Stopped");
    display_.SetProgress(0, 0);
    display_.SetStartButtonTracking(false);
    display_.SetConnectEnabled(true);
}

void TrackingDriver::SendStopSequence(ScopeType type) {
    switch (type) {
        case ScopeType::CGE:
            NexStarRateStop(1);
            break;
        case ScopeType::NEXSTARGPS:
            NexStarGpsStop();
            break;
        case ScopeType::ULTIMA:
            SendStop("M");
            break;
        case ScopeType::NEXSTAR: {
            // DEPARTURE: the NexStar 5/8 hears one command at a time; a stop sent while it still
            // answers the goto just sent would be lost, so it waits for the engine's own 300 ms.
            const double gap = clock_.MonotonicSeconds() - link_.LastWriteSeconds();
            if (link_.LastWriteSeconds() >= 0 && gap >= 0 && gap < kNexStar58Spacing)
                clock_.Sleep(static_cast<int>(std::ceil((kNexStar58Spacing - gap) * 1000.0)));
            SendStop("?");
            break;
        }
        case ScopeType::LX200GPS:
            Lx200GpsStop();
            SendStop(std::string(kStop));
            break;
        case ScopeType::LOGFILE:
            break;
        case ScopeType::INDI:
            IndiStop();
            break;
        default:
            SendStop(std::string(kStopAll));
            break;
    }
}

void TrackingDriver::Lx200GpsStop() {
    display_.SetStatusLines("R.A. Tracking Stopped", "Dec. Tracking Stopped");
    link_.AuditLog("Stopping Scope.");
    SendStop(std::string(kStop));
    clock_.Sleep(300);
    SendStop("#:RE08.00#");
    SendStop("#:RA08.00#");
    link_.AuditLog("Set tracking to 8/8.");
    SendStop(std::string(kStop));
    clock_.Sleep(150);
    SendStop(std::string(kStop));
    display_.SetProgress(0, 0);
    display_.RefreshViewPlan();
    clock_.Sleep(100);
}

void TrackingDriver::NexStarGpsStop() {
    const int mount = Settings().ngpsMount;
    NexStarRateStop(mount >= 1 && mount <= 3 ? mount : 1);
}

void TrackingDriver::NexStarRateStop(int modeByte) {
    link_.AuditLog("Stopping Scope. Setting Tracking rates to zero.");
    clock_.Sleep(200);
    SendStop(std::string("T") + '\0');
    SendStop(std::string("P\x03\x10\x06", 4) + std::string(4, '\0'));
    clock_.Sleep(200);
    SendStop(std::string("P\x03\x11\x06", 4) + std::string(4, '\0'));
    clock_.Sleep(200);
    SendStop(std::string("T") + static_cast<char>(modeByte));
    SendStop("M");
    display_.RefreshViewPlan();
}

bool TrackingDriver::Send(const std::string& command) { return link_.SendCommand(command); }

void TrackingDriver::SendStop(const std::string& command) { link_.SendStopCommand(command); }

std::string TrackingDriver::Exchange(const std::string& command, int waitMs) {
    if (!link_.SendCommand(command)) return {};
    if (waitMs > 0 && !link_.Wait(waitMs)) return {};
    return link_.ReadAvailable();
}

void TrackingDriver::StopWithMessage(const std::string& stopText, const std::string& text,
                                     const std::string& title) {
    if (!stopText.empty()) SendStop(stopText);
    trackingOn_.store(false);
    ResetTrackingDisplay();
    display_.ShowMessage(text, title, MessageIcon::Warning);
}

// ---- common cycle ----

bool TrackingDriver::PrepareCycle(Cycle& cycle, double k, double lead, double delayMs,
                                  const std::string& stopText) {
    return PrepareCycle(cycle, k, lead, delayMs, [&] {
        if (!stopText.empty()) SendStop(stopText);
    });
}

bool TrackingDriver::PrepareCycle(Cycle& cycle, double k, double lead, double delayMs,
                                  const std::function<void()>& stop) {
    if (cycle.object == 0) return false;
    const Site& site = cycle.site;
    const double timing = LeadingNumber(cycle.values.timingOffsetText);
    const double jd = clock_.JulianDateNow() + (delayMs / 1000.0 + k + timing) / 86400.0 -
                      site.utcOffset / 24.0 + lead / 86400.0;
    if (!TargetAt(cycle, jd, stop)) return false;
    if (trackingOn_.load()) {
        display_.SetStatusLines("R.A. Tracking to " + HourText(cycle.target.raHours),
                                "Dec. Tracking to " + DegreeText(cycle.target.decDegrees));
    }
    return true;
}

bool TrackingDriver::TargetAt(Cycle& cycle, double jdUtc, const std::function<void()>& stop) {
    const auto catalogue = catalogues_.Get();
    cycle.target = ComputeCycleTarget(*catalogue, cycle.object, jdUtc, cycle.site,
                                      LeadingNumber(cycle.values.alignmentText), slot_);
    if (!cycle.target.ok) {
        // DEPARTURE: an element set the model cannot propagate aims nowhere; the cycle says why
        // instead of sending a position computed from an error state.
        display_.SetStatusLines("R.A. No position: " + std::string(PropagationErrorText(cycle.target.error)),
                                "Dec. No position");
        return false;
    }
    const double limited =
        cycle.settings.limitElevation ? cycle.target.elevationDeg : cycle.target.decDegrees;
    if (cycle.settings.limitEnabled && limited > cycle.settings.limitDegrees) {
        stop();
        StopWithMessage("", kLimitText, "Tracking Stopped");
        return false;
    }
    return true;
}

// ---- geostationary hold ----

bool TrackingDriver::GeostationaryHold() {
    if (link_.GetScopeType() != ScopeType::LX200GPS) return false;
    Cycle cycle = ReadCycle();
    if (cycle.object == 0) return false;
    const auto catalogue = catalogues_.Get();
    if (!ConvertElementSet(*catalogue, cycle.object, geoSlot_)) return false;
    const ElementSet& e = geoSlot_.Elements();
    const double revsPerDay = e.meanMotion / (kFullTurn / 1440.0);
    const bool geostationary = e.eccentricity < 0.1 && e.inclination * kDegreesPerRadian < 17.0 &&
                               std::fabs(revsPerDay - 1.0027) <= 0.1;
    if (!geostationary) return false;

    const double jd = clock_.JulianDateNow() + LeadingNumber(cycle.values.timingOffsetText) / 86400.0 -
                      cycle.site.utcOffset / 24.0;
    const CycleTarget t = ComputeCycleTarget(*catalogue, cycle.object, jd, cycle.site,
                                             LeadingNumber(cycle.values.alignmentText), geoSlot_);
    if (!t.ok) return false;
    const double limited = cycle.settings.limitElevation ? t.elevationDeg : t.decDegrees;
    if (cycle.settings.limitEnabled && limited > cycle.settings.limitDegrees) {
        StopWithMessage("", kLimitText, "Tracking Stopped");
    }
    display_.SetStatusLines("Geostationary. Azimuth " + ZeroPadded(t.azimuthDeg, 3) + " \xB0",
                            "Geostationary. Altitude " + ZeroPadded(t.elevationDeg, 2) + " \xB0");
    if (trackingOn_.load()) {
        Send(SetTargetAndSlewCommand(t.raHours, t.decDegrees, link_.LongFormat(), cycle.settings.degChar));
    }
    ReplyWatch watch(clock_);
    int passes = 0;
    while (trackingOn_.load()) {
        if (!link_.Wait(250) || !Send(std::string(kDistanceBarsBare))) break;
        watch.Asked();
        if (!link_.Wait(200) || !trackingOn_.load()) break;
        if (!link_.Wait(200)) break;
        const std::string reply = link_.ReadWaiting();
        // DEPARTURE: no reply at all is not a finished slew: the hold asks again (and gives the
        // line up after 10 s) instead of taking silence for "no bars".
        const bool answered = IsPlausibleBarsReply(reply);
        watch.Answer(reply, answered);
        if (LostCommunication(watch)) return true;
        if (answered && !HasBars(reply) && passes > 0) {
            link_.AuditLog("Slew complete!");
            break;
        }
        if (++passes >= 200) break;
    }
    if (LostCommunication(watch)) return true;
    if (trackingOn_.load()) Send(std::string(kAlignLand));
    return true;
}

// ---- LX200 engine ----

void TrackingDriver::Lx200Engine() {
    const std::string stopText(kStopAll);
    int previousObject = 0;
    int counter = 0;
    bool reslew = false;
    double delayMs = 0.0;
    std::string raBar, decBar;  // kept from pass to pass and cycle to cycle
    ReplyWatch watch(clock_);
    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        if (cycle.object != previousObject) {
            delayMs = 6000.0;
            counter = 0;
        }
        previousObject = cycle.object;
        const int method = std::clamp(cycle.values.trackingMethod, 0, 5);
        const bool continuous = method == 0;
        const double lead = Lx200Lead(method);
        const ScopeType type = link_.GetScopeType();

        const bool aim = PrepareCycle(cycle, 1.2, lead, delayMs, stopText);
        delayMs = 0.0;
        if (!trackingOn_.load()) break;
        if (!aim) {
            Pause(200 + cycle.settings.trackAdjustMs);  // no object (or no position): only the waits
            continue;
        }
        const CycleTarget& t = cycle.target;

        std::string reply;
        if (t.raHours != 0.0 && t.decDegrees != 0.0) {
            const std::string command =
                SetTargetAndSlewCommand(t.raHours, t.decDegrees, link_.LongFormat(), cycle.settings.degChar);
            if (Send(command)) {
                watch.Asked();
                if (!(continuous && counter > 8)) {
                    reply = link_.ReadAvailable();
                    watch.Answer(reply, IsSlewReply(reply));
                } else if (const std::string pile = link_.ReadWaiting(); !pile.empty()) {
                    // Fast Continuous tracking reads no reply; what piled up still shows that
                    // the mount answers (and keeps the input from filling up).
                    watch.Answer(pile, IsSlewReplyPile(pile));
                }
            }
            if (reslew) {
                reply = Exchange(command, 0);
                watch.Answer(reply, IsSlewReply(reply));
                reslew = false;
            }
        }
        if (!trackingOn_.load() || LostCommunication(watch)) break;
        if (continuous && t.elevationDeg < 0) {
            StopWithMessage(stopText, "Object Below Horizon!!\r\r" + kRefresh, "Tracking Error");
            break;
        }
        if (ReplyRefusesSlew(reply)) {
            StopWithMessage(stopText, "Object Below Horizon!\r\r" + kRefresh, "Tracking Error");
            break;
        }

        // Slew wait.
        bool timedOut = false;
        if (continuous && counter > 3) {
            display_.SetProgress(0, 0);
        } else {
            const double start = clock_.MonotonicSeconds();
            int raLength = 0, decLength = 0;
            do {
                if (clock_.MonotonicSeconds() - start > 8.0) {
                    counter = 0;
                    delayMs = 1000.0 * raLength;
                    reslew = true;
                    timedOut = true;
                    break;
                }
                if (!link_.Wait(100)) break;
                if (type == ScopeType::LX200) {
                    watch.Asked();
                    const std::string bars = Exchange(std::string(kDistanceBars), 175);
                    watch.Answer(bars, IsPlausibleBarsReply(bars));
                    if (const auto parsed = ParseDistanceBars(bars)) {
                        raBar = parsed->ra;
                        decBar = parsed->dec;
                    }
                    raLength = static_cast<int>(raBar.size());
                    decLength = static_cast<int>(decBar.size());
                } else if (type == ScopeType::AP || type == ScopeType::GEMINI) {
                    watch.Asked();
                    const std::string ra = Exchange(std::string(kGetRa), 100);
                    watch.Answer(ra, IsCoordinateReply(ra));
                    // DEPARTURE: the hour difference is taken the short way round 0/24 h, so a
                    // target near 0 h is not seen as 24 hours away (a spurious 8 s time-out).
                    double hours =
                        std::fabs(t.raHours - LeadingNumber(ra.substr(0, std::min<size_t>(3, ra.size()))));
                    hours = std::fmod(hours, 24.0);
                    if (hours > 12.0) hours = 24.0 - hours;
                    raLength = std::min(16, static_cast<int>(std::lround(hours * 1.5)));
                    const std::string dec = Exchange(std::string(kGetDec), 100);
                    watch.Answer(dec, IsCoordinateReply(dec));
                    const double degrees =
                        std::fabs(std::fabs(t.decDegrees) -
                                  std::fabs(LeadingNumber(dec.substr(0, std::min<size_t>(3, dec.size())))));
                    decLength = std::min(16, static_cast<int>(std::lround(std::floor(degrees) / 2.0)));
                } else {
                    raLength = decLength = 0;
                }
                if (LostCommunication(watch)) return;
                display_.SetProgress(std::min(raLength, 16), std::min(decLength, 16));
                if (!link_.Wait(200) || !trackingOn_.load()) break;
            } while (raLength + decLength > 2);
        }

        if (trackingOn_.load() && !timedOut) {
            if (++counter > 1000) counter = 8;
            if (continuous) {
                if (counter < 5 && !Await(watch, 600)) break;
            } else {
                const int wait = static_cast<int>(lead * 1.2 * 1000.0);
                if (!Await(watch, wait < 1000 ? 1200 : wait)) break;
            }
        }
        if (!Await(watch, cycle.settings.trackAdjustMs)) break;
    }
}

// ---- Log File engine ----

void TrackingDriver::LogFileEngine() {
    int previousObject = 0;
    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        if (cycle.object != 0 && cycle.object != previousObject) {
            const auto catalogue = catalogues_.Get();
            PositionLogHeader header;
            if (const CatalogueEntry* entry = catalogue->Entry(cycle.object)) {
                const ElementSet e = ConvertElementText(entry->name, entry->line1, entry->line2);
                header.objectName = entry->name;
                header.catalogueNumber = e.catalogueNumber;
            }
            header.latitude = cycle.values.siteLatitude;
            header.longitude = cycle.values.siteLongitude;
            header.altitude = cycle.values.siteAltitude;
            header.utcOffset = cycle.values.siteUtcOffset;
            header.elementFile = cycle.settings.elementFile;
            if (!positionLog_.Open(cycle.settings.logFolder, header)) {
                trackingOn_.store(false);
                ResetTrackingDisplay();
                display_.ShowMessage("Cannot create the position log " + positionLog_.Path(),
                                     "Tracking Stopped", MessageIcon::Warning);
                break;
            }
        }
        previousObject = cycle.object;
        if (PrepareCycle(cycle, 0.0, 0.0, 0.0, "")) {
            const CycleTarget& t = cycle.target;
            if (!positionLog_.Append(t.jdUtc, t.azimuthDeg, t.elevationDeg, t.raHours, t.decDegrees,
                                     (t.raHours - t.localSiderealHours) * 15.0)) {
                // DEPARTURE: a record that cannot be written (a full disk) ends tracking with the
                // reason instead of going on with nothing saved.
                trackingOn_.store(false);
                ResetTrackingDisplay();
                display_.ShowMessage(positionLog_.Error(), "Tracking Stopped", MessageIcon::Warning);
                break;
            }
            if (t.elevationDeg < 0) {
                StopWithMessage("", "Object Below Horizon!!\r\r" + kRefresh, "Tracking Error");
                break;
            }
        }
        // DEPARTURE: 10 ms between cycles instead of none, so the engine does not spin a core;
        // records are kept a hundredth of a second apart anyway.
        link_.Wait(10);
    }
    positionLog_.Close();
}

}  // namespace corvane
