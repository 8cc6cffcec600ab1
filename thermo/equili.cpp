// Chemical equilibrium of the combustion products by relaxation along formation reactions.
#include "thermo/thermo.h"

#include <cmath>
#include <string>

#include "core/constants.h"
#include "core/errors.h"
#include "core/library_format.h"

namespace tev {

namespace {

// Single-precision constants of the solver, held as their exact double values.

//! Smallest significant amount per atmosphere of pressure [mol/kg/atm] (1e-17 as a float).
constexpr double kMmcPerAtm = 9.99999983775159e-18;
static_assert(kMmcPerAtm == double(1e-17f));
//! Floor of the pressure-grown smallest significant amount [mol/kg] (1e-16 as a float).
constexpr double kMmcFloor = 1.0000000168623835e-16;
static_assert(kMmcFloor == double(1e-16f));
//! Constant-volume pressure factor [atm] (0.104692, at the value the results are tied to).
constexpr double kVolPressure = 0.10469202215952134;
//! Constant-volume gas factor [-] (0.08479 as a float).
constexpr double kVolGas = 0.08478999882936478;
static_assert(kVolGas == double(0.08479f));
//! Pressure ratio of the perturbed call [-] (1.005 as a float).
constexpr double kPerturbedPressure = 1.0049999952316284;
static_assert(kPerturbedPressure == double(1.005f));
//! Mole fraction below which a gas is minor and skipped in skipping mode [-] (1e-6 as a float).
constexpr double kMinorFraction = 9.999999974752427e-07;
static_assert(kMinorFraction == double(1e-6f));
//! Reaction coefficients and inverse-matrix entries below this are zero [-] (1e-8 as a float).
constexpr double kCoefZero = 9.99999993922529e-09;
static_assert(kCoefZero == double(1e-8f));
//! Amount below which a basis species counts as exhausted [mol/kg] (1e-16 as a float).
constexpr double kBasisExhausted = 1.0000000168623835e-16;
static_assert(kBasisExhausted == double(1e-16f));
//! Amount below which a condensed species counts as absent [mol/kg] (1e-19 as a float).
constexpr double kCondensedAbsent = 9.999999682655225e-20;
static_assert(kCondensedAbsent == double(1e-19f));
//! Reactant limit below which only the logarithmic update is safe [mol/kg] (5e-19 as a float).
constexpr double kTinyReactant = 5.000000229068525e-19;
static_assert(kTinyReactant == double(5e-19f));
//! Share of the limiting amount that one step may take [-] (0.9 as a float).
constexpr double kStepShare = 0.8999999761581421;
static_assert(kStepShare == double(0.9f));
//! Start of the search for the smallest basis amount [mol/kg] (1e17 as a float).
constexpr double kHugeAmount = 9.999999843067494e+16;
static_assert(kHugeAmount == double(1e17f));
//! Temperature step of the derivative pass [K] (0.1 as a float).
constexpr double kDerivStep = 0.10000000149011612;
static_assert(kDerivStep == double(0.1f));
//! Reciprocal of the single-precision derivative step [1/K].
constexpr double kDerivStepInv = 9.99999985098839;
//! Entropy tolerance of the pressure search [kJ/(kg K)] (0.0005 as a float).
constexpr double kEntropyTol = 0.0005000000237487257;
static_assert(kEntropyTol == double(0.0005f));
//! Relative charge imbalance that calls for an electron correction [-] (1e-4 as a float).
constexpr double kChargeTol = 9.999999747378752e-05;
static_assert(kChargeTol == double(1e-4f));
//! Relative electron excess left by a charge correction [-] (5e-8 as a float).
constexpr double kElectronExcess = 5.000000058430487e-08;
static_assert(kElectronExcess == double(5e-8f));

// Constants used exactly as written.

//! Share of MMC below which a basis species may end the passes [-].
constexpr double kBasisEndShare = 0.01;
//! Equilibrium constant of a switched-off negative ion [ln].
constexpr double kIonOff = -1e10;
//! Step bound of a species that only grows [mol/kg].
constexpr double kGrowBound = 10000.0;
//! Logarithm above which the logarithmic update does not exponentiate [ln].
constexpr double kLogCeiling = 40.0;
//! Logarithm below which an amount is stored in logarithmic form [ln].
constexpr double kLogFloor = -41.0;
//! Newton step without curvature: just past the bound, so that the bound applies [-].
constexpr double kPastBound = 1.1111111111111112;
//! Chamber pressure of a constant-volume run per T/(volume parameter * MS) [atm g/(mol K)].
constexpr double kVolChamber = 809.8993520855973;
//! Charge-carrier density per amount [mol/kg] times PP/T*MS [atm g/(mol K)].
constexpr double kCarrierDensity = 7338674.5;
using libfmt::kElectron;

// Bounds of the loops the method leaves open. Reaching one completes the call with the
// composition reached and marks it unconverged.

//! Species visits of one call, all series of passes together: the passes end once the passes
//! made times the number of species reach it (well under a second of work).
//! The method itself needs many passes where the products are almost one condensed substance
//! near its boiling point, such as alumina from aluminium and oxygen close to their
//! stoichiometric ratio: there every gas species is out of balance by the same small affinity,
//! and a step along one species' reaction, which does not see the total gas amount, moves the
//! whole gas phase into or out of the condensed phase by only a fraction of a per cent per
//! pass. Such calls need up to some 260000 passes of 12 species before their gas phase is
//! gone or in balance.
constexpr long kMaxVisits = 20000000;
//! Electron corrections of one call.
constexpr int kMaxChargeCorrections = 50;
//! Bracket and bisection steps of one pressure search.
constexpr int kMaxPressureSteps = 200;

//! Logarithm of a stored amount: ln p for an amount, the value itself in logarithmic form.
//! An amount of exactly zero is taken as the logarithmic form kLogFloor (no ln 0).
double log_amount(double p)
{
    if (p > 0) return std::log(p);
    if (p < 0) return p;
    return kLogFloor;
}

//! Walker over the listed species (HAC, increasing indices): skip(i) is true for a listed i.
struct ListedWalk {
    const Array1<int, 5>& hac;
    int d = 1;
    bool skip(int i)
    {
        if (d <= 5 && hac(d) == i) {
            ++d;
            return true;
        }
        return false;
    }
};

//! The whole solver: references to the records and the values private to one call.
class Solver {
public:
    explicit Solver(State& s) : S(s), sp(s.sp), eq(s.eq), pt(s.pt), task(s.task) {}
    void run();

private:
    enum class Next { kPass, kComplete, kNoGas, kReturn };

    Next pass();
    //! Affinity of a species' formation reaction and what a visit does with it.
    struct Affinity {
        bool passed_over = false;  // not looked at in this pass (minor, or reactant exhausted)
        bool settled = false;      // within tolerance, or absent and not forming: no step
        double PI = 0, LPI = 0;    // the amount as the visit takes it, and its logarithm
        double C = 0;              // affinity [RT]
        int MM = 1;                // 0: Newton update; 1: logarithmic update
    };
    // Inlined into the visit: it runs for every species in every pass, and the call itself
    // cost about a tenth of the solver's instructions.
    [[gnu::always_inline]] inline Affinity affinity(int I, bool minor_skip);
    bool in_balance();
    // Inlined into the pass, whose loop does little else.
    [[gnu::always_inline]] inline bool visit(int I);  // false: the passes end at once (exhausted basis species)
    void reaction_coefficients(int I, int A1, long A2);
    void exchange_basis(int I, int I2, double PI, double LPI);
    Next complete(bool no_gas);
    Next derivative_start();
    Next finish_heat_capacity();
    bool condensed_changed() const;
    bool basis_moved() const;
    void forget_changed_formulas();
    void keep_basis();
    Next pressure_search();
    Next charges();
    int element_position(int code) const;
    double log_of(int I, double p);
    void give_up() { unconverged = true; }

    State& S;
    SpeciesRec& sp;
    EquilRec& eq;
    PointRec& pt;
    const TaskRec& task;

    // The basis species as the passes use them: species index, and whether it is a gas
    // (XF1 > 0) or not condensed (XF1 >= 0), per basis position.
    void index_basis();
    int BJ[kBasisSize + 1] = {};
    bool BGAS[kBasisSize + 1] = {};
    bool BNONCOND[kBasisSize + 1] = {};

    double AEQ = 0;  // total gas amount [mol/kg]
    int passes = 0;
    int corrections = 0;
    int pressure_steps = 0;
    bool unconverged = false;
};

int Solver::element_position(int code) const
{
    for (int e = 1; e <= sp.M; ++e)
        if (sp.XF1(e) == code) return e;
    throw LibraryError("element code " + std::to_string(code) +
                       " has no single-element species among the first " +
                       std::to_string(sp.M) + " selected species");
}

//! ln p for a positive amount p of species I: the logarithm of the same argument is the same
//! number, so it is taken once for each new amount of the species.
double Solver::log_of(int I, double p)
{
    if (eq.LN_ARG(I) != p) {
        eq.LN_P(I) = std::log(p);
        eq.LN_ARG(I) = p;
    }
    return eq.LN_P(I);
}

void Solver::run()
{
    // Entry. The temperature is new; the basis may have changed since the last call.
    ++eq.EPOCH;
    if (basis_moved()) keep_basis();
    forget_changed_formulas();
    index_basis();
    eq.F = 1;
    sp.JA = 1;
    if (pt.T > task.TZAM) {
        eq.FZC = false;  // above the freezing temperature the composition is never held
        eq.FPZ = false;
    }
    eq.F1 = false;
    if (pt.PP * kMmcPerAtm > eq.MMC) {
        eq.MMC = pt.PP * kMmcPerAtm;
        if (eq.MMC <= kMmcFloor) eq.MMC = kMmcFloor;
    }

    Next next = Next::kPass;
    while (next != Next::kReturn) {
        switch (next) {
        case Next::kPass: next = pass(); break;
        case Next::kComplete: next = complete(false); break;
        case Next::kNoGas: next = complete(true); break;
        case Next::kReturn: break;
        }
    }
    eq.E = eq.BT * kCal;
    if (unconverged) {
        S.st.equili_unconverged = true;
        ++S.st.equili_failures;
    }
}

// Whether the inverse basis matrix or the elements it stands on differ from the kept copy.
bool Solver::basis_moved() const
{
    const int M = sp.M;
    if (eq.BASIS_EPOCH == 0 || eq.BASIS_M != M) return true;
    for (int e = 1; e <= M; ++e)
        if (eq.BASIS_CODES(e) != sp.XF1(e)) return true;
    for (int e = 1; e <= M; ++e)
        for (int I1 = 1; I1 <= M; ++I1)
            if (eq.BASIS_BLB(I1, e) != eq.BLB(I1, e)) return true;
    return false;
}

// A species whose codes differ from those its reaction was formed for (a new selection put
// another species at its index) forms its reaction again at its next visit. The codes change
// only between calls: within one, an exchange flips the sign of XF2 alone.
void Solver::forget_changed_formulas()
{
    for (int I = 1; I <= sp.N; ++I)
        if (eq.FS_A1(I) != sp.XF1(I) || eq.FS_A2(I) != static_cast<long>(std::fabs(sp.XF2(I))))
            eq.RC_EPOCH(I) = 0;
}

void Solver::index_basis()
{
    for (int I1 = 1; I1 <= sp.M; ++I1) {
        const int J = static_cast<int>(eq.A5(I1));
        BJ[I1] = J;
        BGAS[I1] = sp.XF1(J) > 0;
        BNONCOND[I1] = sp.XF1(J) >= 0;
    }
}

// A new basis epoch: the formation reactions formed before it no longer hold.
void Solver::keep_basis()
{
    const int M = sp.M;
    ++eq.BASIS_EPOCH;
    eq.BASIS_M = M;
    for (int e = 1; e <= M; ++e) eq.BASIS_CODES(e) = sp.XF1(e);
    for (int e = 1; e <= M; ++e)
        for (int I1 = 1; I1 <= M; ++I1) eq.BASIS_BLB(I1, e) = eq.BLB(I1, e);
}

// One relaxation pass over the species that are not in the basis.
Solver::Next Solver::pass()
{
    if (!task.FM && eq.F5) {
        eq.F5 = false;
        ++eq.EPOCH;  // the constants of negative ions switch on
    }
    if (task.FHAC) eq.FB = false;
    eq.FF = true;
    sp.JA = -sp.JA;

    double gas = 0;
    for (int I = 1; I <= sp.N; ++I)
        if (sp.XF1(I) > 0 && eq.P(I) > 0) gas += eq.P(I);
    AEQ = gas;
    if (AEQ < eq.MMC) return Next::kNoGas;

    // Logarithm of the factor that turns an amount into a partial pressure [ln atm].
    if (!task.FV)
        eq.AA = std::log(pt.PP / AEQ);
    else if (eq.F == 1 && !eq.FW)
        eq.AA = std::log((pt.T / (pt.PP * kVolPressure)) * kVolGas);
    else
        eq.AA = std::log(pt.PPK / AEQ);
    if (eq.FW) eq.AA = eq.AA + std::log(kPerturbedPressure);

    if (eq.FZC) return Next::kComplete;
    if (static_cast<long>(passes) * sp.N >= kMaxVisits) {
        give_up();
        return Next::kComplete;
    }
    ++passes;

    for (int I = 1; I <= sp.N; ++I)
        if (!visit(I)) return Next::kComplete;  // completed as if converged

    if (!eq.FF) return Next::kPass;
    if (eq.FB) {
        eq.FB = false;  // one more series that also visits the minor species
        return Next::kPass;
    }
    eq.FB = true;  // the next call starts in skipping mode
    if (eq.FW) {
        eq.MS = 1000 / AEQ;
        return Next::kReturn;
    }
    return Next::kComplete;
}

// RC(., I) = BLB x (atom counts of species I): its formation reaction from the basis species.
// Within one epoch of the basis the reaction of a species is the one formed at its first visit:
// called when RC_EPOCH(I) is not the current basis epoch or the species' codes changed.
void Solver::reaction_coefficients(int I, int A1, long A2)
{
    static_assert(decltype(eq.FS_J)::rows() == libfmt::kSlots);
    if (eq.FS_N(I) == 0 || eq.FS_A1(I) != A1 || eq.FS_A2(I) != A2) {
        // The formula's elements and counts, decoded once for these codes.
        int n = 0;
        bool negative = false;
        for (int k = 1; k <= libfmt::kSlots; ++k) {
            const int j = libfmt::slot_element(A1, k);
            if (j == 0) break;
            const int digit = libfmt::slot_count(A2, k);
            if (j == kElectron && digit != libfmt::kPositiveIonDigit) negative = true;
            ++n;
            eq.FS_J(n, I) = j;
            eq.FS_C(n, I) = libfmt::signed_count(j, digit);  // a positive ion lacks one electron
        }
        eq.FS_N(I) = n;
        eq.FS_A1(I) = A1;
        eq.FS_A2(I) = A2;
        eq.FS_NEGATIVE(I) = negative;
    }
    const int M = sp.M;
    for (int I1 = 1; I1 <= M; ++I1) eq.RC(I1, I) = 0;
    for (int k = 1; k <= eq.FS_N(I); ++k) {
        const int c = eq.FS_C(k, I);
        const int e = element_position(eq.FS_J(k, I));
        for (int I1 = 1; I1 <= M; ++I1) {
            double& r = eq.RC(I1, I);
            r = r + eq.BLB(I1, e) * c;
            if (std::fabs(r) < kCoefZero) r = 0;
        }
    }
    int nz = 0;
    for (int I1 = 1; I1 <= M; ++I1)
        if (eq.RC(I1, I) != 0) eq.RC_POS(++nz, I) = I1;
    eq.RC_NZ(I) = nz;
    eq.RC_NEGATIVE(I) = eq.FS_NEGATIVE(I);
    eq.RC_EPOCH(I) = eq.BASIS_EPOCH;
}

// Species I enters the basis at position I2; the inverse basis matrix is pivoted in place.
void Solver::exchange_basis(int I, int I2, double PI, double LPI)
{
    const int M = sp.M;
    const int J = static_cast<int>(eq.A5(I2));
    ++eq.EPOCH;  // the equilibrium constants of the new basis differ
    eq.A5(I2) = I;
    sp.XF2(J) = std::fabs(sp.XF2(J));
    sp.XF2(I) = -std::fabs(sp.XF2(I));
    eq.LP(I2) = PI > 0 ? std::log(PI) : LPI;

    for (int I1 = 1; I1 <= M; ++I1) eq.A6(I1) = eq.RC(I1, I);
    const double pivot = 1 / eq.A6(I2);
    for (int I1 = 1; I1 <= M; ++I1) eq.A6(I1) = -eq.A6(I1) * pivot;
    eq.A6(I2) = pivot;
    for (int I1 = 1; I1 <= M; ++I1) {
        const double E = eq.BLB(I2, I1);
        if (E == 0) continue;
        for (int J1 = 1; J1 <= M; ++J1) {
            eq.BLB(J1, I1) = eq.BLB(J1, I1) + eq.A6(J1) * E;
            if (std::fabs(eq.BLB(J1, I1)) < kCoefZero) eq.BLB(J1, I1) = 0;
        }
        eq.BLB(I2, I1) = E * pivot;
    }
    keep_basis();
    index_basis();
}

// Affinity of the formation reaction of species I (not in the basis) from the current basis,
// as a visit sees it; leaves the reaction coefficients in RC(., I). minor_skip: a gas
// below the minor fraction is passed over (the skipping mode of the passes).
Solver::Affinity Solver::affinity(int I, bool minor_skip)
{
    Affinity a;
    const int M = sp.M;
    const long A2 = static_cast<long>(sp.XF2(I));
    const int A1 = sp.XF1(I);
    double PI = eq.P(I);
    if (A1 > 0 && PI / AEQ < kMinorFraction && minor_skip) {
        a.passed_over = true;
        return a;
    }

    if (A1 > 0 && PI == 0) PI = kLogFloor;  // no logarithm of an empty gas: smallest log form
    const double LPI = A1 < 0 ? 0.0 : (PI < 0 ? PI : log_of(I, PI));
    double Q = A1 < 0 ? 0.0 : -(LPI + eq.AA);
    if (eq.RC_EPOCH(I) != eq.BASIS_EPOCH) reaction_coefficients(I, A1, A2);
    const int nz = eq.RC_NZ(I);
    // ln K of the reaction: the species' own term (a negative ion switched off takes kIonOff
    // instead) and the basis species' terms, in basis order.
    const double F = eq.F;
    const bool ion_off = eq.RC_NEGATIVE(I) && eq.F5 && I > M;
    double KEQ = 0;  // ln equilibrium constant of the reaction
    if (eq.KC_EPOCH(I) == eq.EPOCH) {
        KEQ = eq.KC(I);
    } else {
        const double T = pt.T;
        KEQ = ion_off ? kIonOff : (sp.S(I) - sp.ENT(I) / T * F) / eq.R0;
        for (int k = 1; k <= nz; ++k) {
            const int I1 = eq.RC_POS(k, I);
            const double e = eq.RC(I1, I);
            const int J = BJ[I1];
            KEQ = KEQ + e * (sp.ENT(J) / T * F - sp.S(J)) / eq.R0;
        }
        eq.KC(I) = KEQ;
        eq.KC_EPOCH(I) = eq.EPOCH;
    }

    int MM = 1;
    for (int k = 1; k <= nz; ++k) {
        const int I1 = eq.RC_POS(k, I);
        const double e = eq.RC(I1, I);
        const int J = BJ[I1];
        if (eq.P(J) < kBasisExhausted && eq.P(I) < eq.P(J)) {
            a.passed_over = true;
            return a;
        }
        if (A1 < 0 || PI * 100 >= eq.P(J)) MM = 0;
        if (BNONCOND[I1]) Q = Q + e * (eq.LP(I1) + eq.AA);
    }
    a.MM = MM;
    a.PI = PI;
    a.LPI = LPI;
    a.C = KEQ + Q;  // affinity [RT]: positive when species I should grow
    // An absent condensed species that would not form stays absent; otherwise the tolerance.
    if (I != task.HAC(1) && A1 < 0 && PI < kCondensedAbsent && a.C < 0)
        a.settled = true;
    else
        a.settled = std::fabs(a.C) < (MM == 0 ? eq.E1 : eq.E2);
    return a;
}

// True when no species outside the basis would take a step: every one is within tolerance,
// absent and not forming, or not looked at (a reactant exhausted). Minor species count too.
// Leaves the state as it found it.
bool Solver::in_balance()
{
    bool all = true;
    for (int I = 1; I <= sp.N && all; ++I) {
        if (static_cast<long>(sp.XF2(I)) < 0) continue;
        const Affinity a = affinity(I, false);
        if (!a.passed_over && !a.settled) all = false;
    }
    return all;
}

// Visit of one species: affinity of its formation reaction and, if out of tolerance, a step
// along that reaction, which leaves every element total unchanged.
bool Solver::visit(int I)
{
    const long A2 = static_cast<long>(sp.XF2(I));
    // A basis species moves only with the reactions of the others. One whose amount is nearly
    // exhausted (below a hundredth of MMC) ends the passes at once, and the call completes as
    // if converged, when that is so: every other species is in balance, or the amount is not a
    // positive one (a start that no relaxation can balance, which would only use up the bound
    // of the call). A positive residue while others are still out of balance is passed over
    // instead: ending there left every later species unvisited for good (water alone, whose
    // excess of oxygen sits in O2 at 1e-13 mol/kg, never formed ice at 1810 Pa and 262.9 K).
    if (A2 < 0) return !(eq.P(I) < kBasisEndShare * eq.MMC && (eq.P(I) <= 0 || in_balance()));

    const int A1 = sp.XF1(I);
    const Affinity a = affinity(I, eq.FB);
    if (a.passed_over) return true;
    double PI = a.PI;
    double LPI = a.LPI;
    const double C = a.C;
    int MM = a.MM;

    auto store = [&] {
        eq.P(I) = PI;
        return true;
    };
    if (a.settled) return store();

    eq.FF = false;
    double MIN = C <= 0 ? PI : kGrowBound;
    double DEQ = A1 < 0 ? 0.0 : 1 / PI;  // curvature of the affinity along the reaction
    const int nz = eq.RC_NZ(I);
    for (int k = 1; k <= nz; ++k) {
        const int I1 = eq.RC_POS(k, I);
        const double R = eq.RC(I1, I);
        const int J = BJ[I1];
        if (C * R >= 0) {  // basis species J is consumed by a step in the direction of C
            const double E = eq.P(J) / std::fabs(R);
            if (E < MIN) MIN = E;
            if (E / std::fabs(R) <= kTinyReactant) MM = 1;
        }
        if (MM == 0 && BGAS[I1]) DEQ = DEQ + R * R / eq.P(J);
    }

    double DK = 0;
    bool bounded = true;  // false: the step goes to the basis species without bound
    if (MM != 0) {
        if (sp.JA > 0) return store();  // logarithmic updates only every other pass
        LPI = LPI + C;
        if (PI < 0 && C < 0) {
            PI = LPI;
            return store();
        }
        const double E = LPI > kLogCeiling ? 2 * MIN : std::exp(LPI);
        DK = PI >= 0 ? E - PI : E;
        if (DK > kStepShare * MIN) {
            if (PI < 0) PI = 0;
        } else {
            PI = LPI < kLogFloor ? LPI : E;
            bounded = false;
        }
    } else {
        DK = DEQ != 0 ? C / DEQ : MIN * kPastBound;
    }
    if (bounded) {
        if (std::fabs(DK) >= MIN) DK = (C > 0 ? 1.0 : -1.0) * MIN * kStepShare;
        PI = PI + DK;
    }

    // The basis species pay for the step; find the smallest of them.
    MIN = kHugeAmount;
    int I2 = 0;
    for (int k = 1; k <= nz; ++k) {
        const int I1 = eq.RC_POS(k, I);
        const double R = eq.RC(I1, I);
        const int J = BJ[I1];
        eq.P(J) = eq.P(J) - DK * R;
        if (BGAS[I1]) eq.LP(I1) = eq.P(J) > 0 ? log_of(J, eq.P(J)) : log_amount(eq.P(J));
        if (eq.P(J) < MIN) {
            MIN = eq.P(J);
            I2 = I1;
        }
    }
    if (PI >= MIN && I2 != 0) exchange_basis(I, I2, PI, LPI);
    return store();
}

// Mixture quantities of the composition reached; may start a further series of passes.
Solver::Next Solver::complete(bool no_gas)
{
    const int N = sp.N;
    const int NG = sp.NG;
    const auto& HAC = task.HAC;
    if (no_gas) {
        eq.F1 = true;
        eq.MS = 0;
        eq.MG = 0;
        eq.ZK = 1;
        eq.FPP = true;
    } else {
        if (task.FHAC) {  // the listed species leave the mixture: renormalise the rest to 1 kg
            double E = 0;
            ListedWalk walk{HAC};
            for (int I = 1; I <= N; ++I)
                if (!walk.skip(I) && eq.P(I) > 0) E += eq.MK(I) * eq.P(I);
            E = 1000 / E;
            AEQ = AEQ * E;
            for (int I = 1; I <= N; ++I)
                if (eq.P(I) > 0) eq.P(I) = eq.P(I) * E;
        }
        if (!eq.F1 && eq.F == 1) {
            double sum = 0;
            ListedWalk walk{HAC};
            for (int I = NG + 1; I <= N; ++I)
                if (!walk.skip(I)) sum += eq.MK(I) * eq.P(I);
            eq.ZK = 0.001 * sum;
            eq.MS = 1000 / AEQ;
            eq.MG = (1 - eq.ZK) * eq.MS;
        }
    }

    const bool at_T = eq.F == 1;
    const double R0 = eq.R0;
    if (at_T) eq.SS = -AEQ * eq.AA * R0;  // mixing and pressure term of the gas entropy
    eq.IS1 = eq.CPZ1 = eq.IS1G = eq.CPZ1G = 0;
    {
        ListedWalk walk{HAC};
        for (int I = 1; I <= N; ++I) {
            if (walk.skip(I) || !(eq.P(I) > 0)) continue;
            eq.IS1 += sp.ENT(I) * eq.P(I);
            eq.CPZ1 += sp.CP(I) * eq.P(I);
            if (at_T) {
                if (sp.XF1(I) > 0)
                    eq.SS += (sp.S(I) - R0 * log_of(I, eq.P(I))) * eq.P(I);
                else
                    eq.SS += sp.S(I) * eq.P(I);
            }
        }
    }
    for (int I = 1; I <= NG; ++I) {
        if (!(eq.P(I) > 0)) continue;
        eq.IS1G += sp.ENT(I) * eq.P(I);
        eq.CPZ1G += sp.CP(I) * eq.P(I);
    }
    eq.IS1 = eq.IS1 * 0.001;
    eq.CPZ1 = eq.CPZ1 * 0.001;
    if (eq.ZK != 1) {
        eq.IS1G = eq.IS1G / ((1 - eq.ZK) * 1000);
        eq.CPZ1G = eq.CPZ1G / ((1 - eq.ZK) * 1000);
    }
    pt.W = kCal;
    eq.IS1 = eq.IS1 * kCal;
    eq.CPZ1 = eq.CPZ1 * kCal;
    eq.IS1G = eq.IS1G * kCal;
    eq.CPZ1G = eq.CPZ1G * kCal;

    if (!at_T) {
        // The derivative series has converged: the composition at T + 0.1 K is known.
        if (!eq.F1) eq.CV = ((1000 / AEQ - eq.MS) / eq.MS) * pt.T * (-10) + 1;
        return finish_heat_capacity();
    }

    eq.BT = sp.CK == 0 ? 0.0 : eq.P(sp.IC) * sp.CK * 0.001;
    eq.SS = eq.SS * 0.001;
    eq.SS = eq.SS * kCal;
    eq.IS = eq.IS1;
    eq.CPZ = eq.CPZ1;
    eq.ISG = eq.IS1G;
    eq.CPZG = eq.CPZ1G;
    for (int I = 1; I <= N; ++I) eq.PR(I) = eq.P(I);
    if (task.FV) pt.PPK = kVolChamber * pt.T / (pt.PP * eq.MS);
    if ((task.FT && !pt.KAMEPA && !pt.FKP) || eq.FPZ) return pressure_search();
    if (eq.FZC || task.FHAC) {
        // A held composition does not shift with temperature: both heat capacities frozen.
        eq.CPR = eq.CPZ1;
        eq.CPRG = eq.CPZ1G;
        return charges();
    }
    return derivative_start();
}

// Equilibrium heat capacity: the same passes with the equilibrium constants at T + 0.1 K.
Solver::Next Solver::derivative_start()
{
    if (eq.F1) return finish_heat_capacity();
    eq.F = 1 + (-kDerivStep) / pt.T;
    ++eq.EPOCH;  // the constants at T + 0.1 K
    return Next::kPass;
}

// Whether a condensed amount of the derivative pass differs from the one at T (PR holds the
// composition at T).
bool Solver::condensed_changed() const
{
    for (int I = sp.NG + 1; I <= sp.N; ++I)
        if (eq.P(I) != eq.PR(I)) return true;
    return false;
}

Solver::Next Solver::finish_heat_capacity()
{
    if (pt.FKP) pt.PPA = eq.CV;
    if (eq.F1) {
        // No gas phase: the gas heat capacity is its frozen sum too, not the last gas point's.
        eq.CPR = eq.CPZ;
        eq.CPRG = eq.CPZG;
    } else {
        eq.CPR = (eq.IS1 - eq.IS) * kDerivStepInv + eq.CPZ;
        eq.CPRG = (eq.IS1G - eq.ISG) * kDerivStepInv + eq.CPZG;
        // The gas quotient divides both gas enthalpies by the gas mass at T. When a condensed
        // phase takes up or gives off gas within the 0.1 K step (ice, say, whose vapour is
        // much lower in enthalpy than the hydrogen it joins), the quotient follows the gas
        // mass and composition that change phase, not the gas's heat capacity, and falls below
        // the frozen value, down to large negative numbers. Reactions within a gas phase only
        // raise its heat capacity above the frozen one, so such a value is reported as the
        // frozen gas heat capacity.
        if (eq.CPRG < eq.CPZG && condensed_changed()) eq.CPRG = eq.CPZG;
    }
    return charges();
}

// Pressure at which the mixture entropy at T equals H: bracket by doubling or halving, then
// bisection.
Solver::Next Solver::pressure_search()
{
    bool found = false;
    if (pt.P1 * pt.P2 == 0) {
        if (pressure_steps < kMaxPressureSteps) {
            ++pressure_steps;
            if (pt.H < eq.SS) {  // entropy too high: raise the pressure
                pt.P1 = pt.PP;
                pt.PP = pt.PP * 2;
            } else {
                pt.P2 = pt.PP;
                pt.PP = pt.PP * 0.5;
            }
            return Next::kPass;
        }
        give_up();  // no bracket found (with no gas phase the entropy ignores the pressure)
        found = true;
    } else if (std::fabs(eq.SS - pt.H) < kEntropyTol) {
        found = true;
    } else if (pressure_steps >= kMaxPressureSteps) {
        give_up();  // the pressure reached stands as the result
        found = true;
    }
    if (found) {
        if (!eq.FPZ) return derivative_start();
        eq.FPZ = false;  // the freezing point is found: the composition is held from here on
        eq.FZC = true;
        if (task.FT) {
            pt.P1 = 0;
            pt.T = pt.PPA;
            return Next::kReturn;
        }
        pt.PP = pt.PPA;
        return Next::kPass;
    }
    ++pressure_steps;
    if (pt.H > eq.SS)
        pt.P2 = pt.PP;
    else
        pt.P1 = pt.PP;
    pt.PP = (pt.P2 + pt.P1) * 0.5;
    return Next::kPass;
}

// Charge carriers of an ionised mixture; the electron amount keeps the mixture neutral.
Solver::Next Solver::charges()
{
    if (eq.MC(kElectron) == 0) return Next::kReturn;
    const int M = sp.M;
    eq.SK = eq.SK1 = eq.SK2 = 0;
    for (int I = 1; I <= sp.N; ++I) {
        if (!(eq.P(I) > 0)) continue;
        const int A1 = sp.XF1(I);
        const long A2 = static_cast<long>(std::fabs(sp.XF2(I)));
        bool charged = false;
        for (int k = 1; k <= libfmt::kSlots; ++k) {
            const int j = libfmt::slot_element(A1, k);
            if (j == 0) break;
            if (j != kElectron) continue;
            charged = true;
            if (libfmt::slot_count(A2, k) == libfmt::kPositiveIonDigit)
                eq.SK2 += eq.P(I);
            else
                eq.SK1 += eq.P(I);
        }
        if (!charged) eq.SK += eq.P(I);
    }
    sp.R = eq.SK1 - eq.SK2;  // net negative charge
    if (std::fabs(sp.R) > eq.SK1 * kChargeTol) {
        // An electron amount in logarithmic form is taken as zero before the correction; a
        // correction that would leave no electrons cannot restore neutrality.
        const double base = eq.P(M) > 0 ? eq.P(M) : 0.0;
        const double corrected = base + (eq.SK1 * kElectronExcess - sp.R);
        if (corrections < kMaxChargeCorrections && corrected > 0) {
            ++corrections;
            eq.P(M) = corrected;
            return Next::kPass;
        }
        give_up();
    }
    sp.R = pt.PP / pt.T * eq.MS * kCarrierDensity;
    eq.NI = (eq.SK1 - eq.P(M) + eq.SK2) * sp.R;
    eq.NE = eq.P(M) * sp.R;
    eq.NP = sp.R * eq.SK2;
    return Next::kReturn;
}

}  // namespace

// EQUILI: equilibrium composition of the products at T and PP, and the mixture quantities.
//   reads  S.pt (T, PP, PPK, PPA, H, P1, P2, KAMEPA, FKP), S.sp (species, their functions, CK,
//          IC), S.task (TZAM, HAC, FHAC, FM, FV, FT), S.eq (P, basis, MMC, E1, E2, R0, MC)
//   writes S.eq (P, PR, basis, MS, MG, ZK, IS, SS, CPZ, CPR, gas-phase values, CV, BT, E, charge
//          carriers, flags), S.sp (XF2 basis signs, JA, R), S.pt (W, PP, PPK, PPA, P1, P2, T)
//   ends   converged, or with S.st.equili_unconverged set when a loop bound was reached; throws
//          LibraryError only for a formula element without its single-element species
void EQUILI(State& S)
{
    S.st.equili_unconverged = false;
    Solver(S).run();
}

}  // namespace tev
