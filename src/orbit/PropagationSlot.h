#pragma once
// A propagation slot: one converted element set and its model, owned by one subsystem (and so
// used by one thread at a time; a slot is not thread-safe). Placing an object at an instant is
// always ConvertElementSet, then PropagateSlot, then ConvertState.
//
// The model initialisation is kept while the same element text is converted again, and the
// deep-space resonance integration is continued where that gives the same numbers: results are
// bit-identical to a fresh initialisation. Slots share no mutable state, so deep-space
// propagations on different threads need no lock.
#include <string>
#include <string_view>

#include "astro/MathUtil.h"
#include "orbit/ElementSet.h"
#include "orbit/Sgp4.h"

namespace corvane {

class ElementCatalogue;

// Slot numbers and their owners.
enum SlotNumber : int {
    kSlotMainDisplay = 1,       // position panel, object list look-ups
    kSlotWorldMap = 2,          // world map and ground track
    kSlotPassPrediction = 3,    // pass predictions for one object, observation log look-ups
    kSlotTracking = 4,          // tracking engines
    kSlotBatch = 6,             // batch predictions
    kSlotViewPlanList = 7,      // View Plan list
    kSlotViewPlanMap = 9,       // View Plan map and object details
    kSlotPassLog = 10,          // pass text log
    kSlotSkyView = 11,          // sky view
    kSlotViewPlanRefresh = 12,  // periodic View Plan refresh
    kSlotIssMonitor = 13,       // ISS monitor and visibility alert
    kSlotGeostationary = 15,    // geostationary tracking
};
inline constexpr int kSlotCount = 16;
// Propagations more than this far from the epoch (100000 days) give kTimeOutOfRange.
inline constexpr double kMaxMinutesFromEpoch = 1.44e8;

// Position and velocity with the outcome. On an error both vectors are zero.
struct PropagationResult {
    StateVector position;  // Earth radii (model units) or km after ConvertState
    StateVector velocity;  // Earth radii per minute or km/s after ConvertState
    PropagationError error = PropagationError::kNoElements;
    bool Ok() const { return error == PropagationError::kNone; }
};

class PropagationSlot {
public:
    explicit PropagationSlot(int number = 0) : number_(number) {}

    int Number() const { return number_; }

    // Parses an element set into the slot. The same line 1 and line 2 as before keep the
    // parsed elements and the model (the name is still refreshed).
    void Convert(std::string_view nameLine, std::string_view line1, std::string_view line2);
    // Empties the slot.
    void Clear();

    bool HasElements() const { return hasElements_; }
    const ElementSet& Elements() const { return elements_; }
    const std::string& Line1() const { return line1_; }
    const std::string& Line2() const { return line2_; }

    // Position and velocity in model units at tsince minutes from the epoch.
    PropagationResult PropagateMinutes(double tsince);

    // Off: the model is initialised afresh for every propagation, as without the cache.
    void SetCacheEnabled(bool enabled) { cacheEnabled_ = enabled; }
    bool CacheEnabled() const { return cacheEnabled_; }

    // The model variant (the program uses the 1980 report; tests also check the 2006 revision).
    ModelVariant Variant() const { return variant_; }
    void SetModelVariant(ModelVariant variant) {
        if (variant != variant_) initialised_ = false;
        variant_ = variant;
    }

    // Visibility flag written by ComputeLookAngles for this slot: 1 when the refracted
    // elevation is 0 or more.
    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

private:
    int number_;
    bool hasElements_ = false;
    bool cacheEnabled_ = true;
    bool initialised_ = false;  // model_ and resonance_ belong to elements_
    bool visible_ = false;
    ModelVariant variant_ = ModelVariant::kReport1980;
    std::string line1_, line2_;
    ElementSet elements_;
    ModelInit model_;
    ResonanceState resonance_;
};

// A model at tsince minutes from its epoch, as a slot propagates it: its error when it cannot be
// propagated, kTimeOutOfRange beyond kMaxMinutesFromEpoch, else SGP4 or SDP4 (resonance: the
// deep-space integration carried between calls).
PropagationResult PropagateModel(const ModelInit& model, ResonanceState& resonance, double tsince);

// Converts catalogue entry index (1..count) into the slot. False (slot emptied) when the index
// is outside the catalogue.
bool ConvertElementSet(const ElementCatalogue& catalogue, int index, PropagationSlot& slot);
// Position and velocity (model units) at a UTC Julian date.
PropagationResult PropagateSlot(double jd, PropagationSlot& slot);
// Model units to kilometres and kilometres per second, magnitudes filled.
void ConvertState(StateVector& position, StateVector& velocity);
inline void ConvertState(PropagationResult& result) { ConvertState(result.position, result.velocity); }

}  // namespace corvane
