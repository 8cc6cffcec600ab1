// Composing a task from a deck: the components, the sections of the task list, the ratios from
// the program's own stoichiometric ratio, and the text with its comment block.
#include "compose/compose.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <sstream>

#include "compose/compose_error.h"
#include "core/errors.h"
#include "core/layout.h"
#include "core/state.h"
#include "input/input.h"

namespace tev {

namespace {

//! A task value of this magnitude or more is a section marker.
constexpr double kMarkerMagnitude = 900000.0;
//! The value that ends the task list.
constexpr double kTerminator = 999999999.0;
//! Values a list of ratios, pressures, sections or mass fractions holds.
constexpr std::size_t kListCapacity = 25;
//! Packed entries of one propellant side.
constexpr std::size_t kEntryCapacity = 100;
//! Species names of an omit or only list.
constexpr std::size_t kSpeciesCapacity = 50;
//! Values of the whole task, the terminator included.
constexpr std::size_t kTaskCapacity = 200;
//! Mass percents must add up to 100 within this.
constexpr double kPercentSlack = 1e-6;
//! Electrons per molecule added to the first fuel component so that ions are considered.
constexpr double kIonElectrons = 1e-7;
//! Calories to joules, thermochemical.
constexpr double kCalorie = 4.184;
//! Freezing temperature written for equilibrium flow (negative: never frozen) [K].
constexpr double kNeverFrozen = -1.0;
//! Species names the library holds (lib/kom.id).
constexpr int kNamedSpecies = 999;
//! Task values written per line.
constexpr std::size_t kValuesPerLine = 6;
//! Agreement asked of the task read back with what was meant.
constexpr double kReadBackSlack = 1e-12;

std::string trim(std::string s)
{
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

std::string upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

//! A number as the comment block shows it: eight significant digits at most.
std::string brief(double x)
{
    double r = 0;
    parse_real_field(format_real('E', 20, 8, x), r);
    std::string s = shortest_real(r);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    return s;
}

std::string join(const std::vector<double>& v, const char* sep = ", ")
{
    std::string s;
    for (double x : v) s += (s.empty() ? "" : sep) + brief(x);
    return s;
}

//! Text that may stand in the comment block before the group: no ampersand.
std::string safe(std::string s)
{
    std::replace(s.begin(), s.end(), '&', '+');
    return s;
}

[[noreturn]] void fail(const Deck& d, int line, const std::string& what)
{
    throw ComposeError(d.file, line, what);
}

//! One section of the task list: its marker, its values and what they are.
struct Section {
    double marker = 0;
    std::vector<double> v;
    std::string note;
};

// ---------------------------------------------------------------------------------------------
// Components

std::vector<std::pair<int, double>> deck_formula(const Deck& d, const DeckComponent& c)
{
    std::istringstream in(*c.formula);
    std::vector<std::pair<int, double>> f;
    std::string symbol, count;
    while (in >> symbol) {
        const int z = element_number(symbol);
        if (z == 0) fail(d, c.line, c.name + ": formula: \"" + symbol + "\" is not an element symbol");
        if (!(in >> count)) fail(d, c.line, c.name + ": formula: no atom count after " + symbol);
        double n = 0;
        if (!parse_real_field(count, n) || !(n > 0) || !std::isfinite(n))
            fail(d, c.line, c.name + ": formula: atom count \"" + count + "\" is not a positive number");
        auto at = std::find_if(f.begin(), f.end(), [&](const auto& p) { return p.first == z; });
        if (at != f.end()) fail(d, c.line, c.name + ": formula: " + symbol + " is given twice");
        f.emplace_back(z, n);
    }
    if (f.empty()) fail(d, c.line, c.name + ": formula=\"\" names no atoms");
    return f;
}

const Reactant& look_up(const Deck& d, const DeckComponent& c, const ReactantTable& table)
{
    std::vector<const Reactant*> hits = table.named(c.name);
    if (c.gas) {
        hits.erase(std::remove_if(hits.begin(), hits.end(),
                                  [&](const Reactant* r) { return r->gas != *c.gas; }),
                   hits.end());
    }
    if (hits.size() == 1) return *hits.front();
    if (hits.empty()) {
        std::string msg = "\"" + c.name + "\" is not in the reactant table";
        if (c.gas) msg += " as a " + std::string(*c.gas ? "gas" : "condensed phase");
        const auto near = table.near(c.name);
        if (!near.empty()) {
            msg += "; did you mean";
            for (std::size_t k = 0; k < near.size(); ++k) msg += (k ? ", " : " ") + near[k];
        }
        msg += "? (or give it as formula=\"...\" h=...)";
        fail(d, c.line, msg);
    }
    std::string which;
    bool same_spelling = true;
    for (const Reactant* r : hits) {
        which += (which.empty() ? "" : ", ") + r->name + " (" + (r->gas ? "gas" : "condensed") + ", " +
                 formula_text(r->formula) + ")";
        if (r->name != hits.front()->name) same_spelling = false;
    }
    fail(d, c.line, "\"" + c.name + "\" stands for " + which +
                        (same_spelling ? ": add phase=gas or phase=condensed" : ": write the name in its case"));
}

TaskComponent resolve(const Deck& d, const DeckComponent& c, const ReactantTable& table,
                      const LibRec& lib)
{
    TaskComponent t;
    t.label = c.name;
    t.line = c.line;
    double h_mol = 0;  // [J/mol], when the component is known per mole
    bool per_mole = true;
    if (c.formula) {
        t.formula = deck_formula(d, c);
        if (c.h_unit == "kJ/kg") {
            per_mole = false;
            t.h = *c.h;
            t.origin = "given, " + brief(*c.h) + " kJ/kg";
        } else {
            h_mol = *c.h * 1000.0 * (c.h_unit == "kcal/mol" ? kCalorie : 1.0);
            t.origin = "given, " + brief(*c.h) + " " + c.h_unit;
        }
    } else {
        const Reactant& r = look_up(d, c, table);
        t.formula = r.formula;
        const double T = c.t.value_or(r.t);
        const auto h = reactant_enthalpy(r, T);
        if (!h) {
            const std::string data = r.fits.empty()
                                         ? " is known at " + reactant_range(r) + " only"
                                         : " has data from " + reactant_range(r);
            fail(d, c.line, r.name + data + ", not at " + brief(T) + " K");
        }
        h_mol = *h;
        t.origin = brief(h_mol / 1000.0) + " kJ/mol at " + brief(T) + " K (" +
                   (c.t ? (T == r.t ? "reactant table" : "NASA polynomials") : "reactant table") + ")";
    }
    for (const auto& [z, n] : t.formula) {
        if (lib.MU(z) <= 0)
            fail(d, c.line, c.name + ": element " + element_symbol(z) + " has no atomic mass in lib/val.id");
        t.molar_mass += lib.MU(z) * n;
    }
    if (per_mole) t.h = h_mol / t.molar_mass;  // J/mol over g/mol: kJ/kg
    t.h = closing_entry(t.h);
    return t;
}

std::vector<TaskComponent> mixture(const Deck& d, const std::vector<DeckComponent>& cs,
                                   const ReactantTable& table, const LibRec& lib, const char* what)
{
    if (cs.size() > kListCapacity)
        fail(d, cs[kListCapacity].line, std::string("more than ") + std::to_string(kListCapacity) +
                                            " " + what + " components");
    std::vector<TaskComponent> out;
    double percent = 0;
    for (const auto& c : cs) {
        if (cs.size() > 1 && !c.wt)
            fail(d, c.line, c.name + ": a " + what + " of several components needs wt= (mass percent)");
        percent += c.wt.value_or(100.0);
        out.push_back(resolve(d, c, table, lib));
        out.back().fraction = c.wt ? *c.wt / 100.0 : 1.0;
    }
    if (std::fabs(percent - 100.0) > kPercentSlack)
        fail(d, cs.front().line, std::string("the ") + what + " mass percents add up to " +
                                     brief(percent) + ", not 100");
    return out;
}

// ---------------------------------------------------------------------------------------------
// Sections

std::vector<double> recipe_entries(const Deck& d, const std::vector<TaskComponent>& mix, int line,
                                   const char* what)
{
    std::vector<double> e;
    for (const auto& c : mix) {
        for (const auto& [z, n] : c.formula) {
            try {
                e.push_back(packed_atoms(n, z, c.label));
            } catch (const ComposeError& err) {
                fail(d, c.line, c.label + ": " + err.detail);
            }
        }
        e.push_back(c.h);
    }
    if (e.size() > kEntryCapacity)
        fail(d, line, std::string("the ") + what + " needs " + std::to_string(e.size()) +
                          " packed entries; a task holds " + std::to_string(kEntryCapacity));
    return e;
}

void check_count(const Deck& d, int line, std::size_t n, const char* what)
{
    if (n > kListCapacity)
        fail(d, line, std::to_string(n) + " " + what + "; a task holds " + std::to_string(kListCapacity));
}

//! The nozzle section list and its marker. A subsonic area ratio is one that a smaller or equal
//! ratio follows in the list, so a subsonic list that nothing smaller follows ends with its last
//! ratio once more, which the program computes on the supersonic side.
Section nozzle_sections(const Deck& d, const std::vector<double>& pc)
{
    Section s;
    const auto& sup = d.supersonic.v;
    const auto& sub = d.subsonic.v;
    switch (d.sections) {
    case SectionKind::None:
        return s;
    case SectionKind::PressureRatio:
        for (double x : sup)
            if (x <= 1) fail(d, d.supersonic.line, "pc/pe " + brief(x) + " is not above 1");
        s.marker = -3000000;
        s.v = sup;
        s.note = "pressure ratios pc/pe (negative marker): " + join(sup);
        break;
    case SectionKind::Pressure:
        for (double x : sup)
            for (double p : pc)
                if (x >= p)
                    fail(d, d.supersonic.line, "exit pressure " + brief(x) +
                                                   " MPa is not below the chamber pressure " + brief(p) + " MPa");
        s.marker = 3000000;
        s.v = sup;
        s.note = "exit pressures [MPa]: " + join(sup);
        break;
    case SectionKind::Temperature:
        s.marker = -3000000;
        s.v = sup;
        s.v.front() = -s.v.front();
        s.note = "section temperatures [K] (negative marker and first value): " + join(sup);
        break;
    case SectionKind::AreaRatio: {
        for (const auto* list : {&sub, &sup})
            for (double x : *list)
                if (x <= 1)
                    fail(d, list == &sub ? d.subsonic.line : d.supersonic.line,
                         "area ratio " + brief(x) + " is not above 1");
        for (std::size_t k = 1; k < sub.size(); ++k)
            if (sub[k] >= sub[k - 1])
                fail(d, d.subsonic.line, "subsonic area ratios must decrease toward the throat: " + join(sub, " "));
        for (std::size_t k = 1; k < sup.size(); ++k)
            if (sup[k] <= sup[k - 1])
                fail(d, d.supersonic.line,
                     "supersonic area ratios must increase (a ratio followed by a smaller one is "
                     "taken as subsonic): " + join(sup, " "));
        s.v = sub;
        std::string extra;
        if (!sub.empty() && (sup.empty() || sup.front() > sub.back())) {
            s.v.push_back(sub.back());
            extra = "; the last subsonic ratio again, on the supersonic side (the program takes a ratio "
                    "as subsonic only when a smaller or equal one follows it)";
        }
        s.v.insert(s.v.end(), sup.begin(), sup.end());
        s.marker = 3000000;
        s.v.front() = -s.v.front();
        s.note = "area ratios F/F* (negative first value)" +
                 (sub.empty() ? std::string() : ", subsonic " + join(sub)) +
                 (sup.empty() ? std::string() : ", supersonic " + join(sup)) + extra;
        break;
    }
    }
    check_count(d, d.sections_line, s.v.size(), "nozzle sections");
    return s;
}

//! Library numbers of the species named, in increasing order.
std::vector<double> species_numbers(const Deck& d, const std::vector<std::string>& names, int line,
                                    const LibRec& lib)
{
    if (names.size() > kSpeciesCapacity)
        fail(d, line, std::to_string(names.size()) + " species; a task lists at most " +
                          std::to_string(kSpeciesCapacity));
    std::vector<double> out;
    for (const auto& n : names) {
        int exact = 0, folded = 0;
        for (int i = 1; i <= kNamedSpecies; ++i) {
            const std::string k = trim(lib.KOM(i).s);
            if (k.empty()) continue;
            if (k == n && !exact) exact = i;
            if (upper(k) == upper(n) && !folded) folded = i;
        }
        const int number = exact ? exact : folded;
        if (number == 0) {
            std::string msg = "\"" + n + "\" is not a species of lib/kom.id";
            std::string near;
            for (int i = 1; i <= kNamedSpecies; ++i) {
                const std::string k = trim(lib.KOM(i).s);
                const std::string uk = upper(k), un = upper(n);
                if (!k.empty() && (uk.find(un) != std::string::npos || un.find(uk) != std::string::npos) &&
                    uk.size() + 2 >= un.size() && near.size() < 60)
                    near += (near.empty() ? "" : ", ") + k;
            }
            fail(d, line, msg + (near.empty() ? "" : "; did you mean " + near + "?"));
        }
        if (std::find(out.begin(), out.end(), number) != out.end())
            fail(d, line, "species " + n + " is named twice");
        out.push_back(number);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// ---------------------------------------------------------------------------------------------
// Text

std::string task_text(const std::vector<std::string>& comments, const std::vector<Section>& sections)
{
    std::string t;
    for (const auto& c : comments) t += safe(c) + "\n";
    bool first = true;
    for (const auto& s : sections) {
        std::vector<double> all = {s.marker};
        all.insert(all.end(), s.v.begin(), s.v.end());
        for (std::size_t k = 0; k < all.size(); k += kValuesPerLine) {
            t += first ? "&WAT RM = " : "          ";
            first = false;
            for (std::size_t j = k; j < std::min(all.size(), k + kValuesPerLine); ++j) {
                if (j == 0) {
                    t += trim(format_int(12, static_cast<std::int64_t>(all[j])));
                } else {
                    if (j != k) t += ' ';
                    t += shortest_real(all[j]);
                }
                t += ',';
            }
            if (k == 0) t += "  ! " + s.note;
            t += "\n";
        }
    }
    t += "          " + trim(format_int(12, static_cast<std::int64_t>(kTerminator))) + " /\n";
    return t;
}

//! The task read back by the program's own reader, from a fresh state with the same library.
std::unique_ptr<State> read_back(const Deck& d, const std::string& text, const LibRec& lib)
{
    auto S = std::make_unique<State>();
    S->lib = lib;
    std::istringstream in(text);
    S->io.task = &in;
    S->io.task_name = "the composed task";
    try {
        INPUT(*S);
    } catch (const InputError& e) {
        fail(d, 0, "the program would reject the composed task: " + e.detail);
    }
    return S;
}

}  // namespace

double packed_atoms(double count, int element, const std::string& what)
{
    if (!(count > 0) || count >= kMarkerMagnitude)
        throw ComposeError(what, 0, "atom count " + shortest_real(count) + " cannot be packed");
    const std::string six = trim(format_real('E', 20, 6, count));  // 0.dddddd E+xx
    double back = 0;
    if (!parse_real_field(six, back) || back != count)
        throw ComposeError(what, 0, "atom count " + shortest_real(count) +
                                        " has more than six significant digits, the most a task carries");
    const std::size_t e = six.find('E');
    const std::string code = (element < 10 ? "0" : "") + std::to_string(element);
    double packed = 0;
    parse_real_field(six.substr(0, e) + code + six.substr(e), packed);
    return packed;
}

double closing_entry(double h)
{
    double r = 0;
    parse_real_field(format_real('F', 40, 4, h), r);
    if (r > 0) parse_real_field(format_real('E', 20, 6, r), r);
    return r;
}

ComposedTask compose_task(const Deck& d, const ReactantTable& table, const LibRec& lib)
{
    // What the deck describes, checked before anything is computed.
    const bool single = !d.propellant.empty();
    if (single && (!d.fuel.empty() || !d.oxidizer.empty()))
        fail(d, d.propellant.front().line, "give either propellant, or fuel and oxidizer, not both");
    if (!single && d.fuel.empty() && d.oxidizer.empty())
        fail(d, 0, "no propellant: give fuel and oxidizer lines, or propellant lines");
    if (!single && d.oxidizer.empty()) fail(d, d.fuel.front().line, "a fuel without an oxidizer: add an oxidizer line");
    if (!single && d.fuel.empty()) fail(d, d.oxidizer.front().line, "an oxidizer without a fuel: add a fuel line");
    if (single && (d.of.line || d.alpha.line))
        fail(d, d.of.line ? d.of.line : d.alpha.line, "a single propellant has no mixture ratio: drop o/f and alpha");
    if (!single && d.of.line && d.alpha.line)
        fail(d, d.alpha.line, "give o/f or alpha, not both");
    if (!single && !d.of.line && !d.alpha.line)
        fail(d, 0, "no mixture ratio: add o/f (oxidizer/fuel mass ratios) or alpha (oxidizer-excess ratios)");
    if (d.grid) {
        if (d.pc.line) fail(d, d.pc.line, "a grid gives its own pressures: drop pc");
        if (d.sections != SectionKind::None) fail(d, d.sections_line, "a grid has no nozzle sections");
        if (d.constant_volume) fail(d, d.constant_volume_line, "a grid has no combustion: drop constant volume");
    } else if (!d.pc.line) {
        fail(d, 0, "no chamber pressure: add pc (for example pc 10 MPa)");
    }
    if (d.constant_volume && d.sections != SectionKind::None)
        fail(d, d.sections_line, "constant-volume combustion has no nozzle: drop the nozzle sections");
    if (!d.omit.empty() && !d.only.empty()) fail(d, d.only_line, "give omit or only, not both");
    const DeckList& ratios = d.of.line ? d.of : d.alpha;
    check_count(d, ratios.line, ratios.v.size(), "mixture ratios");
    check_count(d, d.pc.line, d.pc.v.size(), "chamber pressures");
    check_count(d, d.grid_line, d.grid_t.v.size(), "grid temperatures");
    check_count(d, d.grid_line, d.grid_p.v.size(), "grid pressures");

    ComposedTask task;
    task.fuel = mixture(d, single ? d.propellant : d.fuel, table, lib, single ? "propellant" : "fuel");
    if (!single) task.oxidizer = mixture(d, d.oxidizer, table, lib, "oxidizer");
    const int fuel_line = (single ? d.propellant : d.fuel).front().line;

    std::vector<double> fuel_entries = recipe_entries(d, task.fuel, fuel_line, single ? "propellant" : "fuel");
    if (d.ions) {
        // The electron as an element of the first component turns ions and conductivity on.
        const std::size_t after = task.fuel.front().formula.size();
        fuel_entries.insert(fuel_entries.begin() + static_cast<long>(after),
                            packed_atoms(kIonElectrons, kElectronElement, "ions"));
        if (fuel_entries.size() > kEntryCapacity) fail(d, fuel_line, "no room for the electron entry");
    }

    std::vector<Section> sections;
    const char* report = d.report == 1 ? "one line per point (positive marker)"
                                       : "pages of six points with the composition (negative marker)";
    Section ratio{d.report == 1 ? 1000000.0 : -1000000.0, {}, ""};
    if (single) {
        ratio.v = {0.0};
        ratio.note = std::string("no mixture ratio (a single propellant); report: ") + report;
    } else {
        ratio.v.assign(ratios.v.size(), 1.0);  // replaced below, once KAPPA is known
    }
    sections.push_back(ratio);
    if (d.grid) {
        Section p{2000000, d.grid_p.v, "grid pressures [MPa] (negative first value: a grid)"};
        p.v.front() = -p.v.front();
        sections.push_back(p);
        sections.push_back({3000000, d.grid_t.v, "grid temperatures [K]"});
    } else {
        sections.push_back({d.constant_volume ? -2000000.0 : 2000000.0, d.pc.v,
                            std::string("chamber pressures [MPa]") +
                                (d.constant_volume ? ", constant-volume combustion (negative marker)" : "")});
        Section s = nozzle_sections(d, d.pc.v);
        if (!s.v.empty()) sections.push_back(s);
    }
    auto fractions = [](const std::vector<TaskComponent>& m) {
        std::vector<double> f;
        for (const auto& c : m) f.push_back(c.fraction);
        return f;
    };
    const std::string side = single ? "propellant" : "fuel";
    sections.push_back({4000000, fractions(task.fuel), side + " mass fractions"});
    sections.push_back({5000000, fuel_entries, side + " components, packed (see above)"});
    if (!single) {
        sections.push_back({6000000, fractions(task.oxidizer), "oxidizer mass fractions"});
        sections.push_back({7000000, recipe_entries(d, task.oxidizer, d.oxidizer.front().line, "oxidizer"),
                            "oxidizer components, packed"});
    }
    if (!d.omit.empty() || !d.only.empty()) {
        const bool omit = !d.omit.empty();
        Section s{9000000, species_numbers(d, omit ? d.omit : d.only, omit ? d.omit_line : d.only_line, lib),
                  omit ? "library numbers of the species left out (negative first value)"
                       : "library numbers of the only species considered"};
        if (omit) s.v.front() = -s.v.front();
        sections.push_back(s);
    }
    sections.push_back({10000000, {d.frozen.value_or(kNeverFrozen)},
                        d.frozen ? "freezing temperature [K]" : "freezing temperature: none, equilibrium flow"});

    std::size_t count = 1;  // the terminator
    for (const auto& s : sections) count += 1 + s.v.size();
    if (count > kTaskCapacity)
        fail(d, 0, "the task needs " + std::to_string(count) + " values; it holds " + std::to_string(kTaskCapacity));
    for (const auto& s : sections)
        for (double x : s.v)
            if (std::fabs(x) >= kMarkerMagnitude)
                fail(d, 0, "the value " + brief(x) + " (" + s.note +
                               ") is too large for a task: values of 900000 and more are section markers");

    // The stoichiometric ratio as the program computes it from these very recipes.
    if (!single) {
        const auto S = read_back(d, task_text({}, sections), lib);
        task.kappa = S->task.KAPPA;
        double fuel_valence = 0, oxidizer_valence = 0;
        for (long i = 1; i <= 98; ++i) {
            fuel_valence += S->task.G(i) * lib.V(i);
            oxidizer_valence += S->task.O(i) * lib.V(i);
        }
        const char* hint = " (valences of lib/val.id; are fuel and oxidizer the right way round?)";
        if (!(fuel_valence > 0))
            fail(d, d.fuel.front().line, "the fuel has a total valence of " + brief(fuel_valence) +
                                             " per kilogram: it reduces nothing" + std::string(hint));
        if (!(oxidizer_valence < 0))
            fail(d, d.oxidizer.front().line, "the oxidizer has a total valence of " + brief(oxidizer_valence) +
                                                 " per kilogram: it oxidizes nothing" + std::string(hint));
        for (std::size_t k = 0; k < ratios.v.size(); ++k)
            sections.front().v[k] = d.of.line ? ratios.v[k] / task.kappa : ratios.v[k];
        task.alfa = sections.front().v;
        sections.front().note = std::string("oxidizer-excess ratios ALFA = (O/F)/KAPPA; report: ") + report;
    }

    // The comment block: what each number is.
    std::vector<std::string> c;
    c.push_back("Task for tevalin, composed by tevalin-task from " + d.file +
                ". Compose it again from the deck rather than edit it.");
    auto describe = [&](const std::vector<TaskComponent>& m, const std::string& what) {
        c.push_back(what + ":");
        for (const auto& x : m)
            c.push_back("  " + x.label + ": " + brief(x.fraction * 100) + " % by mass; " +
                        formula_text(x.formula) + "; M " + brief(x.molar_mass) + " g/mol; " + x.origin +
                        " = " + shortest_real(x.h) + " kJ/kg");
    };
    describe(task.fuel, single ? "Propellant" : "Fuel");
    if (!single) describe(task.oxidizer, "Oxidizer");
    if (d.ions)
        c.push_back("Ions considered: the first " + side + " component carries " + brief(kIonElectrons) +
                    " electron per molecule (element 98).");
    if (!single) {
        c.push_back("Stoichiometric oxidizer/fuel mass ratio KAPPA = " + brief(task.kappa) +
                    " (element valences of lib/val.id).");
        std::vector<double> of;
        for (double a : task.alfa) of.push_back(a * task.kappa);
        c.push_back("Oxidizer-excess ratios ALFA " + join(task.alfa) + " for O/F " + join(of) + ".");
    }
    c.push_back("Markers: 1000000 ratios, 2000000 pressures, 3000000 sections, 4000000 and 5000000 the " + side +
                (single ? "" : ", 6000000 and 7000000 the oxidizer") +
                ", 9000000 species, 10000000 freezing temperature; 999999999 ends the list.");
    c.push_back("A packed atom entry holds the atom count in its first six significant digits and the "
                "element number in the 7th and 8th (2.0000001: 2 atoms of element 1).");
    c.push_back("The last entry of a component is its enthalpy in kJ/kg, to 0.0001 kJ/kg (a positive "
                "one to six significant digits).");
    task.text = task_text(c, sections);

    // The program must read back exactly what was meant.
    const auto S = read_back(d, task.text, lib);
    const auto& t = S->task;
    bool ok = t.NA == static_cast<int>(task.alfa.size());
    for (std::size_t k = 0; ok && k < task.alfa.size(); ++k) {
        const double of = t.ALFA(static_cast<long>(k) + 1) * t.KAPPA;
        if (d.of.line) ok = std::fabs(of - ratios.v[k]) <= kReadBackSlack * ratios.v[k];
    }
    double h = 0;
    for (const auto& x : task.fuel) h += x.fraction * x.h;
    ok = ok && std::fabs(t.IG - h) <= 1e-9 * (1 + std::fabs(h));
    if (!ok) fail(d, 0, "the composed task does not read back as meant (a fault of tevalin-task)");

    for (const auto& s : sections) {
        task.values.push_back(s.marker);
        task.values.insert(task.values.end(), s.v.begin(), s.v.end());
    }
    task.summary = std::to_string(single ? 1 : task.alfa.size()) + (single ? " propellant" : " ratio(s)") +
                   (d.grid ? ", a grid of " + std::to_string(d.grid_t.v.size()) + " x " +
                                 std::to_string(d.grid_p.v.size()) + " points"
                           : ", " + std::to_string(d.pc.v.size()) + " chamber pressure(s)") +
                   (!single ? "; KAPPA " + brief(task.kappa) : "");
    return task;
}

}  // namespace tev
