// Report texts with a fixed wording, as the code page 866 bytes the report writes.
//
// The titles mix Latin and Cyrillic letters: a letter that looks the same in both alphabets is
// the Latin one, the others are Cyrillic. Each text is written with \x escapes for its
// Cyrillic bytes; the comment shows it in UTF-8.
#pragma once

namespace tev::texts {

//! Title of the line-mode results table: "TAБЛИЦA" (T, A, A Latin; Б, Л, И, Ц Cyrillic).
inline constexpr char kTableTitle[] = "TA\x81\x8B\x88\x96" "A";
//! Title over the propellant lines: "HOMEP CИCTEMЫ" (И, Ы Cyrillic, the rest Latin).
inline constexpr char kSystemNumber[] = "HOMEP C\x88" "CTEM\x9B";
//! Titles of the two component columns: "KOMП.(O.) KOMП.(G.)" (П Cyrillic, the rest Latin).
inline constexpr char kComponents[] = "KOM\x8F.(O.) KOM\x8F.(G.)";

//! Name printed for a library number that has no entry in the species name table.
inline constexpr char kUnknownSpecies[] = "?       ";

}  // namespace tev::texts
