#pragma once
// The extensions a job accepts, built once per job from the settings page's boxes and the
// user's own list, and read by every worker of the job from its own thread.
#include "store/SettingsFile.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

class TypeList {
public:
    // Slots of the list: the worker's matcher never looks at more.
    static constexpr int kCapacity = 128;

    TypeList() = default;
    // Workers hold pointers into the list: it never moves.
    TypeList(const TypeList&) = delete;
    TypeList& operator=(const TypeList&) = delete;

    // `checked` is the state of the eight boxes in stored order; `others` is the Others text in
    // its 8-bit form (at most 127 bytes), looked at only when that box is ticked. "All" wins over
    // every other box; otherwise the fixed extensions of the ticked categories come first, in a
    // fixed order, then the user's own pieces, lower-cased, as far as slots remain.
    void Build(const std::array<bool, kFileTypeCount>& checked, std::string_view others);

    // What the worker receives.
    const char* const* Entries() const { return slots_.data(); }
    int Count() const { return count_; }
    std::vector<std::string_view> View() const;

private:
    std::array<const char*, kCapacity> slots_{};
    int count_ = 0;
    std::vector<std::string> others_; // the pieces the Others slots point into
};

} // namespace snapkeep
