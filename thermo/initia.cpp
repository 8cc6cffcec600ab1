// Start of an equilibrium calculation: molar masses, a starting composition that meets every
// element balance, the initial basis of single-element species and its inverse matrix.
#include "thermo/thermo.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "core/errors.h"
#include "core/library_format.h"

namespace tev {

namespace {

using libfmt::kElectron;
using libfmt::kSlots;
using libfmt::slot_count;
using libfmt::slot_element;
//! Starting value of the common amount search (1e17 held as a float) [mol/kg].
constexpr double kMinStart = 9.999999843067494e+16;
static_assert(kMinStart == double(1e17f));
//! Starting value of the smallest-amount search [mol/kg].
constexpr double kMmcStart = 1e10;
//! Share of the smallest element amount below which an amount is insignificant (1e-12 held
//! as a float).
constexpr double kMmcShare = 9.999999960041972e-13;
static_assert(kMmcShare == double(1e-12f));
//! Logarithmic starting amount of a negative ion: the amount e^-35 [ln(mol/kg)].
constexpr double kNegativeIonLog = -35.0;
//! Electron amount, as a share of the common amount, when ions are considered but no
//! positive ion was selected: small against every element amount, yet far above the
//! solver's insignificance floor (1e-12 of the smallest element amount), so that the
//! electron's logarithm is finite and the solver does not treat its basis as exhausted.
constexpr double kLoneElectronShare = 1e-6;

[[noreturn]] void bad_selection(const std::string& what)
{
    throw LibraryError("species selection unfit for the initial composition: " + what);
}

}  // namespace

// INITIA: starting composition, basis and inverse basis matrix of an operating point.
//   reads  S.sp (N, NG, M, XF1, XF2), S.eq.MC, S.lib.MU
//   writes S.eq (FPP cleared, K, MK, P, A5, LP, BLB, MMC), the basis marks (signs) of S.sp.XF2
//   ends   with a start that meets every element balance (negative ions at e^-35 aside) and
//          is electrically neutral. Throws LibraryError when the selection does not have one
//          single-element species per element among species 1..M.
//
// Every non-basis species starts with the common amount MIN of each of its atoms, MIN being
// the smallest ratio of an element's amount to the number of its atoms in all formulas; each
// basis species takes the rest of its element. Negative ions start at e^-35 and give their
// share back to the basis; the electron gets one MIN per positive-ion species.
void INITIA(State& S)
{
    auto& sp = S.sp;
    auto& eq = S.eq;
    const auto& MU = S.lib.MU;
    const long M = sp.M;
    const long N = sp.N;
    const bool ions = eq.MC(kElectron) > 0;

    if (M < 1 || M > kBasisSize || M > N || N > sp.ENT.size() || sp.NG > N)
        bad_selection("M = " + std::to_string(M) + " elements for N = " + std::to_string(N) +
                      " species; the basis holds 1 to 10 elements");
    // Species 1..M must be the single-element species, each a known element.
    for (long I = 1; I <= M; ++I)
        if (sp.XF1(I) < 1 || sp.XF1(I) > libfmt::kElements ||
            static_cast<long>(std::fabs(sp.XF2(I))) != 1)
            bad_selection("species " + std::to_string(I) + " (formula code " +
                          std::to_string(sp.XF1(I)) + ") is not a single atom of one element");
    if (ions && sp.XF1(M) != kElectron)
        bad_selection("ions are considered but species " + std::to_string(M) +
                      " is not the electron");

    eq.FPP = false;
    for (long i = 1; i <= M; ++i) eq.A5(i) = 0;

    // Molar masses, and in A5 the number of atoms of each element over all formulas.
    for (long I = 1; I <= N; ++I) {
        const int code = std::abs(sp.XF1(I));
        sp.XF2(I) = std::fabs(sp.XF2(I));
        const long counts = static_cast<long>(sp.XF2(I));
        double sum = 0;
        for (int k = 1; k <= kSlots; ++k) {
            const int j = slot_element(code, k);
            if (j == 0) break;
            const int c = slot_count(counts, k);
            bool found = false;
            for (long i2 = 1; i2 <= M; ++i2) {
                if (sp.XF1(i2) == j) {
                    eq.A5(i2) = eq.A5(i2) + c;
                    found = true;
                }
            }
            if (!found)
                bad_selection("element " + std::to_string(j) + " of species " +
                              std::to_string(I) + " has no single-element species among 1.." +
                              std::to_string(M));
            sum = sum + MU(j) * libfmt::signed_count(j, c);
        }
        eq.MK(I) = sum;
    }

    eq.K = static_cast<int>(ions ? M - 1 : M);
    const long K = eq.K;

    // The common starting amount.
    double MIN = kMinStart;
    for (long I = 1; I <= K; ++I) {
        eq.A5(I) = eq.A5(I) - 1;
        const double q = eq.MC(sp.XF1(I)) / (eq.A5(I) + 1);
        if (q < MIN) MIN = q;
    }
    eq.MIN = MIN;
    for (long I = M + 1; I <= N; ++I) eq.P(I) = MIN;
    for (long I = 1; I <= K; ++I) {
        eq.P(I) = eq.MC(sp.XF1(I)) - eq.A5(I) * MIN;
        sp.XF2(I) = -std::fabs(sp.XF2(I));
        eq.A5(I) = static_cast<double>(I);
        eq.LP(I) = std::log(eq.P(I));
    }

    if (K < M) {
        double positive_ions = 0;
        for (long I = M + 1; I <= sp.NG; ++I) {
            const int code = std::abs(sp.XF1(I));
            const long counts = static_cast<long>(std::fabs(sp.XF2(I)));
            for (int k = 1; k <= kSlots; ++k) {
                const int j = slot_element(code, k);
                if (j == 0) break;
                if (j != kElectron) continue;
                if (slot_count(counts, k) == libfmt::kNegativeIonDigit) {
                    // Negative ion: nearly absent, its atoms go back to their basis species.
                    eq.P(I) = kNegativeIonLog;
                    for (int k2 = 1; k2 <= kSlots; ++k2) {
                        const int j2 = slot_element(code, k2);
                        if (j2 == 0) break;
                        const int c2 = slot_count(counts, k2);
                        for (long i2 = 1; i2 <= M - 1; ++i2)
                            if (sp.XF1(i2) == j2) eq.P(i2) = eq.P(i2) + c2 * MIN;
                    }
                    break;
                }
                positive_ions = positive_ions + 1;
            }
        }
        // One electron for each positive ion; without positive ions a trace of electrons
        // keeps the electron's logarithm finite.
        eq.P(M) = positive_ions > 0 ? MIN * positive_ions : MIN * kLoneElectronShare;
        sp.XF2(M) = -std::fabs(sp.XF2(M));
        eq.LP(M) = std::log(eq.P(M));
        eq.A5(M) = static_cast<double>(M);
    }

    for (long I = 1; I <= M; ++I)
        for (long J = 1; J <= M; ++J) eq.BLB(I, J) = I == J ? 1.0 : 0.0;

    double mmc = kMmcStart;
    for (long j = 1; j < kElectron; ++j)
        if (eq.MC(j) > 0 && eq.MC(j) < mmc) mmc = eq.MC(j);
    eq.MMC = mmc * kMmcShare;
}

}  // namespace tev
