#include "device/ModelGate.h"

#include <array>

namespace snapkeep {

namespace {

struct GateEntry {
    std::string_view model;
    ChipFamily family;
};

// Several products share one accepted family; the other codes of the chip table are not
// products of their own and are refused.
constexpr std::array<GateEntry, 11> kGate = {{{"753", 6},
                                              {"785", 4},
                                              {"483", 13},
                                              {"402", 14},
                                              {"405", 14},
                                              {"401", 14},
                                              {"403", 14},
                                              {"407", 15},
                                              {"409", 16},
                                              {"406", 18},
                                              {"407R", 18}}};

} // namespace

bool ModelAccepts(std::string_view model, ChipFamily family) {
    if (family == kUnknownFamily)
        return false;
    if (model == "NO")
        return false;
    if (model == "ALL")
        return family <= kHighestFamily;
    for (const GateEntry& entry : kGate)
        if (entry.model == model)
            return entry.family == family;
    return false;
}

} // namespace snapkeep
