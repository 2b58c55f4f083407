// The set of handles that loading and saving use to find a handle taken twice: small handles
// as bits, large ones in a hash set; both answer alike.
#include "host/dxf/handle_set.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using host::dxf::HandleSet;

struct Step {
    std::uint64_t handle;
    bool added;  // what insert answers
};

struct HandleSetCase {
    const char* name;
    std::vector<Step> steps;
};

class HandleSetTest : public ::testing::TestWithParam<HandleSetCase> {};

TEST_P(HandleSetTest, InsertAnswersWhetherTheHandleWasNew) {
    HandleSet set;
    std::vector<std::uint64_t> in;
    for (const Step& s : GetParam().steps) {
        EXPECT_EQ(set.insert(s.handle), s.added) << std::hex << s.handle;
        in.push_back(s.handle);
        for (std::uint64_t h : in)
            EXPECT_TRUE(set.contains(h)) << std::hex << h;
    }
}

constexpr std::uint64_t kBound = std::uint64_t(1) << 27;  // where the bits end

INSTANTIATE_TEST_SUITE_P(
    Cases, HandleSetTest,
    ::testing::Values(
        HandleSetCase{"dense", {{1, true}, {2, true}, {3, true}, {2, false}, {1, false}}},
        HandleSetCase{"word_edges",
                      {{63, true}, {64, true}, {63, false}, {127, true}, {64, false}}},
        HandleSetCase{"zero", {{0, true}, {0, false}}},
        HandleSetCase{"growing_far", {{5, true}, {100000, true}, {5, false}, {100000, false}}},
        HandleSetCase{"either_side_of_the_bound",
                      {{kBound - 1, true}, {kBound, true}, {kBound - 1, false}, {kBound, false}}},
        HandleSetCase{"largest",
                      {{~std::uint64_t(0), true}, {1, true}, {~std::uint64_t(0), false}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HandleSet, AnswersNoForHandlesNeverAdded) {
    HandleSet set;
    EXPECT_FALSE(set.contains(1));
    set.insert(10);
    set.insert(kBound + 10);
    for (std::uint64_t h : {std::uint64_t(9), std::uint64_t(11), std::uint64_t(640), kBound + 9,
                            kBound - 10, std::uint64_t(1) << 40})
        EXPECT_FALSE(set.contains(h)) << std::hex << h;
}

}  // namespace
