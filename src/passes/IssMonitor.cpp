#include "passes/IssMonitor.h"

#include <cmath>

#include "astro/AngleText.h"
#include "astro/Sun.h"
#include "core/Clock.h"
#include "core/LiveState.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "passes/DisplayPanel.h"
#include "passes/PassText.h"

namespace corvane {

NextIssPass FindNextIssPass(const ElementCatalogue& catalogue, int station, PropagationSlot& slot,
                            const Site& site, const PassSettings& settings, double nowUtc,
                            int minPredictPass) {
    NextIssPass next;
    const double minimum = 60.0 * minPredictPass;
    PassSearch search(catalogue, station, slot, site, settings, nowUtc);
    if (!search.HasObject()) return next;
    const std::vector<PassRecord> passes =
        search.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, true);
    if (passes.empty()) return next;
    // The first night pass ends the search, whether or not it is long enough.
    const PassRecord& first = passes.front();
    if (first.duration < minimum) return next;
    // DEPARTURE: a pass already under way when the search starts has begun (AOS now), so the
    // panel says "Currently Visible" instead of counting down one second after the search.
    next.aos = first.aosSecond <= 1 ? nowUtc : first.aos;
    next.los = first.los;
    next.maxElevation = MaxElevationText(first.maxElevation, first.maxElevationTime + site.utcOffset / 24.0);
    next.duration = CountdownHoursText(first.duration / 3600.0);
    return next;
}

std::string CountdownHoursText(double hours) { return HourText(hours); }

std::array<std::string, 8> NoIssPositionTexts(PropagationError error, double elementAgeDays) {
    std::array<std::string, 8> texts;
    texts[3] = "NO POSITION:";
    texts[4] = PropagationErrorText(error);
    if (std::isfinite(elementAgeDays))
        texts[5] = "TLE " + std::to_string(static_cast<long long>(std::floor(std::fabs(elementAgeDays)))) +
                   (elementAgeDays < 0.0 ? " days ahead" : " days old");
    return texts;
}

IssMonitor::IssMonitor(Clock& clock, LiveState& live, CatalogueStore& catalogue, IssMonitorPort& port)
    : clock_(clock), live_(live), catalogue_(catalogue), port_(port) {}

IssMonitor::~IssMonitor() { Stop(); }

void IssMonitor::SetSettings(const IssMonitorSettings& settings) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_ = settings;
}

NextIssPass IssMonitor::NextPass() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return next_;
}

void IssMonitor::Start() {
    if (thread_.joinable()) return;
    quit_.store(false);
    thread_ = std::thread([this] {
        const auto pause = [this] {
            std::unique_lock<std::mutex> lock(quitMutex_);
            quitChanged_.wait_for(lock, std::chrono::milliseconds(100), [this] { return quit_.load(); });
        };
        while (!quit_.load()) TurnWith(pause);
    });
}

void IssMonitor::Stop() {
    {
        std::lock_guard<std::mutex> lock(quitMutex_);
        quit_.store(true);
    }
    quitChanged_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void IssMonitor::Turn() {
    TurnWith([this] { clock_.Sleep(100); });
}

void IssMonitor::TurnWith(const std::function<void()>& sleep) {
    IssMonitorSettings settings;
    NextIssPass next;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings = settings_;
        next = next_;
    }
    const auto catalogue = catalogue_.Get();
    const int station = catalogue->IssIndex();
    const LiveValues v = live_.Snapshot();
    const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
    double now = 0.0;

    if (settings.ISSMonitor == 1 && station == 0) {
        IssPanelTexts t;
        t.monitorOn = true;
        t.position[3] = "ISS NOT";
        t.position[4] = "FOUND IN";
        t.position[5] = "CURRENT TLE";
        t.position[6] = "FILE LOADED.";
        port_.ShowIss(t);
        // A file that holds the station later is searched at once.
        countdown_ = 0;
        next = NextIssPass{};
    } else if (settings.ISSMonitor == 1) {
        now = clock_.JulianDateNow() - site.utcOffset / 24.0;
        IssPanelTexts t;
        t.monitorOn = true;
        t.stationKnown = true;
        if (catalogue != searched_) countdown_ = 0;
        if (searchRequested_.exchange(false)) research_ = true;
        // The search runs before the fields are written, so that the first turn already shows
        // the pass it found.
        // DEPARTURE: the periodic search waits while the stored pass is in progress; searching
        // from inside the pass would only find its remainder.
        const bool inPass = next.aos != 0.0 && next.aos <= now && now < next.los;
        if (countdown_ <= 0 && inPass && !research_ && catalogue == searched_) countdown_ = 100;
        if (countdown_ <= 0 || research_) {
            next = FindNextIssPass(*catalogue, station, searchSlot_, site, settings.pass, now,
                                   settings.MinPredictPass);
            searched_ = catalogue;
            research_ = false;
            countdown_ = 100;
            t.redrawMap = true;
        }
        --countdown_;
        // The position now.
        PropagationResult r;
        if (ConvertElementSet(*catalogue, station, positionSlot_)) r = PropagateSlot(now, positionSlot_);
        if (!r.Ok()) {
            // DEPARTURE: a station the model cannot place (elements years old, decayed) says why
            // in the position fields instead of leaving them blank.
            t.position = NoIssPositionTexts(r.error, positionSlot_.HasElements()
                                                         ? ElementAgeDays(positionSlot_.Elements(), now)
                                                         : std::nan(""));
        } else {
            ConvertState(r);
            GeodeticPoint sitePoint = SitePoint(site);
            const LookAngles look = ComputeLookAngles(r.position, r.velocity, sitePoint, now);
            const LookAngles radec = ComputeRADec(r.position, r.velocity, sitePoint, now);
            const GeodeticPoint sub = ComputeSubPoint(r.position, now);
            t.position[0] = FixedText(Degrees(look.azimuth), 3) + " \xB0";
            t.position[1] = FixedText(Degrees(look.elevation), 3) + " \xB0";
            t.position[2] = FixedText(look.range, 3) + " km";
            t.position[3] = FixedText(Degrees(sub.latitude), 4) + " \xB0 N";
            t.position[4] = FixedText(Degrees(sub.longitude), 4) + " \xB0 E";
            t.position[5] = FixedText(sub.altitude, 3) + " km";
            t.position[6] = HourText(Degrees(radec.azimuth) / 15.0);
            t.position[7] = DegreeText(Degrees(radec.elevation));
            t.latitude = Degrees(sub.latitude);
            t.longitude = Degrees(sub.longitude);
            t.sunlit = !IsEclipsed(r.position, ComputeSunVector(now));
            t.positionKnown = true;
        }
        const double toAos = (next.aos - now) * 24.0;
        const double toLos = (next.los - now) * 24.0;
        if (next.aos == 0.0) {
            t.aos = "No pass in 24hr.";
        } else if (toAos <= 0.0) {
            t.aos = "Currently Visible";
        } else {
            t.aos = CountdownHoursText(toAos);
        }
        if (next.los == 0.0) {
            t.los = " ";
        } else if (toLos <= 0.0) {
            t.los = std::string(12, ' ');
            research_ = true;  // the pass is over: search again on the next turn
        } else {
            t.los = CountdownHoursText(toLos);
        }
        t.maxElevation = next.maxElevation;
        t.duration = next.duration;
        port_.ShowIss(t);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        next_ = next;
    }
    sleep();
    // The alert, once per tick of the check box.
    if (station != 0 && next.los != 0.0 && alert_.load()) {
        const double t = clock_.JulianDateNow() - site.utcOffset / 24.0;
        // DEPARTURE: a pass that has already ended does not raise "visible now" in the moment
        // before the next search replaces it.
        if (next.aos - t <= 0.0 && t < next.los && alert_.exchange(false)) port_.AskIssAlert();
    }
}

}  // namespace corvane
