#pragma once
// The pass search: for one catalogue object and the observer's site, the passes in a time window
// (AOS, LOS, their compass directions, the duration and the culmination). A coarse scan every 119
// seconds finds candidate passes; each one's ends are refined to the second by short walks and
// its culmination by a 10-second then a 1-second scan. The step sizes, walk limits and the skip
// of 25 samples after each pass fix both the cost and the exact results.
//
// All times are whole seconds counted from the search start S (a UTC Julian date); the instant of
// second s is S + s / 86400. A PassSearch owns no thread: it uses the caller's propagation slot,
// so one search runs on one thread at a time.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "astro/Time.h"
#include "orbit/Observer.h"
#include "orbit/Sgp4Batch.h"
#include "passes/PassBounds.h"

namespace corvane {

class ElementCatalogue;
class PropagationBatch;
class PropagationSlot;
struct BatchStates;
struct PropagationResult;

struct PassSettings {
    double aosElevation = 0.0;   // radians (the setting AOSElevation)
    bool ignoreEclipse = false;  // the setting IgnoreEclipse
};

// One sample of the pass condition.
struct PassSample {
    bool inPass = false;     // elevation above AOSElevation and not eclipsed
    bool computed = false;   // the position could be computed (otherwise never in pass)
    double azimuth = 0.0;    // degrees
    double elevation = 0.0;  // degrees, refracted as the look angles give it
    double range = 0.0;      // km
};

struct PassRecord {
    double aos = 0.0;  // UTC Julian date
    double los = 0.0;  // UTC Julian date
    std::string aosDirection = "--";
    std::string losDirection = "--";
    double duration = 0.0;          // seconds
    double maxElevation = -90.0;    // degrees
    double maxElevationTime = 0.0;  // UTC Julian date
    double rangeAtMax = 0.0;        // km
    // The same instants as whole seconds from the search start.
    long long aosSecond = 0, losSecond = 0, maxSecond = 0;
    long long coarseAosSecond = 0;  // the scan's AOS sample, on which the daytime rule acts
};

enum class SearchVariant {
    kSingleObject,  // pass predictions, ISS monitor: walks of 200 (AOS) and 201 (LOS) seconds
    kBatch,         // batch predictions: staged probes, walks of 1000 (AOS) and 200 (LOS) seconds
};

// The seconds a coarse scan samples: first, first + 119, ... while not beyond last.
struct ScanRange {
    long long first = 1;
    double last = 0.0;
};
// Day window w (0 = the 24 hours from the start): seconds 1 + 86400 w to 172919 / 2 + 86400 w.
ScanRange DayWindowRange(int w);
// Batch predictions over periodMinutes: seconds 1 to (13 + periodMinutes) * 60.
ScanRange BatchRange(int periodMinutes);

inline constexpr int kCoarseStepSeconds = 119;
inline constexpr int kSkipAfterPass = 25;

// One sample: position of object (catalogue index) at the UTC Julian date t, look angles from the
// site (refracted elevation), and the prediction shadow test.
PassSample PassCondition(const ElementCatalogue& catalogue, int object, PropagationSlot& slot,
                         const Site& site, double t, const PassSettings& settings);

// The daytime rule: true (keep) when the local time of the pass's AOS, as hours and minutes, is
// after the local sunset or before the local sunrise of the day whose number is the whole part
// of the AOS's local Julian date.
bool IsNightPass(const Site& site, double localAos);

struct RefinedEnd {
    long long second = 0;
    std::string direction = "--";
};

struct Culmination {
    double elevation = -90.0;  // degrees
    long long second = 0;
    double range = 0.0;  // km
};

// The search steps over any source of samples (second from the search start -> sample), so that
// they can be driven by made-up passes as well as by the orbit model.
using PassSampler = std::function<PassSample(long long second)>;

// The coarse scan's state between two samples.
struct ScanState {
    long long aos = 0, los = 0;
    bool open = false;  // a pass is open (aos set)
    int skip = 0;       // samples still to pass over after a pass
    // False when the next sample is passed over (and counts it as passed over).
    bool Wants() {
        if (skip == 0) return true;
        --skip;
        return false;
    }
    // Takes the sample at second s; true when it closes a pass (aos, los).
    bool Take(long long s, bool inPass);
};

// Calls onPass(coarse AOS, coarse LOS) for each pass that closes inside the range, skipping 25
// samples after each closing sample; a pass still open at the last sample is dropped.
void CoarseScan(const ScanRange& range, const PassSampler& condition,
                const std::function<void(long long, long long)>& onPass);
// Earliest second of the in-pass run that ends at the coarse AOS, at most 200 seconds back (1000
// with the batch probes); beyond that the coarse AOS stays.
// readInPass, when given, tells from the second the walk samples next the farthest second on
// (back for the AOS, on for the LOS) up to which the condition would give in-pass samples without
// their look angles (computed false, azimuth 0, in pass); the walk takes them without asking.
using InPassReach = std::function<long long(long long second)>;
RefinedEnd RefineAOS(long long coarseAos, SearchVariant variant, const PassSampler& condition,
                     const InPassReach& readInPass = {});
// Last second of the in-pass run after the coarse LOS, found by 30-second probes and a walk.
RefinedEnd RefineLOS(long long coarseLos, SearchVariant variant, const PassSampler& condition,
                     const InPassReach& readInPass = {});
// 10-second steps from AOS while rising (not beyond LOS), then 1-second steps after the coarse
// maximum while rising. look gives the elevation and range.
// risingUntil, when given, tells from a computed sample the last second up to which the elevation
// provably rises; the steps before it are taken without sampling them.
Culmination MaximumElevation(long long aos, long long los, const PassSampler& look,
                             const std::function<long long(long long)>& risingUntil = {});

// The site and the Sun at every whole second of a range, for searches that share a start (the
// batch predictions look at thousands of objects at the same instants). Read-only once built, so
// any number of threads may share one. Gives the numbers a search would compute itself.
class InstantTable {
public:
    InstantTable(const Site& site, double start, long long firstSecond, long long lastSecond);
    double Start() const { return start_; }
    // nullptr outside the range.
    const ObserverState* Observer(long long second) const;
    const StateVector* Sun(long long second) const;

private:
    double start_;
    long long first_;
    std::vector<ObserverState> observer_;
    std::vector<StateVector> sun_;
};
// The range an InstantTable needs for a batch search over periodMinutes: the coarse samples and
// every refinement walk around them.
InstantTable BatchInstantTable(const Site& site, double start, int periodMinutes);

class PassSearch;

// The shadow test of a sample, once made.
struct Shadow {
    bool known = false;
    double depth = 0.0;  // as IsEclipsed gives it
};

// Batch predictions of the objects of one batch: every object's FindPasses (with coarse pruning),
// the objects worked side by side so that the propagations of each step of the search are made
// for all of them in one call. The same passes as each object's own search. `objects` are batch
// numbers; the result holds their passes in the same order. Returns false, with nothing found,
// when stop was set before the end.
bool FindPassesTogether(PropagationBatch& batch, const std::vector<uint32_t>& objects, const Site& site,
                        const PassSettings& settings, double start, const InstantTable* table,
                        const ScanRange& range, SearchVariant variant, bool excludeDaytime,
                        const std::atomic<bool>& stop, std::vector<std::vector<PassRecord>>& passes);

class PassSearch {
public:
    // Loads object (catalogue index) into slot. start is S, a UTC Julian date.
    PassSearch(const ElementCatalogue& catalogue, int object, PropagationSlot& slot, const Site& site,
               const PassSettings& settings, double start);

    // Object `object` of a batch (its models set up once for many searches) instead of a slot.
    PassSearch(PropagationBatch& batch, size_t object, const Site& site, const PassSettings& settings,
               double start);

    bool HasObject() const { return hasObject_; }
    double Start() const { return start_; }
    const Site& SiteValues() const { return site_; }
    double TimeOf(long long second) const { return start_ + static_cast<double>(second) / 86400.0; }

    PassSample Condition(long long second);

    // Look angles only (no shadow test), for the culmination.
    PassSample LookAt(long long second);

    // The steps above on this object.
    void CoarseScan(const ScanRange& range, const std::function<void(long long, long long)>& onPass);
    RefinedEnd RefineAOS(long long coarseAos, SearchVariant variant);
    RefinedEnd RefineLOS(long long coarseLos, SearchVariant variant);
    Culmination MaximumElevation(long long aos, long long los);

    // Scan, daytime rule on the coarse AOS (when asked), refinement and culmination: the passes
    // the caller then filters.
    std::vector<PassRecord> FindPasses(const ScanRange& range, SearchVariant variant, bool excludeDaytime);

    // Number of position computations so far (for the benchmarks and tests).
    long long Samples() const { return samples_; }

    // Lets the coarse scan pass over samples at which the object is provably out of view: after a
    // sample out of view, the next ones that the object cannot reach the site's horizon cone by
    // (its fastest angular motion, with a wide margin) read as out of pass without computing
    // them. Likewise samples of the coarse scan and of the AOS walk at which an object (mostly a
    // slow, high one) provably stays in view and sunlit read as in pass. Samples whose azimuth,
    // elevation or range make a result are always computed. The passes found are the same; only
    // their cost changes.
    void SetCoarsePruning(bool on) { pruning_ = on; }
    // Site and Sun from a shared table (made for the same site and start) where it covers.
    void UseInstants(const InstantTable* table) {
        table_ = table && table->Start() == start_ ? table : nullptr;
    }
    long long PrunedSamples() const { return pruned_; }

private:
    friend bool FindPassesTogether(PropagationBatch&, const std::vector<uint32_t>&, const Site&,
                                   const PassSettings&, double, const InstantTable*, const ScanRange&,
                                   SearchVariant, bool, const std::atomic<bool>&,
                                   std::vector<std::vector<PassRecord>>&);
    // What the samples asked for are used for: each kind computes (and prunes) them its own way.
    enum class Use : uint8_t { kCondition, kAosWalk, kLosWalk, kLook };

    bool Look(long long second, PassSample& sample, StateVector& position, StateVector* velocity = nullptr,
              bool withAzimuth = true);
    // Look with the object's state at the second already propagated.
    bool LookFrom(long long second, PropagationResult state, PassSample& sample, StateVector& position,
                  StateVector* velocity, bool withAzimuth);
    PropagationResult StateAt(long long second);
    // The pass condition (look angles and the in-pass test) from a propagated state.
    PassSample ConditionFrom(long long second, PropagationResult state);
    // The coarse sample at second when pruning can tell it without the orbit model.
    bool CoarseKnown(long long second, PassSample& sample);
    PassSample CoarseFrom(long long second, PropagationResult state);
    void StartCoarseScan(const ScanRange& range);
    // The refinement's samples: Known tells those that need no propagation, From makes the others.
    void Prepare(Use use, long long coarse, SearchVariant variant);
    bool Known(long long second, PassSample& sample);
    PassSample From(long long second, PropagationResult state);
    PassSample Sample(long long second);
    // A walk's sample with its azimuth, state and shadow test; true when in pass.
    bool WalkSample(long long second, PropagationResult state, PassSample& sample, StateVector& position,
                    StateVector& velocity, Shadow& shadow);
    // Ends the walk's run by halving when that provably finds the walk's own end; see From.
    bool Bisect(long long second, PassSample& sample, const StateVector& position,
                const StateVector& velocity, const Shadow& shadow);
    // The culmination: the last second up to which the elevation provably rises from a computed
    // sample at second (second itself when nothing is proven).
    long long RisingUntil(long long second, long long last);
    // How the model's positions move about a computed sample (see the definition): as an orbit at
    // its own velocity (kOrbit), as one at the velocity they give (kPositions, fromPositions), or
    // not as an orbit (kNone).
    enum class ModelMotion : uint8_t { kUnchecked, kOrbit, kPositions, kNone };
    ModelMotion CheckMotion(long long second, const StateVector& p, const StateVector& v, StateVector& fromPositions);
    // The velocity the bounds take at a computed sample (v in, and out); false when no bound
    // may be taken from it, or when that velocity would come from the positions about it and
    // fromPositions is false.
    bool BoundsVelocity(long long second, const StateVector& p, StateVector& v, bool fromPositions = true);
    ModelMotion motion_ = ModelMotion::kUnchecked;
    // Which side of the AOS elevation a coarse sample provably lies on, from the sine of its
    // geometric elevation alone (kUnknown: the full look angles decide). When known, position and
    // velocity_ hold the converted state.
    enum class ElevationSide : uint8_t { kUnknown, kBelow, kAbove };
    ElevationSide CoarseSide(long long second, const PropagationResult& state, StateVector& position);
    // What depends on the AOS elevation alone: made once per thread and setting, not for each of
    // the objects a batch searches.
    struct AosConstants {
        // Sines of the geometric elevations that decide a coarse sample (usable: they may).
        bool usable = false;
        double belowLowest = 0.0, formulaLow = 0.0, below = 0.0, above = 0.0;
        ViewCone cone{0.0};  // of the out-of-view bounds
        // The sine of the geometric elevation at which the refracted one is the AOS elevation (not
        // a number when that is not above -4.5 degrees).
        double horizonSine = 0.0;
    };
    static const AosConstants& AosConstantsFor(double aosElevation);
    PropagationResult StateNow(long long second);
    // Daytime rule, refinement and culmination of each pass the scan found, in order.
    std::vector<PassRecord> RefinePasses(const std::vector<std::pair<long long, long long>>& found,
                                         SearchVariant variant, bool excludeDaytime);
    bool InPassAt(long long second, const PassSample& sample, const StateVector& position,
                  Shadow* shadow = nullptr) const;
    PassSample CoarseCondition(long long second);
    ObserverState ObserverAt(long long second);
    // Seconds (at most longest, either way) for which the object placed at second stays in pass;
    // 0 when that is less than useful.
    double ProvenInPass(long long second, const StateVector& position, const StateVector& velocity,
                        double longest, double useful, const Shadow& shadow);

    PropagationSlot* slot_ = nullptr;
    PropagationBatch* batch_ = nullptr;
    size_t batchObject_ = 0;
    Site site_;
    GeodeticPoint point_;
    PassSettings settings_;
    double start_;
    AosConstants aos_;
    bool hasObject_ = false;
    long long samples_ = 0;
    bool pruning_ = false;
    const InstantTable* table_ = nullptr;
    double outOfPassUntil_ = 0.0;  // coarse samples before this second are out of pass
    long long inPassUntil_ = 0;    // coarse samples before this second are in pass
    long long lastCoarse_ = 0;     // the last sample of the current scan
    long long pruned_ = 0;
    StateVector velocity_;  // of the last sample placed
    Use use_ = Use::kCondition;
    long long fakeLow_ = 0, fakeHigh_ = -1;  // seconds proven in pass during a walk
    long long walkEnd_ = 0;                  // the walk's last second (always computed)
    // A walk's computed sample out of pass (the failed probe), and the samples its halving left.
    static constexpr long long kNoSecond = -(1LL << 62);
    struct Remembered {
        long long second = kNoSecond;
        PassSample sample;
    };
    bool hasKnownOut_ = false, bisected_ = false;
    long long knownOut_ = 0;
    PassSample knownOutSample_;
    double knownOutMargin_ = 0.0;
    static constexpr int kRemembered = 4;
    Remembered remembered_[kRemembered];
    unsigned rememberedNext_ = 0;
    // Seconds proven in pass by halving or a stretch's far end; (AOS) seconds proven out of pass.
    long long runLow_ = 0, runHigh_ = -1, outLow_ = 0, outHigh_ = -1;
    void Remember(long long second, const PassSample& sample);
    // How far a walk sample is inside the pass condition (negative outside), for aiming the
    // halving.
    double Margin(long long second, const PassSample& sample, const StateVector& position,
                  const Shadow& shadow);
    // From second on (direction +1) or back (-1), the farthest second up to which Known reads the
    // walk's samples in pass; second - direction when it reads none.
    long long ReadInPass(long long second, int direction);
    void ProveRun(long long low, long long high);
    // The culmination's last computed sample.
    long long lookSecond_ = kNoSecond;
    StateVector lookPosition_, lookVelocity_;
    // Lookahead of a batch object's walks: states at aheadFirst_ + k aheadStep_.
    static constexpr int kLookahead = 4;
    BatchStates ahead_;
    long long aheadFirst_ = 0, aheadStep_ = 0;
    long long lastAsked_ = 0, lastStep_ = 0;
};

// Line of a pass in the pass lists (84 characters, two tabs), dates and times local.
std::string PassListLine(const PassRecord& pass, double utcOffsetHours);

}  // namespace corvane
