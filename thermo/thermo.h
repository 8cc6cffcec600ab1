// Thermochemistry: species functions, initial composition, equilibrium, transport properties.
#pragma once

#include "core/state.h"

namespace tev {

//! FUNC: enthalpy, entropy and heat capacity of every selected species at T.
void FUNC(State& S);
//! FFG: the functions of the gases (polynomial and ion records).
void FFG(State& S);
//! FK: the functions of the condensed species, with phase-transition pinning.
void FK(State& S);
//! INITIA: starting composition, basis and inverse basis matrix of an operating point.
void INITIA(State& S);
//! EQUILI: equilibrium composition and mixture properties at T and PP.
void EQUILI(State& S);
//! TEPL: viscosity, thermal conductivity and Prandtl number of the gas phase.
void TEPL(State& S);
//! SIGMA: electrical conductivity of the ionised products.
void SIGMA(State& S);

}  // namespace tev
