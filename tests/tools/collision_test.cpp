// Collision parameters of the library generator: their packing and their estimate by analogy.
#include "tools/mklib/collision.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace mklib;

TEST(CollisionValues, PackDiameterAndWellDepthAsTheSelectionDecodesThem)
{
    EXPECT_EQ(pack_collision(3.798, 71.0), 379800710.0);
    EXPECT_EQ(pack_collision(2.641, 809.1), 264108091.0);
    EXPECT_EQ(pack_collision(0, 100), 0.0);
    const double v = pack_collision(4.62, 3296);
    const double n = std::trunc(v * 1e-05);
    EXPECT_DOUBLE_EQ(n * 0.001, 4.62);
    EXPECT_DOUBLE_EQ((v - n * 100000) * 0.1, 3296.0);
}

TEST(CollisionValues, AreEstimatedFromAMeasuredHomologueOrTheNearestSpeciesOfTheSameClass)
{
    std::vector<Analogue> known = {
        {"KCL", encode_formula({{"K", 1}, {"CL", 1}}), 74.55, {4.186, 1989}},
        {"KOH", encode_formula({{"K", 1}, {"O", 1}, {"H", 1}}), 56.1, {4.52, 1213}},
        {"HCL", encode_formula({{"H", 1}, {"CL", 1}}), 36.46, {3.339, 344.7}},
        {"H2O", encode_formula({{"H", 2}, {"O", 1}}), 18.02, {2.641, 809.1}},
        {"KO", encode_formula({{"K", 1}, {"O", 1}}), 55.1, {3.812, 383}}};
    std::string from;
    const LJ nacl = estimate_collision(encode_formula({{"NA", 1}, {"CL", 1}}), 58.44, known, from);
    EXPECT_EQ(from, "KCL");
    EXPECT_EQ(nacl.eps, 1989);
    EXPECT_NEAR(nacl.sigma, 4.186 * std::cbrt((23.7 + 24.6) / (45.5 + 24.6)), 1e-12);
    const LJ alcl2 = estimate_collision(encode_formula({{"AL", 1}, {"CL", 2}}), 97.9, known, from);
    EXPECT_EQ(from, "KOH");  // three atoms
    EXPECT_EQ(alcl2.eps, 1213);
    estimate_collision(encode_formula({{"CL", 1}}), 35.45, known, from);
    EXPECT_EQ(from, "HCL");  // no metal
    // a homologue of the same class wins over a nearer molar mass: LiOH is KOH's, not H2O's
    estimate_collision(encode_formula({{"LI", 1}, {"O", 1}, {"H", 1}}), 23.95, known, from);
    EXPECT_EQ(from, "KOH");
    estimate_collision(encode_formula({{"LI", 1}, {"F", 1}}), 25.94, known, from);
    EXPECT_EQ(from, "KCL");
}

}  // namespace
