#include "orbit/PropagationSlot.h"

#include "astro/Constants.h"
#include "orbit/ElementCatalogue.h"

namespace corvane {

void PropagationSlot::Convert(std::string_view nameLine, std::string_view line1, std::string_view line2) {
    if (cacheEnabled_ && hasElements_ && line1 == line1_ && line2 == line2_) {
        std::string_view name = nameLine.substr(0, 24);
        while (!name.empty() && (name.back() == '\r' || name.back() == '\n')) name.remove_suffix(1);
        if (name != elements_.name) elements_.name.assign(name);
        return;
    }
    line1_.assign(line1);
    line2_.assign(line2);
    elements_ = ConvertElementText(nameLine, line1, line2);
    hasElements_ = true;
    initialised_ = false;
}

void PropagationSlot::Clear() {
    hasElements_ = false;
    initialised_ = false;
    line1_.clear();
    line2_.clear();
    elements_ = ElementSet{};
}

PropagationResult PropagationSlot::PropagateMinutes(double tsince) {
    if (!hasElements_) return PropagationResult{};
    if (!initialised_ || !cacheEnabled_) {
        InitialiseModel(elements_, model_, variant_);
        resonance_ = ResonanceState{};
        initialised_ = true;
    }
    return PropagateModel(model_, resonance_, tsince);
}

PropagationResult PropagateModel(const ModelInit& model, ResonanceState& resonance, double tsince) {
    PropagationResult result;
    if (model.error != PropagationError::kNone) {
        result.error = model.error;
        return result;
    }
    // Far beyond any use of an element set, and the resonance integration of deep-space objects
    // (720-minute steps from the epoch) would take for ever.
    if (!(std::fabs(tsince) <= kMaxMinutesFromEpoch)) {
        result.error = PropagationError::kTimeOutOfRange;
        return result;
    }
    result.error = model.deepSpace ? SDP4(model, resonance, tsince, result.position, result.velocity)
                                   : SGP4(model, tsince, result.position, result.velocity);
    return result;
}

bool ConvertElementSet(const ElementCatalogue& catalogue, int index, PropagationSlot& slot) {
    const CatalogueEntry* entry = catalogue.Entry(index);
    if (entry == nullptr) {
        slot.Clear();
        return false;
    }
    slot.Convert(entry->name, entry->line1, entry->line2);
    return true;
}

PropagationResult PropagateSlot(double jd, PropagationSlot& slot) {
    if (!slot.HasElements()) return PropagationResult{};
    const double tsince = (jd - slot.Elements().epochJd) * kMinutesPerDay;
    return slot.PropagateMinutes(tsince);
}

void ConvertState(StateVector& position, StateVector& velocity) {
    position.x *= kXkmper;
    position.y *= kXkmper;
    position.z *= kXkmper;
    position.magnitude *= kXkmper;
    const double v = kXkmper / 60.0;
    velocity.x *= v;
    velocity.y *= v;
    velocity.z *= v;
    velocity.magnitude *= v;
}

}  // namespace corvane
