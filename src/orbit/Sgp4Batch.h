#pragma once
// Many propagations at once: the catalogue stepped through one instant (object list, batch
// predictions) or one object through many instants (ground track, sky path).
//
// Near-earth objects of the 1980 model are kept field by field (structure of arrays) and run
// through a loop without branches that the compiler vectorises; the Kepler iteration runs in
// rounds over every lane with a mask. Deep-space objects of the 1980 model are kept the same way in
// three groups, so that the lanes of a loop take the same path: no resonance, synchronous (24 h)
// and half-day (12 h) resonance. A resonant object's integration is advanced object by object (in
// 720-minute steps, its state kept between calls) and the rest runs vectorised; the library's arc
// tangent of the Lyddane form (small inclinations) and the power of a resonant mean motion are
// taken lane by lane between the vectorised loops. Objects of the 2006 revision and objects that
// cannot be propagated stay on the scalar model. A lane that leaves the vectorised path's ground
// (an error, a Kepler iteration that does not converge, an angle too large to reduce) is done
// again by the scalar model. The results equal those of PropagationSlot bit for bit.
//
// Not thread-safe: the deep-space resonance state and the working arrays belong to the batch. The
// models themselves never change once added, so copies of a batch share them (a copy costs a few
// small arrays, not the models' set-up) and each copy may run on its own thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4.h"

namespace corvane {

class ElementCatalogue;

// Near-earth models, one array per field.
struct NearEarthLanes {
    std::vector<double> epochJd;
    std::vector<double> xmo, xmdot, omegao, omgdot, xnodeo, xnodot, xnodcf;
    std::vector<double> c1, bstarC4, t2cof;
    std::vector<double> omgcof, xmcof, eta, delmo, bstarC5, sinmo, d2, d3, d4, t3cof, t4cof, t5cof;
    std::vector<double> simple;  // 1 when the truncated drag terms apply, else 0
    std::vector<double> aodp, eo, xnodp, cosio, sinio, x3thm1, x1mth2, x7thm1, xlcof, aycof;

    size_t Size() const { return epochJd.size(); }
    void Add(const ModelInit& m, double epoch);
    void Clear();
};

// Deep-space models of one kind of resonance, one array per field.
struct DeepSpaceLanes {
    std::vector<double> epochJd;
    std::vector<double> xmo, xmdot, omegao, omgdot, xnodeo, xnodot, xnodcf, c1, bstarC4, t2cof;
    std::vector<double> xnodp, eo, xincl, ssl, ssg, ssh, sse, ssi, thgr, xfact;
    std::vector<double> aodpBase;  // (ke / xnodp)^(2/3): the semi-major axis before drag, no resonance
    std::vector<double> zmos, zmol, se2, se3, si2, si3, sl2, sl3, sl4, sgh2, sgh3, sgh4, sh2, sh3;
    std::vector<double> ee2, e3, xi2, xi3, xl2, xl3, xl4, xgh2, xgh3, xgh4, xh2, xh3;
    std::vector<double> cosio, sinio, x3thm1, x1mth2, x7thm1, xlcof, aycof;
    std::vector<double> del1, del2, del3;  // synchronous resonance
    std::vector<double> d2201, d2211, d3210, d3222, d4410, d4422, d5220, d5232, d5421, d5433;  // half-day
    std::vector<uint32_t> object;  // the batch's object of each lane

    size_t Size() const { return epochJd.size(); }
    void Add(const ModelInit& m, double epoch, uint32_t batchObject);
    void Clear();
};

// Results of one batched call, lane by lane in the order the call defines.
struct BatchStates {
    std::vector<double> x, y, z, vx, vy, vz;  // Earth radii, Earth radii per minute
    std::vector<PropagationError> error;

    size_t Size() const { return error.size(); }
    void Resize(size_t n);
    // As PropagateSlot returns it (model units, magnitudes filled; zero on an error).
    PropagationResult Result(size_t i) const;
};

class PropagationBatch {
public:
    // Adds an object; returns its number in the batch (0, 1, ...).
    size_t Add(const ElementSet& elements, ModelVariant variant = ModelVariant::kReport1980);
    // Adds catalogue entries first..last (1-based, inclusive); eccentricity, when given, receives
    // each one's converted eccentricity.
    void AddCatalogue(const ElementCatalogue& catalogue, int first, int last,
                      std::vector<double>* eccentricity = nullptr);
    void Clear();
    void Reserve(size_t n);

    size_t Size() const { return Data().kind.size(); }
    size_t VectorisedCount() const;
    // Whether the object goes through the vectorised model.
    bool IsVectorised(size_t object) const {
        const Models& m = Data();
        return object < m.kind.size() && m.kind[object] != Kind::kScalar;
    }
    // Vectorised lanes the scalar model has done again (see above) since the batch was made or cleared.
    size_t Fallbacks() const { return fallbacks_; }
    const ElementSet* Elements(size_t object) const;  // nullptr unless kept (see KeepElements)
    // Keep each object's converted elements (for callers that read its fields later).
    void KeepElements(bool keep) { keepElements_ = keep; }

    // Every object at the UTC Julian date jd; out holds them in the batch's order.
    void PropagateAll(double jd, BatchStates& out);
    // Object `object` at each of the n UTC Julian dates; out holds them in the order of jd.
    void PropagateTimes(size_t object, const double* jd, size_t n, BatchStates& out);
    // Each pair k: object objects[k] at the UTC Julian date jd[k]; out holds them in the order of
    // the pairs. Objects beyond the batch give kNoElements.
    void PropagatePairs(const uint32_t* objects, const double* jd, size_t n, BatchStates& out);
    // One object at one instant, by the scalar model (for the odd sample between batched ones).
    PropagationResult PropagateOne(size_t object, double jd);

private:
    struct Scalar {
        ModelInit model;
        double epochJd = 0.0;
    };
    // kDeep objects keep their model among the scalar ones (for the lanes done again) besides
    // their lane in deep[resonance].
    enum class Kind : uint8_t { kNear, kDeep, kScalar };
    static constexpr int kDeepGroups = 3;
    // Everything Add makes; shared by copies and copied before an Add to a shared one.
    struct Models {
        std::vector<Kind> kind;
        std::vector<uint32_t> lane;  // index into near or scalar
        NearEarthLanes near;
        DeepSpaceLanes deep[kDeepGroups];
        // Of each kDeep object, by its index among the scalar ones: its lane and group.
        std::vector<uint32_t> deepLane;
        std::vector<uint8_t> deepGroup;
        std::vector<ModelInit> nearModel;  // for lanes the scalar model does again
        std::vector<Scalar> scalar;
        std::vector<ElementSet> elements;
    };
    const Models& Data() const { return models_ ? *models_ : kNoModels; }
    Models& Writable();
    static const Models kNoModels;

    // The near-earth lanes done in one vector pass and those the scalar model must do again.
    void RunNear(const NearEarthLanes& lanes, bool oneObject, const double* tsince, size_t n, double* out,
                 uint8_t* redo);
    // Deep-space lanes of group g from lane `at` on, lane k at tsince[k] (oneObject: lane `at` at
    // every instant); objects[k] is the batch's object of lane k, whose resonance state carries on.
    // Lanes the scalar model must do again are marked in redo.
    void RunDeep(int g, const DeepSpaceLanes& lanes, size_t at, const uint32_t* objects, bool oneObject,
                 const double* tsince, size_t n, double* const out[6], uint8_t* redo);
    PropagationResult Redo(size_t object, double tsince);
    PropagationResult Fallback(size_t object, double tsince) {
        ++fallbacks_;
        return Redo(object, tsince);
    }

    // Room for n lanes in every working array.
    void ReserveWork(size_t n);

    std::shared_ptr<Models> models_;
    // The resonance integration of each scalar object (by its index among them); carries on
    // between calls.
    std::vector<ResonanceState> resonance_;
    bool keepElements_ = false;
    size_t fallbacks_ = 0;
    // Working arrays.
    NearEarthLanes one_;
    DeepSpaceLanes deepOne_;
    std::vector<double> tsince_, out_, atime_, xli_, xni_;
    std::vector<uint8_t> redo_;
    std::vector<uint32_t> pairs_, index_, deepPairs_[kDeepGroups], deepIndex_[kDeepGroups];
    std::vector<double> deepTsince_[kDeepGroups];
};

// The object held in a slot at each of n UTC Julian dates, as PropagateSlot gives them one by one
// (a track or a path). An empty slot gives kNoElements at every instant.
void PropagateSlotTimes(const PropagationSlot& slot, const double* jd, size_t n, BatchStates& out);

}  // namespace corvane
