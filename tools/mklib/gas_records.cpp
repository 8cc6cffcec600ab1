// The gas records of the library: ion parents, polynomial fits and ion records.
#include "tools/mklib/library.h"

#include "tools/mklib/fits.h"

namespace mklib {

namespace {

Function nasa_gas(const NasaSpecies* s)
{
    return [s](double T) { return nasa_gas_props(*s, T); };
}

Function polynomial_of(const std::vector<Gas>& gases, int lib)
{
    return [&gases, lib](double T) { return gas_poly(gases[lib - 1].a, T); };
}

//! Parent of every ion but the electron: the neutral gas of the same atoms earlier in the
//! library, the one named like the ion first. An ion whose parent would be species 1 (the
//! program cannot name it in the record) or that has none keeps a polynomial record.
void assign_parents(std::vector<Gas>& gases, int electron_lib)
{
    for (auto& g : gases) {
        if (g.f.charge() == 0 || g.lib == electron_lib) continue;
        const auto neutral = g.f.neutral_slots();
        const std::string want = g.sp->name.substr(0, g.sp->name.size() - 1);
        int best = 0;
        for (auto& p : gases) {
            if (p.lib >= g.lib || p.f.charge() != 0 || p.f.slots != neutral) continue;
            if (p.sp->name == want) {
                best = p.lib;
                break;
            }
            if (!best) best = p.lib;
        }
        if (best >= 2) g.parent = best;
    }
}

//! Weights tried for a fit from 200 K, in order: the rows below 300 K, the Cp rows.
constexpr double kFrom200[][2] = {{1.0, 0.1}, {1.0, 0.03}, {0.3, 0.1},
                                  {0.3, 0.03}, {0.1, 0.1}, {0.1, 0.03}};

//! The polynomial record of a gas. First fitted over 300-6000 K; where NASA's data reach
//! down to 200 K, fits over 200-6000 K with the weights of kFrom200 are tried in turn, and the
//! first that keeps the 300-5000 K targets (or, where the 300 K fit already misses them, is no
//! worse than it) and comes closer to NASA below 300 K is kept. A single polynomial holds both
//! ranges only for some gases: the heat-capacity pins it needs above 6000 K and the curvature
//! of the heat capacity at 200-300 K pull against each other.
void fit_polynomial(Gas& g)
{
    const Function nasa = nasa_gas(g.sp);
    const double lo = g.sp->iv.front().tlo, hi = g.sp->iv.back().thi;
    auto accuracy = [&](const GasFit& f) {
        const auto a = f.a;
        return deviation([a](double T) { return gas_poly(a, T); }, nasa, lo, hi);
    };
    auto below = [&](const GasFit& f) {
        const auto a = f.a;
        return deviation([a](double T) { return gas_poly(a, T); }, nasa, lo, 300, 200, 300);
    };
    GasFitSettings st;
    GasFit fit = fit_gas(nasa, st);
    const Deviation base = accuracy(fit);
    g.fit_from = st.tlo;
    g.w_below = 1;
    g.wc = st.wc;
    g.below = {-1, -1, -1, -1};  // NASA's data start above 200 K: nothing to compare
    if (lo <= 200) {
        g.below = below(fit);
        for (const auto& w : kFrom200) {
            GasFitSettings s;
            s.tlo = 200;
            s.w_below = w[0];
            s.wc = w[1];
            const GasFit f = fit_gas(nasa, s);
            const Deviation d = accuracy(f);
            if (d.dg > std::max(kTargetDg, base.dg) || d.dh > std::max(kTargetDh, base.dh)) continue;
            const Deviation b = below(f);
            if (!(b.dg < g.below.dg)) continue;
            fit = f;
            g.fit_from = s.tlo;
            g.w_below = s.w_below;
            g.wc = s.wc;
            g.below = b;
            break;
        }
    }
    g.a = fit.a;
    g.pins = fit.pins;
    g.min_cp = fit.min_cp;
}

}  // namespace

int electron_number(const std::vector<Gas>& gases)
{
    int lib = 0;
    for (auto& g : gases)
        if (g.f.slots.size() == 1 && g.f.slots[0].first == kElectron) lib = g.lib;
    return lib;
}

void fit_gas_records(std::vector<Gas>& gases)
{
    const int electron_lib = electron_number(gases);
    assign_parents(gases, electron_lib);
    for (auto& g : gases) {
        if (g.parent) continue;
        fit_polynomial(g);
    }
    // The ion records are fitted against the parent's and the electron's stored polynomials.
    for (auto& g : gases) {
        if (!g.parent) continue;
        const Function ion = nasa_gas(g.sp);
        const Function parent = polynomial_of(gases, g.parent);
        const Function electron = polynomial_of(gases, electron_lib);
        if (g.f.charge() > 0)
            g.a = positive_ion_record(g.parent, ion, parent, electron);
        else
            g.a = negative_ion_record(g.parent, ion, parent, electron);
        g.min_cp = gases[g.parent - 1].min_cp;
    }
}

Function program_gas(const std::vector<Gas>& gases, const Gas& g)
{
    if (!g.parent) return polynomial_of(gases, g.lib);
    const int electron_lib = electron_number(gases);
    const Gas* gp = &g;
    return [&gases, gp, electron_lib](double T) {
        return ion_props(gp->a, gp->f.charge(), gas_poly(gases[gp->parent - 1].a, T),
                         gas_poly(gases[electron_lib - 1].a, T), T);
    };
}

}  // namespace mklib
