// Thermodynamic functions of the selected species at the current temperature: gases from their
// enthalpy polynomials or ion records, condensed species from their phase intervals, with the
// pinning of the temperature onto a phase boundary.
#include "thermo/thermo.h"

#include <algorithm>
#include <cmath>

#include "core/constants.h"
#include "core/library_format.h"
#include "thermo/species_kernels.h"

namespace tev {

namespace {

using libfmt::kIntervalValues;

//! Marks species I as taking no part at T.
void drop_species(SpeciesRec& sp, long I)
{
    sp.CP(I) = 0;
    sp.S(I) = 0;
    sp.ENT(I) = kNoSpecies;
}

//! Stores the functions of species I.
void put_species(SpeciesRec& sp, long I, const SpeciesValues& v)
{
    sp.ENT(I) = v.ENT;
    sp.S(I) = v.S;
    sp.CP(I) = v.CP;
}

}  // namespace

// FUNC: brings ENT, S and CP of every selected species up to the current temperature T.
//   reads  S.pt (T, T1, T2), S.sp (A, AK, KIND, NG, N, RK, M, SPRING), S.task (F8, FSH, FU,
//          SHY), S.eq.R0
//   writes S.sp (ENT, S, CP, R, C, CK, IC, JA; SPRING cleared), S.pt.T when a phase boundary
//          is pinned
//   ends   always; a species that cannot form at T gets ENT = 1e9 and S = 0
void FUNC(State& S)
{
    auto& sp = S.sp;
    const auto& task = S.task;

    sp.R = S.pt.T * kReduced;
    sp.C = kPerThousand * std::log(sp.R);
    sp.CK = 0;
    sp.JA = 0;
    FFG(S);
    if (sp.RK != 0) FK(S);
    sp.SPRING = false;

    // The species list walks in step with the species indices: a listed species is removed
    // when the list names species to remove (FU), an unlisted one when it names those to keep.
    if (!task.FSH) return;
    long p = 1;
    for (long I = 1; I <= sp.N; ++I) {
        bool listed = false;
        if (p <= task.SHY.size() && task.SHY(p) == I) {
            listed = true;
            ++p;
        }
        if (listed == task.FU) {
            sp.ENT(I) = kNoSpecies;
            sp.S(I) = 0;
        }
    }
}

// FFG: the functions of the gases 1..NG at the R and C of this call.
//   reads  S.sp (A, KIND, NG, M, R, C), S.pt.T, S.eq.R0
//   writes S.sp (ENT, S, CP of the gases)
//   ends   always. An ion is built on its parent and on the electron (species M), both
//          evaluated earlier in the same pass; an ion record whose parent or electron does not
//          come before it cannot be evaluated and takes no part.
void FFG(State& S)
{
    auto& sp = S.sp;
    const double T = S.pt.T;
    const double R0 = S.eq.R0;

    for (long I = 1; I <= sp.NG; ++I) {
        const double* a = &sp.A(libfmt::kGasCoefficients * (I - 1) + 1);
        const int kind = sp.KIND(I);
        if (kind == 0) {
            put_species(sp, I, polynomial_gas(a, sp.R, sp.C));
            continue;
        }
        // Ion record: the record kind was fixed at selection; the parent index travels in the
        // first coefficient as +-K*1e10.
        const double parent = libfmt::ion_parent(a[0]);
        const long M = sp.M;
        if (!(parent >= 1 && parent < static_cast<double>(I)) || M < 1 || M >= I) {
            drop_species(sp, I);
            continue;
        }
        const long K = static_cast<long>(parent);
        // The ion's Gibbs energy is its parent's, less (positive) or plus (negative) the
        // electron's, and -/+ R0 T w for the equilibrium constant of the detachment.
        const double w = ion_detachment(kind, a, T);
        sp.ENT(I) = ion_enthalpy(kind, w, R0, T, sp.ENT(K), sp.ENT(M), sp.S(M));
        sp.S(I) = sp.S(K);
        sp.CP(I) = sp.CP(K);
    }
}

namespace {

//! One walk over the condensed species' data blocks. Returns true when it pinned T onto a
//! phase boundary and stopped, so that the walk must start again from the first block.
bool walk_condensed(State& S)
{
    auto& sp = S.sp;
    auto& pt = S.pt;
    const bool only_last = S.task.F8;
    const long rk = std::min<long>(sp.RK, sp.AK.size());
    const double R = sp.R;

    long q = 1;  // start of the current species' data block in AK
    for (long I = sp.NG + 1; I <= sp.N; ++I) {
        const long X = q <= rk ? static_cast<long>(sp.AK(q) + 0.5) : -1;
        if (X < 0 || q + kIntervalValues * X > rk) {
            // The blocks no longer line up with the species: leave the rest out.
            for (long J = I; J <= sp.N; ++J) drop_species(sp, J);
            return false;
        }
        bool used = false;
        for (long g = only_last ? X : 1; g <= X; ++g) {
            const long p = q + 1 + kIntervalValues * (g - 1);  // upper limit, then b1..b5
            const double t = sp.AK(p);
            if (sp.SPRING && sp.JA == 0 && pt.T1 <= t && t < pt.T2) {
                pt.T = t;
                sp.JA = 1;
                return true;
            }
            if (t < pt.T) continue;  // the limit belongs to its interval
            const double b[5] = {sp.AK(p + 1), sp.AK(p + 2), sp.AK(p + 3), sp.AK(p + 4),
                                 sp.AK(p + 5)};
            put_species(sp, I, condensed_interval(b, R, sp.C));
            if (sp.SPRING && t == pt.T && g < X) {
                // On a pinned boundary: enthalpy of the lower phase minus that of the upper,
                // both at the R of this call.
                const long n = p + kIntervalValues;
                const double c1 = sp.AK(n + 1), c2 = sp.AK(n + 2), c3 = sp.AK(n + 3);
                const double c4 = sp.AK(n + 4);
                sp.IC = static_cast<int>(I);
                sp.CK = sp.ENT(I) - ((c1 * R + c2) * R + c3) * R - c4;
            }
            used = true;
            break;
        }
        if (!used) drop_species(sp, I);  // T lies above the substance's range
        q += kIntervalValues * X + 1;
    }
    return false;
}

}  // namespace

// FK: the functions of the condensed species NG+1..N from their phase intervals.
//   reads  S.sp (AK, NG, N, RK, R, C, SPRING, JA), S.task.F8, S.pt (T, T1, T2)
//   writes S.sp (ENT, S, CP of the condensed species, CK, IC, JA), S.pt.T when pinned
//   ends   always. With a narrow temperature bracket (SPRING) the first interval limit met in
//          [T1, T2) becomes the new T, once per call (JA = 1), and the walk starts again from
//          the first condensed species with R and C unchanged: the gases and R, C take the new
//          T at the next call. The enthalpy jump of the phase change at a pinned limit is
//          reported in CK for species IC. A data block that would run past RK leaves its
//          species and the later ones out.
void FK(State& S)
{
    while (walk_condensed(S)) {
    }
}

}  // namespace tev
