#include "passes/PassSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "astro/Constants.h"
#include "astro/Sun.h"
#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"
#include "passes/PassBounds.h"
#include "passes/PassText.h"

namespace corvane {

ScanRange DayWindowRange(int w) {
    const long long offset = 86400LL * w;
    return ScanRange{1 + offset, 172919.0 / 2.0 + static_cast<double>(offset)};
}

ScanRange BatchRange(int periodMinutes) { return ScanRange{1, (13.0 + periodMinutes) * 60.0}; }

namespace {

// Position and look angles of an object whose state (model units) at t is given; false when the
// model cannot place it.
bool Place(PropagationResult state, GeodeticPoint& point, double t, PassSample& sample, StateVector& position,
           StateVector* velocity = nullptr, const ObserverState* observer = nullptr,
           bool withAzimuth = true) {
    if (!state.Ok()) {
        sample = PassSample{};
        sample.elevation = -90.0;
        return false;
    }
    ConvertState(state);
    const LookAngles look = observer
                                ? ComputeLookAngles(state.position, state.velocity, *observer, withAzimuth)
                                : ComputeLookAngles(state.position, state.velocity, point, t);
    if (!std::isfinite(look.elevation) || !std::isfinite(look.azimuth) || !std::isfinite(look.range)) {
        sample = PassSample{};
        sample.elevation = -90.0;
        return false;
    }
    sample.computed = true;
    sample.azimuth = Degrees(look.azimuth);
    sample.elevation = Degrees(look.elevation);
    sample.range = look.range;
    position = state.position;
    if (velocity) *velocity = state.velocity;
    return true;
}

// How many seconds an object out of pass provably stays so: out of view by its distance from the
// site (SecondsOutOfView) or by its orbital plane (SecondsBeforeInView), for a high orbit also by
// its Earth-fixed path (SecondsOutOfReach) or, just below the horizon, by how far its direction
// can turn (SecondsBelowView, given the observer), or, when it is in view but in the Earth's
// shadow (shadow known, depth > 0), in the shadow as SecondsSunlit bounds the depth's change.
// The pass condition is met only above the lower of AOSElevation less 1 degree and -6 degrees
// (refraction lifts an elevation by at most a degree near the horizon, and its formula misbehaves
// only near -5.11 degrees): that and the orbit's largest radius make the cone.
double SecondsOutOfPass(const StateVector& p, const StateVector& v, const StateVector& site,
                        const ViewCone& cone, const Shadow& shadow, const ObserverState* observer,
                        double horizonSine) {
    const OrbitBounds orbit = BoundOrbit(p, v);
    if (!orbit.ok) return 0.0;
    // (Beyond a million km the Sun's disc could outgrow the Earth's: no shadow bound there.)
    if (shadow.known && shadow.depth > 0.0)
        return orbit.rMax < 1.0e6 ? SecondsSunlit(orbit, -shadow.depth, kBoundSlack) : 0.0;
    const double rs = std::sqrt(site.x * site.x + site.y * site.y + site.z * site.z);
    if (!(rs > 0.0)) return 0.0;
    double out = std::fmax(SecondsOutOfView(p, site, rs, orbit, cone),
                           SecondsBeforeInView(p, v, site, cone.Cosine(rs, orbit.rMax), orbit));
    if (orbit.rMin > EarthFixedMotion::kHighOrbit) {
        out = std::fmax(out, SecondsOutOfReach(p, v, site, rs, orbit, cone, std::fmax(kCoarseStepSeconds, 1.5 * out)));
        // Just below the horizon, inside the cone, a slow object's elevation may stay low.
        if (observer && out < kCoarseStepSeconds)
            out = std::fmax(out, SecondsBelowView(p, v, orbit, *observer, horizonSine, 6000.0, kCoarseStepSeconds));
    }
    return out;
}

// How many seconds (either way in time) an object in pass provably stays in pass: in view as
// SecondsInView bounds it and sunlit as SecondsSunlit does; 0 when that is less than useful.
// shadow: the shadow test of p against sun when the in-pass test already made it (and found p
// sunlit), so that it is not made twice.
double SecondsInPass(const StateVector& p, const StateVector& v, const ObserverState& site,
                     const StateVector& sun, const PassSettings& settings, double longest, double useful,
                     const Shadow& shadow) {
    OrbitBounds orbit;
    const double inView = SecondsInView(p, v, site, settings.aosElevation, longest, useful, &orbit);
    if (!(inView >= useful) || settings.ignoreEclipse) return inView >= useful ? inView : 0.0;
    double depth = shadow.depth;
    if (!shadow.known && IsEclipsed(p, sun, &depth)) return 0.0;
    const double both = std::fmin(inView, SecondsSunlit(orbit, depth, kBoundSlack));
    return both >= useful ? both : 0.0;
}

// The in-pass test on a placed sample: above AOSElevation and not in the Earth's shadow. The
// shadow test, when made, is left in *shadow.
bool InPass(const PassSample& sample, const StateVector& position, double t, const PassSettings& settings,
            const StateVector* sun = nullptr, Shadow* shadow = nullptr) {
    if (!sample.computed || !(Radians(sample.elevation) > settings.aosElevation)) return false;
    if (settings.ignoreEclipse) return true;
    double depth = 0.0;
    const bool eclipsed = IsEclipsed(position, sun ? *sun : ComputeSunVector(t), &depth);
    if (shadow) *shadow = Shadow{true, depth};
    return !eclipsed;
}

}  // namespace

PassSample PassCondition(const ElementCatalogue& catalogue, int object, PropagationSlot& slot,
                         const Site& site, double t, const PassSettings& settings) {
    PassSample sample;
    sample.elevation = -90.0;
    if (!ConvertElementSet(catalogue, object, slot)) return sample;
    GeodeticPoint point = SitePoint(site);
    StateVector position;
    if (!Place(PropagateSlot(t, slot), point, t, sample, position)) return sample;
    sample.inPass = InPass(sample, position, t, settings);
    return sample;
}

bool IsNightPass(const Site& site, double localAos) {
    int year = 0, month = 1;
    double day = 1.0;
    CalendarDate(std::trunc(localAos), year, month, day);
    const int zoneWest = -static_cast<int>(std::lround(site.utcOffset));
    const SunTimes sun = SunriseSunset(site.latitude, site.longitude, zoneWest, year, month,
                                       static_cast<int>(std::trunc(day)));
    const std::string time = TimeOfDayText(localAos, true, 0);
    const double aos = LeadingNumber(time.substr(0, 2) + time.substr(3, 2));
    const double sunrise = LeadingNumber(sun.rise);
    const double sunset = LeadingNumber(sun.set);
    return aos > sunset || aos < sunrise;
}

PassSearch::PassSearch(const ElementCatalogue& catalogue, int object, PropagationSlot& slot, const Site& site,
                       const PassSettings& settings, double start)
    : slot_(&slot),
      site_(site),
      point_(SitePoint(site)),
      settings_(settings),
      start_(start),
      aos_(AosConstantsFor(settings.aosElevation)) {
    hasObject_ = ConvertElementSet(catalogue, object, slot);
}

PassSearch::PassSearch(PropagationBatch& batch, size_t object, const Site& site, const PassSettings& settings,
                       double start)
    : batch_(&batch),
      batchObject_(object),
      site_(site),
      point_(SitePoint(site)),
      settings_(settings),
      start_(start),
      aos_(AosConstantsFor(settings.aosElevation)) {
    hasObject_ = object < batch.Size();
}

InstantTable::InstantTable(const Site& site, double start, long long firstSecond, long long lastSecond)
    : start_(start), first_(firstSecond) {
    GeodeticPoint point = SitePoint(site);
    const size_t n = lastSecond >= firstSecond ? static_cast<size_t>(lastSecond - firstSecond + 1) : 0;
    observer_.reserve(n);
    sun_.reserve(n);
    for (long long s = firstSecond; s <= lastSecond; ++s) {
        // The instant exactly as PassSearch::TimeOf forms it.
        const double t = start + static_cast<double>(s) / 86400.0;
        observer_.push_back(ObserverStateAt(point, t));
        sun_.push_back(ComputeSunVector(t));
    }
}

const ObserverState* InstantTable::Observer(long long second) const {
    if (second < first_ || second - first_ >= static_cast<long long>(observer_.size())) return nullptr;
    return &observer_[static_cast<size_t>(second - first_)];
}

const StateVector* InstantTable::Sun(long long second) const {
    if (second < first_ || second - first_ >= static_cast<long long>(sun_.size())) return nullptr;
    return &sun_[static_cast<size_t>(second - first_)];
}

InstantTable BatchInstantTable(const Site& site, double start, int periodMinutes) {
    // AOS walks reach 1000 s (after probes of 150 s) before the first sample, LOS walks 200 s and
    // the culmination 10 s more after the last.
    const ScanRange range = BatchRange(periodMinutes);
    return InstantTable(site, start, range.first - 1200, static_cast<long long>(range.last) + 300);
}

PropagationResult PassSearch::StateAt(long long second) {
    if (!batch_) return PropagateSlot(TimeOf(second), *slot_);
    const long long step = second - lastAsked_;
    const long long previousStep = lastStep_;
    lastStep_ = step;
    lastAsked_ = second;
    if (aheadStep_ != 0 && (second - aheadFirst_) % aheadStep_ == 0) {
        const long long k = (second - aheadFirst_) / aheadStep_;
        if (k >= 0 && k < static_cast<long long>(ahead_.Size())) return ahead_.Result(static_cast<size_t>(k));
    }
    // Walks step evenly: the AOS walk back by 30 (probes) and 1, the LOS walk on by 30 and 1, the
    // culmination on by 10 and 1. On such a step of a walk (or once two steps agree) the next
    // seconds of that stride are propagated together, which the vectorised model does far faster
    // than one by one. The same numbers either way. The culmination waits for two steps to agree:
    // its proofs often step over the seconds ahead.
    bool stride = step == previousStep && step != 0 && step >= -30 && step <= 30;
    if (use_ == Use::kAosWalk) stride |= step == -1 || step == -30;
    if (use_ == Use::kLosWalk) stride |= step == 1 || step == 30;
    if (stride && batch_->IsVectorised(batchObject_)) {
        double times[kLookahead];
        for (int k = 0; k < kLookahead; ++k) times[k] = TimeOf(second + k * step);
        batch_->PropagateTimes(batchObject_, times, kLookahead, ahead_);
        aheadFirst_ = second;
        aheadStep_ = step;
        return ahead_.Result(0);
    }
    return batch_->PropagateOne(batchObject_, TimeOf(second));
}

bool PassSearch::LookFrom(long long second, PropagationResult state, PassSample& sample,
                          StateVector& position, StateVector* velocity, bool withAzimuth) {
    ++samples_;
    sample = PassSample{};
    sample.elevation = -90.0;
    return Place(state, point_, TimeOf(second), sample, position, velocity,
                 table_ ? table_->Observer(second) : nullptr, withAzimuth);
}

bool PassSearch::Look(long long second, PassSample& sample, StateVector& position, StateVector* velocity,
                      bool withAzimuth) {
    if (!hasObject_) {
        ++samples_;
        sample = PassSample{};
        sample.elevation = -90.0;
        return false;
    }
    return LookFrom(second, StateAt(second), sample, position, velocity, withAzimuth);
}

bool PassSearch::InPassAt(long long second, const PassSample& sample, const StateVector& position,
                          Shadow* shadow) const {
    return InPass(sample, position, TimeOf(second), settings_, table_ ? table_->Sun(second) : nullptr,
                  shadow);
}

PassSample PassSearch::Condition(long long second) {
    PassSample sample;
    StateVector position;
    if (Look(second, sample, position)) sample.inPass = InPassAt(second, sample, position);
    return sample;
}

ObserverState PassSearch::ObserverAt(long long second) {
    if (const ObserverState* observer = table_ ? table_->Observer(second) : nullptr) return *observer;
    GeodeticPoint point = point_;
    return ObserverStateAt(point, TimeOf(second));
}

double PassSearch::ProvenInPass(long long second, const StateVector& position, const StateVector& velocity,
                                double longest, double useful, const Shadow& shadow) {
    const StateVector* sun = table_ ? table_->Sun(second) : nullptr;
    return SecondsInPass(position, velocity, ObserverAt(second),
                         sun ? *sun : ComputeSunVector(TimeOf(second)), settings_, longest, useful, shadow);
}

bool PassSearch::CoarseKnown(long long second, PassSample& sample) {
    sample = PassSample{};
    if (!hasObject_) {
        ++samples_;
        sample.elevation = -90.0;
        return true;
    }
    if (!pruning_) return false;
    if (static_cast<double>(second) < outOfPassUntil_) {
        ++pruned_;
        sample.elevation = -90.0;
        return true;
    }
    if (second < inPassUntil_) {
        ++pruned_;
        sample.computed = sample.inPass = true;
        return true;
    }
    return false;
}

PassSample PassSearch::CoarseCondition(long long second) {
    PassSample sample;
    return CoarseKnown(second, sample) ? sample : CoarseFrom(second, StateAt(second));
}

PassSample PassSearch::ConditionFrom(long long second, PropagationResult state) {
    PassSample sample;
    StateVector position;
    if (LookFrom(second, state, sample, position, nullptr, true))
        sample.inPass = InPassAt(second, sample, position);
    return sample;
}

PassSearch::ElevationSide PassSearch::CoarseSide(long long second, const PropagationResult& state,
                                                 StateVector& position) {
    // The compared elevation is the refracted one where that is 0 or above, else the geometric
    // one h. Over -4.5 to 90 degrees the refraction lifts h by at most 0.75 degrees and lowers it
    // (near the zenith) by under 1e-6 radians; below -6 degrees the geometric one stands. So the
    // sine of h decides the sample unless h lies near the AOS elevation or near the pole of the
    // refraction formula (kLiftLow to kLiftHigh; for an AOS elevation of -4.5 degrees or less,
    // anywhere from -6 to -4.5 degrees); those take the full look angles.
    const ObserverState* observer = table_ ? table_->Observer(second) : nullptr;
    if (!observer || !table_->Sun(second) || !state.Ok() || !aos_.usable) return ElevationSide::kUnknown;
    PropagationResult converted = state;
    ConvertState(converted);
    const StateVector& p = converted.position;
    const SiteView view = ViewFrom(*observer, p);
    const double range = view.range, sine = view.sine;
    if (!(range > 0.0) || !std::isfinite(sine) || !std::isfinite(converted.velocity.x) ||
        !std::isfinite(converted.velocity.y) || !std::isfinite(converted.velocity.z))
        return ElevationSide::kUnknown;
    ElevationSide side = ElevationSide::kUnknown;
    if (sine < aos_.belowLowest || (sine >= aos_.formulaLow && sine < aos_.below))
        side = ElevationSide::kBelow;
    else if (sine > aos_.above)
        side = ElevationSide::kAbove;
    if (side != ElevationSide::kUnknown) {
        position = p;
        velocity_ = converted.velocity;
    }
    return side;
}

const PassSearch::AosConstants& PassSearch::AosConstantsFor(double aos) {
    thread_local double madeFor = std::numeric_limits<double>::quiet_NaN();
    thread_local AosConstants c;
    if (aos == madeFor) return c;
    madeFor = aos;
    c.cone = ViewCone(std::fmin(Radians(-6.0), aos - Radians(1.0)));
    // By halving: the refracted elevation rises with the geometric one from -4.5 degrees on.
    double low = Radians(-4.5), high = Radians(90.0);
    bool visible = false;
    c.horizonSine = std::numeric_limits<double>::quiet_NaN();
    if (RefractElevation(low, visible) < aos && RefractElevation(high, visible) > aos) {
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (low + high);
            (RefractElevation(mid, visible) < aos ? low : high) = mid;
        }
        c.horizonSine = std::sin(0.5 * (low + high));
    }
    // Sines of the elevations that bound the decided coarse samples, each with a margin far above
    // the rounding of the sine and of the look angles' own arithmetic.
    c.usable = std::isfinite(aos) && std::fabs(aos) < Radians(80.0);
    if (!c.usable) return c;
    constexpr double margin = 1.0e-9;
    // Below -6 degrees: below the AOS elevation when that is higher.
    // From -6 to -4.5 degrees: below the AOS elevation outside the refraction formula's lift (see
    // kLiftLow), when the AOS elevation is above -4.5 degrees.
    const bool lifted = aos > Radians(-4.5);
    c.belowLowest = std::sin(lifted ? kLiftLow - margin : std::fmin(Radians(-6.0), aos) - margin);
    c.formulaLow = std::sin(lifted ? kLiftHigh + margin : Radians(-4.5) + margin);
    c.below = std::sin(std::fmax(Radians(-4.5), aos - Radians(0.75)) - margin);
    c.above = std::sin(aos + 1.0e-6 + margin);
    return c;
}

PassSample PassSearch::CoarseFrom(long long second, PropagationResult state) {
    if (!pruning_) return ConditionFrom(second, state);
    PassSample sample;
    StateVector position;
    Shadow shadow;
    // The scan needs only the in-pass flag: no azimuth, and away from the AOS elevation not even
    // the elevation itself.
    const ElevationSide side = CoarseSide(second, state, position);
    if (side == ElevationSide::kBelow) {
        ++samples_;
        sample.computed = true;
        sample.elevation = -90.0;  // not made: the scan reads the in-pass flag only
    } else if (side == ElevationSide::kAbove) {
        ++samples_;
        sample.computed = true;
        sample.elevation = 90.0;  // likewise
        sample.inPass = settings_.ignoreEclipse || !IsEclipsed(position, *table_->Sun(second), &shadow.depth);
        shadow.known = !settings_.ignoreEclipse;
    } else {
        if (!LookFrom(second, state, sample, position, &velocity_, false)) return sample;
        sample.inPass = InPassAt(second, sample, position, &shadow);
    }
    if (sample.inPass) {
        // Samples provably in pass are not computed, the scan's last one included: the scan
        // reads only their in-pass flag (a pass still open there is dropped either way).
        const auto toLast = static_cast<double>(lastCoarse_ - second);
        const double in = ProvenInPass(second, position, velocity_, toLast, kCoarseStepSeconds, shadow);
        if (in >= kCoarseStepSeconds)
            inPassUntil_ = in >= toLast ? lastCoarse_ + 1 : second + static_cast<long long>(in);
    } else {
        const ObserverState* observer = table_ ? table_->Observer(second) : nullptr;
        StateVector site, siteVelocity;
        if (observer) {
            site = observer->position;
        } else {
            GeodeticPoint point = point_;
            ObserverPositionVelocity(point, TimeOf(second), site, siteVelocity);
        }
        const double out =
            SecondsOutOfPass(position, velocity_, site, aos_.cone, shadow, observer, aos_.horizonSine);
        if (out > 0.0) outOfPassUntil_ = static_cast<double>(second) + out;
    }
    return sample;
}

bool ScanState::Take(long long s, bool inPass) {
    if (inPass) {
        if (!open) {
            aos = s;
            open = true;
        }
        los = s;
        return false;
    }
    if (!open) return false;
    skip = kSkipAfterPass;
    open = false;
    return true;
}

void CoarseScan(const ScanRange& range, const PassSampler& condition,
                const std::function<void(long long, long long)>& onPass) {
    ScanState scan;
    for (long long s = range.first; static_cast<double>(s) <= range.last; s += kCoarseStepSeconds) {
        if (scan.Wants() && scan.Take(s, condition(s).inPass)) onPass(scan.aos, scan.los);
    }
}

RefinedEnd RefineAOS(long long coarse, SearchVariant variant, const PassSampler& condition,
                     const InPassReach& readInPass) {
    RefinedEnd result;
    result.second = coarse;
    long long k = 0;
    long long limit = 200;
    if (variant == SearchVariant::kBatch) {
        limit = 1000;
        for (long long probe = 30; probe <= 150; probe += 30) {
            if (!condition(coarse - probe).inPass) break;
            k = probe - 1;
        }
    }
    std::optional<double> azimuth;  // of the direction (its text is made once, at the end)
    for (;; ++k) {
        if (k > limit) {
            result.second = coarse;
            break;
        }
        if (readInPass) {
            // Seconds read in pass without computing: the walk would take each in turn.
            const long long last = std::min(coarse - readInPass(coarse - k), limit);
            if (last > k) {
                k = last;
                result.second = coarse - k;
                azimuth = PassSample{}.azimuth;
                continue;
            }
        }
        const PassSample sample = condition(coarse - k);
        if (!sample.inPass) break;
        result.second = coarse - k;
        azimuth = sample.azimuth;
    }
    if (azimuth) result.direction = CompassText(*azimuth, false);
    return result;
}

RefinedEnd RefineLOS(long long coarse, SearchVariant variant, const PassSampler& condition,
                     const InPassReach& readInPass) {
    RefinedEnd result;
    result.second = coarse;
    const bool batch = variant == SearchVariant::kBatch;
    long long k = batch ? 0 : -10;
    std::optional<double> azimuth;  // of the direction (its text is made once, at the end)
    for (long long probe = 30; probe <= 150; probe += 30) {
        const PassSample sample = condition(coarse + probe);
        azimuth = sample.azimuth;
        if (!sample.inPass) break;
        k = probe;
    }
    long long limit = 200;
    if (!batch) {
        k -= 20;
        limit = 201;
    }
    for (;; ++k) {
        if (k > limit) {
            result.second = coarse;
            break;
        }
        if (readInPass) {
            const long long last = std::min(readInPass(coarse + k) - coarse, limit);
            if (last > k) {
                k = last;
                result.second = coarse + k;
                azimuth = PassSample{}.azimuth;
                continue;
            }
        }
        const PassSample sample = condition(coarse + k);
        if (!sample.inPass) break;
        result.second = coarse + k;
        azimuth = sample.azimuth;
    }
    if (azimuth) result.direction = CompassText(*azimuth, false);
    return result;
}

Culmination MaximumElevation(long long aos, long long los, const PassSampler& look,
                             const std::function<long long(long long)>& risingUntil) {
    Culmination best;
    best.second = aos;
    for (long long t = aos; t <= los; t += 10) {
        const PassSample sample = look(t);
        if (!(sample.elevation > best.elevation)) break;
        best.elevation = sample.elevation;
        best.second = t;
        best.range = sample.range;
        if (risingUntil) {
            // Every step up to that second rises: the walk would pass them all.
            const long long steps = (std::min(risingUntil(t), los) - t) / 10;
            if (steps >= 2) t += 10 * (steps - 1);
        }
    }
    const long long coarse = best.second;
    for (long long t = coarse + 1; t <= coarse + 10; ++t) {
        const PassSample sample = look(t);
        if (!(sample.elevation > best.elevation)) break;
        best.elevation = sample.elevation;
        best.second = t;
        best.range = sample.range;
        if (risingUntil) {
            // Seconds that provably rise are passed as the loop would pass them.
            const long long steps = std::min(risingUntil(t), coarse + 10) - t;
            if (steps >= 2) t += steps - 1;
        }
    }
    return best;
}

PassSample PassSearch::LookAt(long long second) {
    PassSample sample;
    StateVector position;
    Look(second, sample, position);
    return sample;
}

void PassSearch::StartCoarseScan(const ScanRange& range) {
    outOfPassUntil_ = 0.0;
    inPassUntil_ = 0;
    lastCoarse_ = range.first;
    if (static_cast<double>(range.first) <= range.last)
        lastCoarse_ = range.first + static_cast<long long>((range.last - static_cast<double>(range.first)) /
                                                           kCoarseStepSeconds) *
                                        kCoarseStepSeconds;
}

void PassSearch::CoarseScan(const ScanRange& range, const std::function<void(long long, long long)>& onPass) {
    StartCoarseScan(range);
    corvane::CoarseScan(
        range, [this](long long s) { return CoarseCondition(s); }, onPass);
}

void PassSearch::Prepare(Use use, long long coarse, SearchVariant variant) {
    use_ = use;
    fakeLow_ = 0;
    fakeHigh_ = -1;
    hasKnownOut_ = bisected_ = false;
    for (Remembered& r : remembered_) r.second = kNoSecond;
    runLow_ = outLow_ = 0;
    runHigh_ = outHigh_ = -1;
    lookSecond_ = kNoSecond;
    const bool batch = variant == SearchVariant::kBatch;
    if (use == Use::kAosWalk) walkEnd_ = coarse - (batch ? 1000 : 200);
    if (use == Use::kLosWalk) walkEnd_ = coarse + (batch ? 200 : 201);
}

bool PassSearch::Known(long long second, PassSample& sample) {
    sample = PassSample{};
    if (use_ == Use::kAosWalk || use_ == Use::kLosWalk) {
        if ((second >= fakeLow_ && second <= fakeHigh_) || (second >= runLow_ && second <= runHigh_)) {
            ++pruned_;
            sample.computed = sample.inPass = true;
            return true;
        }
        if (second >= outLow_ && second <= outHigh_) {
            // Provably out of pass (AOS walks only, whose samples out of pass give nothing else).
            ++pruned_;
            sample.computed = true;
            return true;
        }
        for (const Remembered& r : remembered_) {
            if (r.second == second) {
                sample = r.sample;
                return true;
            }
        }
    }
    if (!hasObject_) {
        ++samples_;
        sample.elevation = -90.0;
        return true;
    }
    return false;
}

PassSample PassSearch::From(long long second, PropagationResult state) {
    PassSample sample;
    StateVector position, velocity;
    if (use_ == Use::kLook) {
        // The culmination reads the elevation and range only; the state lets RisingUntil prove
        // steps ahead.
        if (LookFrom(second, state, sample, position, &velocity, false) && pruning_) {
            lookSecond_ = second;
            lookPosition_ = position;
            lookVelocity_ = velocity;
        }
        return sample;
    }
    if (use_ == Use::kCondition) return ConditionFrom(second, state);
    // Pruned walks: seconds in [fakeLow_, fakeHigh_] are provably in pass and read so without
    // computing them. Each range lies next to the computed sample that proved it (below it for the
    // AOS, above for the LOS), and the walk's last second is always computed: so the sample that
    // ends the walk, the one before it, whose azimuth gives the direction, and the one at the limit
    // are all computed. The LOS walk starts on an in-pass second (the last good probe, or the
    // coarse LOS), so its direction is always that of a computed sample too.
    Shadow shadow;
    if (!WalkSample(second, state, sample, position, velocity, shadow)) {
        // The walk ends at or before the first sample out of pass beyond this one: remember it.
        hasKnownOut_ = true;
        knownOut_ = second;
        knownOutSample_ = sample;
        knownOutMargin_ = Margin(second, sample, position, shadow);
        return sample;
    }
    if (!BoundsVelocity(second, position, velocity)) return sample;
    if (Bisect(second, sample, position, velocity, shadow)) return sample;
    if (use_ == Use::kAosWalk && second > walkEnd_ + 1) {
        const auto in = static_cast<long long>(ProvenInPass(
            second, position, velocity, static_cast<double>(second - walkEnd_ - 1), 2.0, shadow));
        if (in >= 2) {
            fakeHigh_ = second - 1;
            fakeLow_ = std::max(second - in + 1, walkEnd_ + 1);
        }
    } else if (use_ == Use::kLosWalk && second < walkEnd_ - 1) {
        const auto in = static_cast<long long>(ProvenInPass(
            second, position, velocity, static_cast<double>(walkEnd_ - 1 - second), 2.0, shadow));
        if (in >= 2) {
            fakeLow_ = second + 1;
            fakeHigh_ = std::min(second + in - 1, walkEnd_ - 1);
        }
    }
    return sample;
}

bool PassSearch::WalkSample(long long second, PropagationResult state, PassSample& sample,
                            StateVector& position, StateVector& velocity, Shadow& shadow) {
    if (!LookFrom(second, state, sample, position, &velocity, true)) return false;
    sample.inPass = InPassAt(second, sample, position, &shadow);
    return sample.inPass;
}

double PassSearch::Margin(long long second, const PassSample& sample, const StateVector& position,
                          const Shadow& shadow) {
    // The sine of the geometric elevation less that of the one whose refracted elevation is the
    // AOS elevation, which moves far more evenly than the refracted elevation near the horizon;
    // or, where less, how far the object is from the Earth's shadow. Not a number where a sample
    // out of pass does not tell which.
    constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
    const double threshold = aos_.horizonSine;
    if (!sample.computed || !std::isfinite(threshold)) return kUnknown;
    double f = ViewFrom(ObserverAt(second), position).sine - threshold;
    if (settings_.ignoreEclipse) return f;
    if (!shadow.known) return f > 0.0 ? kUnknown : f;
    return std::fmin(f, -shadow.depth);
}

bool PassSearch::Bisect(long long second, PassSample& sample, const StateVector& position,
                        const StateVector& velocity, const Shadow& shadow) {
    // From an in-pass second the walk goes on (back for the AOS, on for the LOS) until a second
    // out of pass. Over a stretch where the elevation provably moves one way (rising toward this
    // second on the AOS side, falling after it on the LOS side) and the object stays sunlit, the
    // in-pass seconds are one run from this second. So: with a second already known out of pass
    // within such a stretch, the run's end is found by halving; without one, the far end of the
    // longest such stretch is computed, and if it is in pass the whole stretch is. The walk then
    // reads the run as in pass, its computed ends from here, and (AOS) the seconds beyond the
    // run's end as out of pass. The run survives the walk's own proofs (fakeLow_, fakeHigh_).
    if (bisected_) return false;
    const bool aos = use_ == Use::kAosWalk;
    const long long direction = aos ? -1 : 1;  // of the walk, in time
    const long long room = (walkEnd_ - second) * direction;
    if (room < 2) return false;
    // In view: the elevation rises toward this second (falls after it), or it provably stays
    // above the AOS elevation. Sunlit: likewise with the shadow depth, falling toward this
    // second (rising after it), or provably sunlit throughout.
    const ObserverState observer = ObserverAt(second);
    const ElevationTrend trend(position, velocity, observer);
    const double inView =
        SecondsInView(position, velocity, observer, settings_.aosElevation, static_cast<double>(room), 8.0);
    std::optional<ShadowTrend> shade;  // made when first needed
    const double sunlit =
        settings_.ignoreEclipse ? HUGE_VAL : SecondsSunlit(trend.Orbit(), shadow.depth, kBoundSlack);
    auto provable = [&](long long span) {
        const auto t = static_cast<double>(span);
        const bool view = inView >= t || trend.Monotone(aos ? +1 : -1, t);
        if (!view) return false;
        if (sunlit > t) return true;
        if (!shade) {
            const StateVector* sun = table_ ? table_->Sun(second) : nullptr;
            shade.emplace(position, velocity, sun ? *sun : ComputeSunVector(TimeOf(second)), trend.Orbit());
        }
        return shade->Monotone(aos ? -1 : +1, t);
    };
    const long long known = hasKnownOut_ ? (knownOut_ - second) * direction : 0;
    long long in = second, out = 0;
    PassSample inSample = sample, outSample;
    double farMargin = 0.0;
    if (known > 0 && known <= room) {
        if (!provable(known)) return false;
        out = knownOut_;
        outSample = knownOutSample_;
    } else {
        long long span = room;
        // Spans the elevation's trend cannot reach (and the in-view bound does not) are passed
        // over without working out their bounds.
        const double reach = std::fmax(inView, trend.MonotoneAtMost(aos ? +1 : -1, 8.0));
        while (span >= 8 && (static_cast<double>(span) > reach || !provable(span))) span = span * 5 / 8;
        if (span < 8) return false;
        const long long far = second + direction * span;
        PassSample m;
        StateVector p, v;
        Shadow sh;
        if (WalkSample(far, StateNow(far), m, p, v, sh)) {
            Remember(far, m);
            ProveRun(std::min(far, second) + 1, std::max(far, second) - 1);
            return true;
        }
        out = far;
        outSample = m;
        farMargin = Margin(far, m, p, sh);
    }
    bisected_ = true;
    const long long outEnd = out;
    // The run ends where the in-pass margin (see Margin) crosses zero. Over a few seconds it is
    // nearly straight, so the first tries aim at the second on the run's side of the straight
    // line's crossing and then the one beyond it; any second between the two ends keeps the
    // halving right, and plain halving takes over if the aim misses.
    double inMargin = Margin(in, inSample, position, shadow);
    double outMargin = out == knownOut_ && hasKnownOut_ ? knownOutMargin_ : farMargin;
    for (int aimed = 0; in - out > 1 || out - in > 1;) {
        const long long length = (out - in) * direction;
        long long mid = in + (out - in) / 2;
        if (aimed < 3 && inMargin > 0.0 && outMargin < 0.0) {
            ++aimed;
            const double share = inMargin / (inMargin - outMargin);
            const auto step = static_cast<long long>(share * static_cast<double>(length));
            mid = in + direction * std::clamp<long long>(step, 1, length - 1);
        }
        PassSample m;
        StateVector p, v;
        Shadow sh;
        if (WalkSample(mid, StateNow(mid), m, p, v, sh)) {
            in = mid;
            inSample = m;
            inMargin = Margin(mid, m, p, sh);
        } else {
            out = mid;
            outSample = m;
            outMargin = Margin(mid, m, p, sh);
        }
    }
    Remember(in, inSample);
    Remember(out, outSample);
    ProveRun(std::min(in, second) + 1, std::max(in, second) - 1);
    if (aos) {
        outLow_ = outEnd;
        outHigh_ = out;
    }
    return true;
}

void PassSearch::Remember(long long second, const PassSample& sample) {
    remembered_[rememberedNext_++ % kRemembered] = Remembered{second, sample};
}

void PassSearch::ProveRun(long long low, long long high) {
    if (high < low) return;
    if (runHigh_ >= runLow_ && low <= runHigh_ + 1 && high >= runLow_ - 1) {
        runLow_ = std::min(runLow_, low);
        runHigh_ = std::max(runHigh_, high);
    } else {
        runLow_ = low;
        runHigh_ = high;
    }
}

PropagationResult PassSearch::StateNow(long long second) {
    if (!batch_) return PropagateSlot(TimeOf(second), *slot_);
    return batch_->PropagateOne(batchObject_, TimeOf(second));
}

PassSample PassSearch::Sample(long long second) {
    PassSample sample;
    return Known(second, sample) ? sample : From(second, StateAt(second));
}

RefinedEnd PassSearch::RefineAOS(long long coarseAos, SearchVariant variant) {
    Prepare(pruning_ ? Use::kAosWalk : Use::kCondition, coarseAos, variant);
    if (!pruning_) return corvane::RefineAOS(coarseAos, variant, [this](long long s) { return Sample(s); });
    return corvane::RefineAOS(
        coarseAos, variant, [this](long long s) { return Sample(s); },
        [this](long long s) { return ReadInPass(s, -1); });
}

RefinedEnd PassSearch::RefineLOS(long long coarseLos, SearchVariant variant) {
    Prepare(pruning_ ? Use::kLosWalk : Use::kCondition, coarseLos, variant);
    if (!pruning_) return corvane::RefineLOS(coarseLos, variant, [this](long long s) { return Sample(s); });
    return corvane::RefineLOS(
        coarseLos, variant, [this](long long s) { return Sample(s); },
        [this](long long s) { return ReadInPass(s, +1); });
}

long long PassSearch::ReadInPass(long long second, int direction) {
    // The seconds Known reads in pass: the proven ranges, which may adjoin one another.
    long long reach = second - direction;
    for (;;) {
        const long long next = reach + direction;
        long long end = reach;
        if (next >= fakeLow_ && next <= fakeHigh_) end = direction > 0 ? fakeHigh_ : fakeLow_;
        if (next >= runLow_ && next <= runHigh_)
            end = direction > 0 ? std::max(end, runHigh_) : std::min(end, runLow_);
        if (end == reach) break;
        pruned_ += (end - reach) * direction;
        reach = end;
    }
    return reach;
}

Culmination PassSearch::MaximumElevation(long long aos, long long los) {
    Prepare(Use::kLook, 0, SearchVariant::kSingleObject);
    auto look = [this](long long s) { return Sample(s); };
    if (!pruning_) return corvane::MaximumElevation(aos, los, look);
    // The second, one-second steps may go up to 10 seconds past the LOS.
    return corvane::MaximumElevation(aos, los, look,
                                     [this, los](long long s) { return RisingUntil(s, los + 10); });
}

PassSearch::ModelMotion PassSearch::CheckMotion(long long second, const StateVector& p, const StateVector& v,
                                                StateVector& fromPositions) {
    // The refinement's bounds hold for an orbit: positions that move at the velocity the bounds
    // take and bend with gravity. An element set used far from its epoch with strong drag leaves
    // that (the model's semi-major axis then changes fast, which its velocity does not show: a
    // decaying object 37 days before its epoch moves at 0.7 of its stated speed). Checked against
    // the positions a second either side.
    PropagationResult before = StateNow(second - 1), after = StateNow(second + 1);
    if (!before.Ok() || !after.Ok()) return ModelMotion::kNone;
    ConvertState(before);
    ConvertState(after);
    const StateVector& b = before.position;
    const StateVector& a = after.position;
    // The instants as the model saw them: a Julian date resolves about 40 microseconds, too
    // coarse to take the spacing as exactly one second (their differences are exact).
    const double hb = (TimeOf(second) - TimeOf(second - 1)) * 86400.0;
    const double ha = (TimeOf(second + 1) - TimeOf(second)) * 86400.0;
    const double span = ha + hb;
    fromPositions.x = (a.x - b.x) / span;
    fromPositions.y = (a.y - b.y) / span;
    fromPositions.z = (a.z - b.z) / span;
    const double dx = fromPositions.x - v.x, dy = fromPositions.y - v.y, dz = fromPositions.z - v.z;
    const double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    const double g = kGe / (r * r * r);
    auto second_difference = [&](double before_, double now, double after_) {
        return 2.0 * ((after_ - now) / ha - (now - before_) / hb) / span;
    };
    const double ax = second_difference(b.x, p.x, a.x) + g * p.x,
                 ay = second_difference(b.y, p.y, a.y) + g * p.y,
                 az = second_difference(b.z, p.z, a.z) + g * p.z;
    if (!(std::sqrt(ax * ax + ay * ay + az * az) <= 0.01 * g * r)) return ModelMotion::kNone;
    const double speed = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    const double off = std::sqrt(dx * dx + dy * dy + dz * dz);
    // Within a tenth of the velocity error the bounds allow, the model's velocity serves (most
    // differ by about 2e-5 of it). Deep-space models differ by up to a few metres a second, and
    // by how much changes along the orbit: for them the positions give the velocity.
    if (off <= 1.0e-4 * speed + 1.0e-4) return ModelMotion::kOrbit;
    if (off <= 1.0e-3 * speed + 1.0e-3) return ModelMotion::kPositions;
    return ModelMotion::kNone;
}

bool PassSearch::BoundsVelocity(long long second, const StateVector& p, StateVector& v, bool fromPositions_) {
    // Checked once per search; where the model's own velocity will not do, every proof takes the
    // one the positions a second either side give (when the caller's proofs are worth the two
    // propagations), and must find them smooth there too.
    if (motion_ == ModelMotion::kOrbit) return true;
    if (motion_ == ModelMotion::kNone || (motion_ == ModelMotion::kPositions && !fromPositions_)) return false;
    StateVector fromPositions;
    const ModelMotion here = CheckMotion(second, p, v, fromPositions);
    if (motion_ == ModelMotion::kUnchecked) motion_ = here;
    if (here == ModelMotion::kNone || motion_ == ModelMotion::kNone) return false;
    if (motion_ == ModelMotion::kPositions) v = fromPositions;
    return true;
}

long long PassSearch::RisingUntil(long long second, long long last) {
    if (second != lookSecond_ || last - second < 2) return second;
    // (The culmination of an object whose positions give the velocity is left to its steps: its
    // proofs are short there, and would each cost two propagations.)
    StateVector velocity = lookVelocity_;
    if (!BoundsVelocity(second, lookPosition_, velocity, false)) return second;
    const ElevationTrend trend(lookPosition_, velocity, ObserverAt(second));
    // Beyond the last second the walk stops anyway.
    const double t = trend.LongestMonotone(+1, std::fmin(3000.0, static_cast<double>(last - second)), 2.0);
    return second + static_cast<long long>(t);
}

std::vector<PassRecord> PassSearch::RefinePasses(const std::vector<std::pair<long long, long long>>& found,
                                                 SearchVariant variant, bool excludeDaytime) {
    std::vector<PassRecord> passes;
    for (const auto& [coarseAos, coarseLos] : found) {
        if (excludeDaytime && !IsNightPass(site_, TimeOf(coarseAos) + site_.utcOffset / 24.0)) continue;
        const RefinedEnd aos = RefineAOS(coarseAos, variant);
        const RefinedEnd los = RefineLOS(coarseLos, variant);
        const Culmination top = MaximumElevation(aos.second, los.second);
        PassRecord pass;
        pass.coarseAosSecond = coarseAos;
        pass.aosSecond = aos.second;
        pass.losSecond = los.second;
        pass.maxSecond = top.second;
        pass.aos = TimeOf(aos.second);
        pass.los = TimeOf(los.second);
        pass.aosDirection = aos.direction;
        pass.losDirection = los.direction;
        pass.duration = static_cast<double>(los.second - aos.second);
        pass.maxElevation = top.elevation;
        pass.maxElevationTime = TimeOf(top.second);
        pass.rangeAtMax = top.range;
        passes.push_back(std::move(pass));
    }
    return passes;
}

std::vector<PassRecord> PassSearch::FindPasses(const ScanRange& range, SearchVariant variant,
                                               bool excludeDaytime) {
    if (!hasObject_) return {};
    // The scan first, then each pass it found: a pass's refinement does not touch the scan's state.
    std::vector<std::pair<long long, long long>> found;
    CoarseScan(range,
               [&](long long coarseAos, long long coarseLos) { found.emplace_back(coarseAos, coarseLos); });
    return RefinePasses(found, variant, excludeDaytime);
}

bool FindPassesTogether(PropagationBatch& batch, const std::vector<uint32_t>& objects, const Site& site,
                        const PassSettings& settings, double start, const InstantTable* table,
                        const ScanRange& range, SearchVariant variant, bool excludeDaytime,
                        const std::atomic<bool>& stop, std::vector<std::vector<PassRecord>>& passes) {
    const size_t n = objects.size();
    passes.assign(n, {});
    // Each object's own search (its pruning bounds and walk state); they must not move once
    // their walks hold them.
    std::vector<PassSearch> searches;
    searches.reserve(n);
    for (const uint32_t object : objects) {
        searches.emplace_back(batch, object, site, settings, start);
        searches.back().SetCoarsePruning(true);
        searches.back().UseInstants(table);
        searches.back().StartCoarseScan(range);
    }
    std::vector<uint32_t> asking, lanes;  // searches waiting for a propagation, their objects
    std::vector<double> times;
    BatchStates states;
    // When every object of the batch asks, in the batch's order (as at the scan's first sample),
    // the batch propagates its own lanes as they lie instead of gathering them.
    bool inOrder = n == batch.Size();
    for (size_t i = 0; inOrder && i < n; ++i) inOrder = objects[i] == i;
    auto propagate = [&] {
        if (inOrder && lanes.size() == n) {
            batch.PropagateAll(times[0], states);
        } else {
            batch.PropagatePairs(lanes.data(), times.data(), lanes.size(), states);
        }
    };

    // The coarse scan: every object through each sample together.
    std::vector<ScanState> scans(n);
    std::vector<std::vector<std::pair<long long, long long>>> found(n);
    auto take = [&](size_t i, long long s, const PassSample& sample) {
        if (scans[i].Take(s, sample.inPass)) found[i].emplace_back(scans[i].aos, scans[i].los);
    };
    for (long long s = range.first; static_cast<double>(s) <= range.last; s += kCoarseStepSeconds) {
        if (stop.load(std::memory_order_relaxed)) return false;
        asking.clear();
        lanes.clear();
        for (size_t i = 0; i < n; ++i) {
            if (!scans[i].Wants()) continue;
            PassSample sample;
            if (searches[i].CoarseKnown(s, sample)) {
                take(i, s, sample);
            } else {
                asking.push_back(static_cast<uint32_t>(i));
                lanes.push_back(objects[i]);
            }
        }
        if (asking.empty()) continue;
        times.assign(asking.size(), searches[asking[0]].TimeOf(s));
        propagate();
        for (size_t q = 0; q < asking.size(); ++q)
            take(asking[q], s, searches[asking[q]].CoarseFrom(s, states.Result(q)));
    }

    // Each object's passes refined in turn: its walks step through nearby seconds, which the
    // object's own lookahead propagates several at a time.
    for (size_t i = 0; i < n; ++i) {
        if (found[i].empty()) continue;
        if (stop.load(std::memory_order_relaxed)) return false;
        passes[i] = searches[i].RefinePasses(found[i], variant, excludeDaytime);
    }
    return true;
}

std::string PassListLine(const PassRecord& pass, double utcOffsetHours) {
    const double zone = utcOffsetHours / 24.0;
    const double aos = pass.aos + zone, los = pass.los + zone;
    std::string line;
    line.reserve(84);
    line += CalendarDateText(aos);
    line += "  ";
    line += TimeOfDayText(aos, true, 0);
    line += ' ';
    line += (pass.aosDirection + "  ").substr(0, 2);
    line += "   \t";
    line += CalendarDateText(los);
    line += "  ";
    line += TimeOfDayText(los, true, 0);
    line += ' ';
    line += (pass.losDirection + "  ").substr(0, 2);
    line += "    \t";
    line += PassDurationText(pass.losSecond - pass.aosSecond);
    line += "    ";
    line += MaxElevationText(pass.maxElevation, pass.maxElevationTime + zone);
    return line;
}

}  // namespace corvane
