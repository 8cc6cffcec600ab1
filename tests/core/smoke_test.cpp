// The shared state starts at zero and its arrays are indexed from 1.
#include <gtest/gtest.h>

#include <memory>

#include "core/state.h"

TEST(SharedState, StartsAtZeroWithBlankNames)
{
    auto S = std::make_unique<tev::State>();
    EXPECT_EQ(S->sp.A(11000), 0.0);
    EXPECT_EQ(S->lib.KOM(1000).s, std::string(8, ' '));
    EXPECT_EQ(S->lib.QJ(36, 33), 0.0);
    EXPECT_FALSE(S->eq.FZC);
}
