#pragma once
// The SGP4 near-earth and SDP4 deep-space orbit models of Spacetrack Report No. 3 with the
// WGS-72 constants. InitialiseModel computes every term that depends only on the element set;
// SGP4/SDP4 then give position (Earth radii) and velocity (Earth radii per minute) in the
// model's inertial frame at tsince minutes from the epoch.
//
// ModelInit is immutable after initialisation and may be shared between threads. The resonance
// integrator state of SDP4 (ResonanceState) belongs to one caller (one propagation slot).
#include "astro/MathUtil.h"
#include "orbit/ElementSet.h"

namespace corvane {

struct DeepSpaceTerms {
    double thgr = 0.0, ds50 = 0.0;  // sidereal angle and days since 1950 at epoch
    double siniq = 0.0, cosiq = 0.0;
    // Lunar-solar secular rates.
    double sse = 0.0, ssi = 0.0, ssl = 0.0, ssg = 0.0, ssh = 0.0;
    // Lunar-solar periodic coefficients.
    double zmos = 0.0, zmol = 0.0;
    double se2 = 0.0, se3 = 0.0, si2 = 0.0, si3 = 0.0, sl2 = 0.0, sl3 = 0.0, sl4 = 0.0;
    double sgh2 = 0.0, sgh3 = 0.0, sgh4 = 0.0, sh2 = 0.0, sh3 = 0.0;
    double ee2 = 0.0, e3 = 0.0, xi2 = 0.0, xi3 = 0.0, xl2 = 0.0, xl3 = 0.0, xl4 = 0.0;
    double xgh2 = 0.0, xgh3 = 0.0, xgh4 = 0.0, xh2 = 0.0, xh3 = 0.0;
    // Geopotential resonance: 0 none, 1 synchronous (24 h), 2 half-day (12 h).
    int resonance = 0;
    double del1 = 0.0, del2 = 0.0, del3 = 0.0;
    double d2201 = 0.0, d2211 = 0.0, d3210 = 0.0, d3222 = 0.0, d4410 = 0.0, d4422 = 0.0;
    double d5220 = 0.0, d5232 = 0.0, d5421 = 0.0, d5433 = 0.0;
    double xlamo = 0.0, xfact = 0.0;
};

// The program runs the model of the 1980 report. kRevision2006 switches on the five changes of
// the 2006 revision that move results by more than rounding (perturbed inclination in the
// lunar-solar periodics and the deep-space short periodics, negative inclinations handled after
// the periodics, eccentricity held at 1e-6 or more, the step-limited Kepler iteration); it
// exists so that tests can check the implementation against the revision's published output.
enum class ModelVariant { kReport1980, kRevision2006 };

struct ModelInit {
    PropagationError error = PropagationError::kNoElements;
    bool revised = false;  // ModelVariant::kRevision2006
    bool deepSpace = false;
    bool simple = false;  // perigee below 220 km: truncated drag terms
    // Elements.
    double xmo = 0.0, omegao = 0.0, xnodeo = 0.0, eo = 0.0, xincl = 0.0, bstar = 0.0;
    double xnodp = 0.0, aodp = 0.0;  // un-Kozai mean motion (radians/minute) and semi-major axis
    double perigeeKm = 0.0;
    // Inclination functions.
    double cosio = 0.0, sinio = 0.0, x3thm1 = 0.0, x1mth2 = 0.0, x7thm1 = 0.0;
    // Secular rates and drag coefficients.
    double xmdot = 0.0, omgdot = 0.0, xnodot = 0.0;
    double c1 = 0.0, c4 = 0.0, c5 = 0.0, d2 = 0.0, d3 = 0.0, d4 = 0.0;
    double bstarC4 = 0.0, bstarC5 = 0.0;  // bstar * c4 and bstar * c5, as the drag terms use them
    double t2cof = 0.0, t3cof = 0.0, t4cof = 0.0, t5cof = 0.0;
    double omgcof = 0.0, xmcof = 0.0, xnodcf = 0.0, xlcof = 0.0, aycof = 0.0;
    double eta = 0.0, delmo = 0.0, sinmo = 0.0;
    DeepSpaceTerms ds;
};

// Saved resonance integration: time (minutes from epoch), mean longitude and mean motion.
struct ResonanceState {
    double atime = 0.0, xli = 0.0, xni = 0.0;
};

// Initialises the model for an element set; m.error tells whether it can be propagated.
void InitialiseModel(const ElementSet& elements, ModelInit& m,
                     ModelVariant variant = ModelVariant::kReport1980);

// Near-earth model. Position in Earth radii, velocity in Earth radii per minute (magnitudes
// filled). On an error both are zero.
PropagationError SGP4(const ModelInit& m, double tsince, StateVector& pos, StateVector& vel);
// Deep-space model. The resonance state carries the integration between calls; a call that
// cannot continue it (other side of the epoch, or nearer to it) restarts from the epoch, so the
// results equal those of a fresh integration bit for bit.
PropagationError SDP4(const ModelInit& m, ResonanceState& resonance, double tsince, StateVector& pos,
                      StateVector& vel);
// The resonance integration of a deep-space model advanced (or restarted from the epoch) to
// within one 720-minute step of tsince, as SDP4 does before it evaluates the rates there.
void ResonanceStepTo(const ModelInit& m, ResonanceState& resonance, double tsince);

}  // namespace corvane
