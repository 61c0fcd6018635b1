#include "device/ModelGate.h"

#include <gtest/gtest.h>

#include <set>

using namespace snapkeep;

namespace {

TEST(ModelAccepts, EveryGateValueAgainstEveryFamily) {
    std::set<int> all;
    for (int f = 1; f <= 38; ++f)
        all.insert(f);
    const struct {
        const char* model;
        std::set<int> accepted;
    } cases[] = {
        {"NO", {}},    {"ALL", all},  {"753", {6}},   {"785", {4}},  {"483", {13}},
        {"402", {14}}, {"405", {14}}, {"401", {14}},  {"403", {14}}, {"407", {15}},
        {"409", {16}}, {"406", {18}}, {"407R", {18}}, {"786", {}},   {"417", {}},
        {"999", {}},   {"", {}},      {"all", {}},    {"407r", {}},  {"753 ", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        for (int family = 0; family <= 40; ++family)
            EXPECT_EQ(ModelAccepts(c.model, static_cast<ChipFamily>(family)),
                      c.accepted.count(family) == 1)
                << "family " << family;
    }
}

} // namespace
