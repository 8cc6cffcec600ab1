// The condensed records of the library: one interval per phase, then the worst-fitting piece
// halved until the records reach the read limit.
#include "tools/mklib/library.h"

#include <cmath>
#include <stdexcept>

#include "tools/mklib/fits.h"

namespace mklib {

namespace {

//! Pieces narrower than this are not halved again [K].
constexpr double kNarrowestSplit = 100;
//! A NASA range boundary serves as the split point when it lies this far inside a piece [K].
constexpr double kBoundaryMargin = 50;
//! Enthalpy jump of the NASA functions at a piece boundary above which two pieces of one phase
//! are not joined [cal/mol].
constexpr double kJoinJump = 10.0;

Function nasa_phase(const NasaSpecies* s)
{
    return [s](double T) { return nasa_props(*s, T); };
}

//! Fits every interval of c in turn. Pieces of one phase are joined in enthalpy and entropy
//! unless the NASA functions themselves jump there.
void refit(Condensed& c)
{
    for (std::size_t k = 0; k < c.iv.size(); ++k) {
        CondInterval& ci = c.iv[k];
        bool join = k > 0 && c.iv[k - 1].phase == ci.phase;
        if (join) {
            const NasaSpecies* sp = c.phases[ci.phase];
            const double jump = std::fabs(nasa_props(*sp, ci.tlo * (1 + 1e-12)).h -
                                          nasa_props(*sp, ci.tlo * (1 - 1e-12)).h);
            if (jump > kJoinJump) join = false;
        }
        ci.b = fit_condensed(nasa_phase(c.phases[ci.phase]), ci.tlo, ci.thi,
                             join ? &c.iv[k - 1].b : nullptr);
    }
}

//! Largest |dG/RT| of an interval against its NASA phase, inside the interval: NASA data can
//! jump at its ends.
double interval_error(const Condensed& c, const CondInterval& ci)
{
    const auto b = ci.b;
    return deviation([b](double T) { return cond_poly(b, T); }, nasa_phase(c.phases[ci.phase]),
                     ci.tlo + 1e-6, ci.thi - 1e-6)
        .dg;
}

//! Whether interval k of c may be halved. The last phase of a substance with several phases
//! stays whole: a run that keeps condensed species on their last interval evaluates that phase
//! (the liquid, say) over the whole temperature range. A single phase may be split: its
//! whole-range cubic would be too coarse (graphite misses G/RT by 0.02).
bool splittable(const Condensed& c, const CondInterval& ci)
{
    if (ci.thi - ci.tlo < kNarrowestSplit) return false;
    return !(c.phases.size() > 1 && ci.phase + 1 == static_cast<int>(c.phases.size()));
}

//! Halves interval k of c at a NASA interval boundary inside it where there is one (the one
//! nearest the middle), else at the middle, and refits c.
void split(Condensed& c, std::size_t k)
{
    CondInterval lower = c.iv[k], upper = lower;
    const double centre = 0.5 * (lower.tlo + lower.thi);
    double mid = std::round(centre);
    double best = 1e300;
    for (const NasaInterval& v : c.phases[lower.phase]->iv)
        if (v.tlo > lower.tlo + kBoundaryMargin && v.tlo < lower.thi - kBoundaryMargin &&
            std::fabs(v.tlo - centre) < best) {
            best = std::fabs(v.tlo - centre);
            mid = v.tlo;
        }
    lower.thi = mid;
    upper.tlo = mid;
    c.iv[k] = lower;
    c.iv.insert(c.iv.begin() + static_cast<std::ptrdiff_t>(k) + 1, upper);
    refit(c);
}

}  // namespace

int condensed_values(const std::vector<Condensed>& conds)
{
    int n = 0;
    for (auto& c : conds) n += c.length();
    return n;
}

void fit_condensed_records(std::vector<Condensed>& conds)
{
    for (Condensed& c : conds) {
        c.iv.clear();
        for (std::size_t p = 0; p < c.phases.size(); ++p) {
            CondInterval ci;
            ci.tlo = c.phases[p]->iv.front().tlo;
            ci.thi = c.phases[p]->iv.back().thi;
            ci.phase = static_cast<int>(p);
            c.iv.push_back(ci);
        }
        refit(c);
    }
    while (condensed_values(conds) + 1 > kCondensedRead) conds.pop_back();
    // Halve the worst piece until the records reach the position where reading stops.
    while (1 + condensed_values(conds) < kCondensedStop) {
        double worst = -1;
        std::size_t wi = 0, wk = 0;
        for (std::size_t i = 0; i < conds.size(); ++i)
            for (std::size_t k = 0; k < conds[i].iv.size(); ++k) {
                if (!splittable(conds[i], conds[i].iv[k])) continue;
                const double e = interval_error(conds[i], conds[i].iv[k]);
                if (e > worst) {
                    worst = e;
                    wi = i;
                    wk = k;
                }
            }
        if (worst < 0) throw std::runtime_error("condensed records cannot fill the read limit");
        split(conds[wi], wk);
    }
    for (std::size_t i = 0; i < conds.size(); ++i)
        conds[i].lib = kGasRecords + 1 + static_cast<int>(i);
}

}  // namespace mklib
