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
        const GasFit fit = fit_gas(nasa_gas(g.sp));
        g.a = fit.a;
        g.pins = fit.pins;
        g.min_cp = fit.min_cp;
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
