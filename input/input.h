// Input data: the reference library loaded at start, the task file, the species selection.
#pragma once

#include <istream>
#include <string>

#include "core/state.h"

namespace tev {

//! Library files a caller has opened already (at their beginning); a null one is opened by
//! load_library itself when its turn comes.
struct LibraryStreams {
    std::istream* tab = nullptr;
    std::istream* kom = nullptr;
    std::istream* val = nullptr;
    std::istream* fq = nullptr;
    std::istream* bq = nullptr;
    std::istream* qj = nullptr;
};

//! Loads lib/tab.id, lib/kom.id, lib/val.id, lib/fq.id, lib/bq.id, lib/qj.id into S.lib.
//! `dir` is the library directory ("lib"); the files are read from `open` where given there.
//! Throws InputError on a missing, short or bad file.
void load_library(State& S, const std::string& dir, const LibraryStreams& open = {});

//! INPUT: reads the task (namelist WAT) from S.io.task, echoes it, fills the operating-point
//! lists, converts the recipes into G, O, IG, IO and computes KAPPA.
void INPUT(State& S);

//! Rejects, before any calculation, a task whose operating points cannot be computed (no
//! chamber pressure, a zero chamber pressure, area ratios not above 1). Throws InputError.
void check_task(State& S);

//! OTBOR: selects the species of the elements present from the gas and condensed libraries.
void OTBOR(State& S);

}  // namespace tev
