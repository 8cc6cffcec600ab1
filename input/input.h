// Input data: the reference library loaded at start, the task file, the species selection.
#pragma once

#include "core/state.h"

namespace tev {

struct LibraryStreams;

//! Loads lib/tab.id, lib/kom.id, lib/val.id, lib/fq.id, lib/bq.id, lib/qj.id into S.lib.
//! `dir` is the library directory ("lib"). Throws InputError on a missing, short or bad file.
void load_library(State& S, const std::string& dir);

//! INPUT: reads the task (namelist WAT) from S.io.task, echoes it, fills the operating-point
//! lists, converts the recipes into G, O, IG, IO and computes KAPPA.
void INPUT(State& S);

//! Rejects, before any calculation, a task whose operating points cannot be computed (no
//! chamber pressure, a zero chamber pressure, area ratios not above 1). Throws InputError.
void check_task(State& S);

//! OTBOR: selects the species of the elements present from the gas and condensed libraries.
void OTBOR(State& S);

}  // namespace tev
