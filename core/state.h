// The shared state of the program: every variable the routines exchange, in grouped records.
//
// Every routine takes the one State by reference. Fields keep the program's short names; the
// comment after each is its dictionary entry: meaning, unit in brackets, index range.
// Everything starts at zero (flags false, names blank), each field by its own initializer: the
// program default-initializes its state, so a field without one would start undefined. The
// driver then sets the run-wide defaults. Pressures inside the calculation are in physical
// atmospheres, in the task in MPa.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "core/array1.h"
#include "core/library_format.h"

namespace tev {

class Sink;
struct Routines;
class ResultsTable;

//! A name of exactly W characters (code page 866 bytes), stored as read, blank by default.
template <std::size_t W>
struct Name {
    std::string s = std::string(W, ' ');  //!< always exactly W bytes
};
using Name4 = Name<4>;
using Name8 = Name<8>;

//! One value per element number 1..98 (98 the electron).
using ElementTable = Array1<double, libfmt::kElements>;

//! 1. The task, written by INPUT (pressures in MPa as in the task file).
struct TaskRec {
    Array1<double, 200> RM;     //!< task list as read (namelist WAT), ended by a value >= 2e8
    int N1 = 0;                 //!< number of task values before the terminator
    Array1<double, 25> ALFA;    //!< oxidizer-excess ratios; -1 where not given
    Array1<double, 25> PK;      //!< chamber pressures [MPa] (grid pressures with FIS); -1 not given
    Array1<double, 25> PA;      //!< sections: pressures [MPa], ratios (FE), F/F* (FFF), T [K] (FT, FIS)
    int NA = 0;                 //!< number of positive ALFA (0: single propellant)
    int NPK = 0;                //!< number of positive PK
    int NPA = 0;                //!< number of positive PA
    Array1<double, 25> GGOR;    //!< mass fractions of the fuel components, ended by a negative value
    Array1<double, 25> GOK;     //!< mass fractions of the oxidizer components
    Array1<double, 100> GOR;    //!< packed component entries of the fuel
    Array1<double, 100> OK;     //!< packed component entries of the oxidizer
    Array1<double, 100> G;      //!< gram-atoms of element 1..98 per kg of fuel [mol/kg]
    Array1<double, 100> O;      //!< gram-atoms of element 1..98 per kg of oxidizer [mol/kg]
    double IG = 0;              //!< enthalpy of the fuel [kJ/kg] (with FTK: temperature parts)
    double IO = 0;              //!< enthalpy of the oxidizer [kJ/kg]
    double KAPPA = 0;           //!< stoichiometric oxidizer-to-fuel mass ratio [-]
    double TZAM = 0;            //!< freezing temperature of the nozzle composition [K]
    Array1<int, 5> HAC;         //!< listed species kept out of the sums: library numbers, then indices
    Array1<int, 50> SHY;        //!< species list for removal/keeping: library numbers, then indices
    Array1<int, 5> HAC_LIB;     //!< HAC as read, kept for a later reselection
    Array1<int, 50> SHY_LIB;    //!< SHY as read, kept for a later reselection
    int BP = 0;                 //!< report mode: 1 line mode, -1 table mode, 0 not given
    bool F2 = false, F3 = false, F4 = false, F6 = false, F7 = false;  //!< that section was present
    bool FHAC = false;          //!< section 8 (HAC) present
    bool FSH = false;           //!< section 9 (SHY) present
    bool FM = false;            //!< a section of code 10..13 present: keeps F5, paired computation
    bool FV = false;            //!< constant-volume combustion
    bool FE = false;            //!< sections given as pressure ratios
    bool FFF = false;           //!< sections given as area ratios F/F*
    bool FT = false;            //!< sections given by temperature
    bool FIS = false;           //!< grid mode: equilibrium at given T and p
    bool FU = false;            //!< SHY names species to remove (false: the unlisted are removed)
    bool FTK = false;           //!< the chamber temperature is prescribed (closing code 99)
    bool F8 = false;            //!< only the last temperature interval of condensed species
};

//! 2. Reference tables, loaded once at start.
struct LibRec {
    Array1<Name4, 25> RDAT;     //!< row labels of the report table
    Array1<Name8, 1000> KOM;    //!< species names by library number (999 loaded)
    ElementTable MU;            //!< atomic mass of element i [g/mol]
    ElementTable V;             //!< signed valence of element i (reducing +, oxidizing -)
    Array1<double, 50> FQ;      //!< library numbers with a cross-section column, ascending (40 loaded)
    Array1<double, 50> BQ;      //!< cross-section energy grid: sqrt(energy/eV), nodes 1..36
    Array2<double, 36, 33> QJ;  //!< cross-sections: node i of BQ, species at FQ position j
    int IROM = 0;               //!< record counter of the loading
    int IW = 0;                 //!< record number read and discarded
};

//! 3. Species selection and species data.
struct SpeciesRec {
    int NN = 0;                 //!< number of values of the gas library (10284)
    int NNK = 0;                //!< bound on condensed record start positions (3070)
    int M = 0;                  //!< number of elements present, electron included
    int N = 0;                  //!< number of selected species
    int NG = 0;                 //!< number of selected gases (species 1..NG)
    int RK = 0;                 //!< number of condensed data values in AK (0: none)
    Array1<double, 11000> A;    //!< gas library while selecting; then nine values per gas
    Array1<double, 4000> AK;    //!< condensed library while selecting; then data blocks
    Array1<int, 900> XF1;       //!< formula code, element numbers in base 100; < 0 condensed
    Array1<double, 900> XF2;    //!< atom-count digits . library number/1e4; < 0 in the basis
    Array1<int, 500> KIND;      //!< gas record kind from the library: 0 polynomial, +-1 ion
    Array1<double, 500> SG;     //!< collision diameter sigma [Angstrom]; 0 = no data
    Array1<double, 500> EK;     //!< well depth eps/k [K]; 0 = no data
    Array1<int, 50> NQ;         //!< species index of each FQ position, 0 if not selected
    int D = 0;                  //!< 1 + number of FQ positions mapped
    Array1<double, 500> ENT;    //!< enthalpy at T [cal/mol]; 1e9 for a removed species
    Array1<double, 500> S;      //!< standard entropy at T [cal/(mol K)]
    Array1<double, 500> CP;     //!< heat capacity at T [cal/(mol K)]
    double R = 0;               //!< reduced temperature T*0.001 (also scratch)
    double C = 0;               //!< 0.001*ln R (also scratch)
    double CK = 0;              //!< enthalpy jump of a pinned phase transition [cal/mol]
    int IC = 0;                 //!< condensed species of the pinned transition
    int JA = 0;                 //!< 1 when FUNC pinned T; the solver's pass parity (+-1)
    bool SPRING = false;        //!< the temperature bracket is narrow (< 100 K)
};

//! Positions of the equilibrium basis: the elements a propellant may hold (the electron counts
//! as one).
inline constexpr int kBasisSize = 10;

//! 4. Equilibrium state and mixture results.
struct EquilRec {
    ElementTable MC;            //!< element amounts of the mixture [mol/kg]; MC(98) != 0: ions
    int K = 0;                  //!< basis species set from element amounts (M, or M-1 with ions)
    Array1<double, 500> P;      //!< species amounts [mol/kg]; < 0: natural log of a tiny amount
    Array1<double, 500> PR;     //!< P at the last finished solution; mole fractions after TEPL
    Array1<double, 500> XR;     //!< composition stored for interpolation; scratch of OUT
    Array1<double, 500> MK;     //!< molar mass of each species [g/mol]
    Array1<double, kBasisSize> A5;  //!< species index at each basis position
    Array1<double, kBasisSize> A6;  //!< the entering species' reaction during a basis exchange
    Array1<double, kBasisSize> LP;  //!< ln of the amount of each basis species
    Array2<double, kBasisSize, kBasisSize> BLB;  //!< inverse basis matrix (position, element)
    //! The solver's memo of formation reactions: RC(., I) holds the coefficients of the
    //! formation reaction of species I from the basis species, and
    //! RC_NEGATIVE(I) whether its formula holds the electron of a negative ion, while
    //! RC_EPOCH(I) equals BASIS_EPOCH and the formula is still FS_A1(I), FS_A2(I). A reaction
    //! depends only on the inverse basis matrix and the elements of the first M species, so a
    //! new basis epoch starts when those differ from the copy kept at the last one (BASIS_M,
    //! BASIS_CODES, BASIS_BLB): at a call whose basis moved since, and at each basis exchange.
    Array2<double, kBasisSize, 500> RC;
    //! The positions I1 of the nonzero RC(I1, I), ascending: RC_POS(1..RC_NZ(I), I).
    Array1<int, 500> RC_NZ;
    Array2<int, kBasisSize, 500> RC_POS;
    Array1<bool, 500> RC_NEGATIVE;
    Array1<std::int64_t, 500> RC_EPOCH;
    std::int64_t BASIS_EPOCH = 0;
    int BASIS_M = 0;
    Array1<int, kBasisSize> BASIS_CODES;
    Array2<double, kBasisSize, kBasisSize> BASIS_BLB;
    //! Each call, each change of the basis and each change of the temperature factor F or of
    //! the negative-ion switch F5 within a call starts a new epoch of the KC memo below.
    std::int64_t EPOCH = 0;
    //! The solver's memo of formulas: species I, whose codes were FS_A1(I) and FS_A2(I), has
    //! FS_N(I) elements, FS_J(k, I) with signed atom count FS_C(k, I) (k = 1..FS_N(I)).
    Array1<int, 500> FS_N;
    Array1<int, 500> FS_A1;
    Array1<long, 500> FS_A2;
    Array2<int, 4, 500> FS_J;
    Array2<int, 4, 500> FS_C;
    Array1<bool, 500> FS_NEGATIVE;
    //! The ln equilibrium constant KC(I) of that reaction while KC_EPOCH(I) equals EPOCH:
    //! within one call the temperature stands, so it is summed once per epoch.
    Array1<double, 500> KC;
    Array1<std::int64_t, 500> KC_EPOCH;
    double MMC = 0;             //!< smallest significant amount [mol/kg]
    double E1 = 0;              //!< affinity tolerance 5e-5 (single precision)
    double E2 = 0;              //!< affinity tolerance 5e-4 (single precision)
    double R0 = 0;              //!< gas constant 1.98719 [cal/(mol K)] (single precision)
    double IS = 0;              //!< enthalpy of the products [kJ/kg]
    double SS = 0;              //!< entropy of the products [kJ/(kg K)]
    double CPZ = 0;             //!< frozen heat capacity [kJ/(kg K)]
    double CPR = 0;             //!< equilibrium heat capacity [kJ/(kg K)]
    double ISG = 0, CPZG = 0, CPRG = 0;        //!< the same for the gas phase, per kg of gas
    double IS1 = 0, CPZ1 = 0, IS1G = 0, CPZ1G = 0;  //!< sums of the latest solution
    double MS = 0;              //!< molar mass of the gas phase [g/mol]
    double MG = 0;              //!< (1 - ZK)*MS
    double ZK = 0;              //!< condensed mass fraction [-]
    double CV = 0;              //!< (dln v/dln T)_p from the solver; then cv from the driver
    double BT = 0;              //!< phase-transition heat term 0.001*CK*P(IC); report scratch
    double E = 0;               //!< 4.184*BT on return from the solver; scratch elsewhere
    double SK = 0;              //!< total amount of uncharged species
    double SK1 = 0;             //!< amount of negative ions and the electron
    double SK2 = 0;             //!< amount of positive ions
    double NI = 0, NE = 0, NP = 0;  //!< densities of all ions, electrons, positive ions
    double F = 0;               //!< temperature factor of the solver (1, or 1 - 0.1/T)
    double AA = 0, Q = 0, MIN = 0, DK = 0, PI = 0, LPI = 0;  //!< solver working values
    //! The solver's memo of logarithms: per species the last positive amount whose ln it took
    //! (0: none yet) and that ln, taken again only when the amount has changed.
    Array1<double, 500> LN_ARG;
    Array1<double, 500> LN_P;
    bool F1 = false;            //!< products without gas phase (INPUT: ratio section present)
    bool F5 = false;            //!< negative ions switched off (INPUT: fuel entries present)
    bool FB = false;            //!< the solver skips minor gaseous species
    bool FZC = false;           //!< the composition is held instead of solved
    bool FPZ = false;           //!< pressure search for the freezing point under way
    bool FPP = false;           //!< INITIA must run before the next solver call
    bool FW = false;            //!< pressure-perturbed solver call (1.005 p)
    bool FF = false;            //!< the current pass changed nothing (INPUT: a fuel was given)
};

//! 5. Operating point, temperature iteration and nozzle searches (pressures in atm).
struct PointRec {
    int U = 0;                  //!< step code: 1 none left, 2 new start T, 3 keep T, 0 transient
    int IA = 0, IPK = 0, IPA = 0;  //!< current index in ALFA, PK, PA
    bool KAMEPA = false;        //!< the current point is a chamber point
    bool FKP = false;           //!< the throat search is under way
    bool FOT = false;           //!< the species selection must be redone
    double T = 0;               //!< temperature [K]
    double T1 = 0, T2 = 0;      //!< bracket of the temperature iteration [K]
    double DT = 0;              //!< temperature correction [K]
    double H = 0;               //!< balance target: enthalpy [kJ/kg] or entropy [kJ/(kg K)]
    double W = 0;               //!< balanced quantity; flow velocity [m/s]; scratch
    double W1 = 0;              //!< scratch (transport sums)
    double W2 = 0;              //!< stored interpolation partner of W
    double PP = 0;              //!< pressure of the point [atm]
    double PPK = 0;             //!< chamber pressure [atm]
    double PPA = 0;             //!< target of the next section (atm, K, or throat derivative)
    double PKP = 0;             //!< throat pressure [atm], 0 until found
    double P1 = 0, P2 = 0;      //!< pressure bracket of the solver's pressure search [atm]
    double PX = 0, PY = 0;      //!< pressure bracket of the throat and area-ratio searches [atm]
    double FX = 0, FY = 0;      //!< residuals at PX and PY
    double FA = 0;              //!< area ratio of the current section
    double DA = 0;              //!< +1 supersonic, -1 subsonic side
    int search_steps = 0;       //!< iterates taken by the running throat or area-ratio search
    int search_side = 0;        //!< bracket end the last area-ratio step moved: -1 PX, +1 PY
    double TK = 0, HK = 0, RC = 0, MGK = 0, ZKK = 0;  //!< chamber T, enthalpy, gas const, MG, ZK
    double K5 = 0;              //!< heat-capacity ratio of the converged point
    double WA = 0;              //!< speed of sound [m/s]
};

//! 6. Transport properties.
struct TransRec {
    double NSM = 0;             //!< viscosity of the gas mixture [Pa s]
    double LS = 0;              //!< thermal conductivity [W/(m K)]
    double LS1 = 0, LS2 = 0;    //!< translational and internal parts [cal/(cm s K)]
    double LR = 0;              //!< LS scaled by CPRG/CPZG
    double PL = 0;              //!< Prandtl number
    double GG = 0;              //!< electrical conductivity (0 without positive ions)
    double EQ = 0, DE = 0, SQ = 0, SX = 0, INT = 0, PF = 0, PF1 = 0;  //!< conductivity integral
    Array1<double, 500> NT;     //!< viscosity of each pure gas [poise]
    //! TEPL's memo of the mass terms of gas pairs (i, j), at (i-1)*NG + j-1: the fourth root
    //! of the mass ratio, the denominator of the Wilke weight and the Mason-Saxena factor, for
    //! the molar masses PAIR_MK of gases 1..NG. A changed mass forms them all again.
    std::vector<double> PAIR_MK, PAIR_ROOT4, PAIR_DEN, PAIR_MS;
};

//! The report page, which OUT fills, APAGE closes and DIRECT writes ratio lines on.
//! Rows of the page table before the composition, and the composition rows a page holds.
inline constexpr int kPropertyRows = 31;
inline constexpr int kCompositionRows = 49;
//! Points a table-mode page shows side by side.
inline constexpr int kPageColumns = 6;
//! Counted lines that fill a line-mode page: the next point closes it first.
inline constexpr int kPageLines = 49;
//! Lines a new ratio's line counts on an open line-mode page.
inline constexpr int kRatioLines = 3;

//! 7. Report.
struct ReportRec {
    double PYD = 0;             //!< specific impulse [m/s]
    double PYDP = 0;            //!< vacuum specific impulse [m/s]
    double BTMIN = 0;           //!< flow complex at the throat [m/s]
    double RR = 0;              //!< gas constant; mean isentropic exponent; area-ratio residual
    //! page table: rows 1-31 properties, 32-80 packed composition; a column per point, 1-6
    Array2<double, kPropertyRows + kCompositionRows, kPageColumns + 1> ST;
    int CT = 0;                 //!< next free column of ST
    int CC = 0;                 //!< line count (line mode) / composition rows (table mode)
    int AP = 0;                 //!< report mode of the last report
    Array1<int, kPageColumns + 1> NS;  //!< library numbers of the composition row printed
    Array2<int, 3, kPageColumns + 1> column_point;  //!< IA, IPK, IPA of each column's point
};

//! 8. Shared scratch whose value one routine leaves for another.
struct ScratchRec {
    int DD = 0;                 //!< section code while reading the task; scratch elsewhere
};

//! Convergence bookkeeping: where a bounded loop gave up, so that the report can say so.
struct StatusRec {
    bool equili_unconverged = false;  //!< the last EQUILI call hit one of its bounds
    bool titer_unconverged = false;   //!< the temperature iteration hit its bound
    int equili_failures = 0;          //!< EQUILI calls that hit a bound during the run
    int point_failures = 0;           //!< points reported as unconverged
    bool point_nonfinite = false;     //!< OUT found a value of the current point not finite
    bool point_void = false;          //!< the last point's solver gave up or it was not finite
    int field_overflows = 0;          //!< report fields written as asterisks, each one noted
};

//! The values of a species library as the first selection read them: a run that keeps them
//! (IoRec::keep_libraries) reads each library file once, not once per selection.
struct LibraryValues {
    bool read = false;            //!< the values below are those of the stream
    long taken = 0;               //!< values taken before the library ended
    std::shared_ptr<double[]> values;  //!< values 1..taken (room for every block); never changed
                                       //!< once read, so a copy of the state may share them
};

//! Files the routines read and write besides the reference tables.
struct IoRec {
    Sink* out = nullptr;          //!< report sink: console, then the result file
    ResultsTable* table = nullptr;  //!< results table of the reported points (tevalin.csv)
    std::istream* r3 = nullptr;   //!< gas species library (unit 3), rewound by OTBOR
    std::istream* r4 = nullptr;   //!< condensed species library (unit 4)
    std::istream* task = nullptr; //!< task file (unit 5)
    std::string r3_name = "lib/r3.id";
    std::string r4_name = "lib/r4.id";
    std::string task_name = "topliw.dat";
    //! The species libraries do not change during the run: OTBOR reads them once and keeps
    //! their values for the later selections (off by default, for callers that swap streams).
    bool keep_libraries = false;
    LibraryValues r3_values, r4_values;
};

//! Everything the routines share.
struct State {
    TaskRec task;
    LibRec lib;
    SpeciesRec sp;
    EquilRec eq;
    PointRec pt;
    TransRec tr;
    ReportRec rep;
    ScratchRec tmp;
    StatusRec st;
    IoRec io;
    const Routines* routines = nullptr;  //!< the routine table of the running cycle, if any
};

}  // namespace tev
