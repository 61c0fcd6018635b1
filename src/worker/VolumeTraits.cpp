#include "worker/VolumeTraits.h"

#include <algorithm>
#include <array>

namespace snapkeep {

namespace {

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char16_t c) {
            return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::uint64_t Distance(std::uint64_t a, std::uint64_t b) {
    return a > b ? a - b : b - a;
}

} // namespace

VolumeTraits TraitsOfFileSystem(std::u16string_view name) {
    VolumeTraits traits;
    for (std::u16string_view fat : {u"FAT", u"FAT12", u"FAT16", u"FAT32"}) {
        if (EqualIgnoringCase(name, fat)) {
            traits.creationPrecision = kTime10Ms;
            traits.lastWritePrecision = kTime2S;
            traits.storedAttributes = kFatAttributes;
            traits.localTime = true;
            traits.largestFile = kFatLargestFile;
            traits.namedStreams = false;
            return traits;
        }
    }
    if (EqualIgnoringCase(name, u"exFAT")) {
        traits.creationPrecision = kTime10Ms;
        traits.lastWritePrecision = kTime10Ms;
        traits.storedAttributes = kFatAttributes;
        traits.namedStreams = false;
    }
    return traits;
}

VolumeTraits Coarser(const VolumeTraits& a, const VolumeTraits& b) {
    VolumeTraits both;
    both.creationPrecision = std::max(a.creationPrecision, b.creationPrecision);
    both.lastWritePrecision = std::max(a.lastWritePrecision, b.lastWritePrecision);
    both.storedAttributes = a.storedAttributes & b.storedAttributes;
    both.localTime = a.localTime || b.localTime;
    both.largestFile = std::min(a.largestFile, b.largestFile);
    both.namedStreams = a.namedStreams && b.namedStreams;
    return both;
}

std::uint64_t PrecisionOfRoundTrip(std::uint64_t written, std::uint64_t read) {
    if (read == written)
        return kTimeExact;
    // 1 us, 1 ms, 10 ms, 1 s, 2 s: the steps file systems keep. The value read back lies on the
    // volume's step whether it cut the value written or rounded it to the nearest step.
    static constexpr std::array<std::uint64_t, 5> kSteps = {10, 10'000, kTime10Ms, kTime1S,
                                                            kTime2S};
    const std::uint64_t distance = Distance(written, read);
    for (auto step = kSteps.rbegin(); step != kSteps.rend(); ++step) {
        if (read % *step == 0 && distance < *step)
            return *step;
    }
    return kTimeNotKept;
}

bool SameTime(std::uint64_t a, std::uint64_t b, std::uint64_t precision) {
    return Distance(a, b) < precision;
}

bool ShiftedBy(std::uint64_t a, std::uint64_t b, std::int64_t shift, std::uint64_t precision) {
    // Unsigned arithmetic wraps, so `a` moved by a negative shift is right too.
    return Distance(a + static_cast<std::uint64_t>(shift), b) < precision;
}

} // namespace snapkeep
