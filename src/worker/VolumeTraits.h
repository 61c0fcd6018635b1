#pragma once
// What a volume keeps of a file's times and attributes, and therefore how closely a copy on it
// can match its source. NTFS keeps times to 100 ns and every attribute a copy can set; FAT keeps
// last-write times to 2 s, creation times to 10 ms, in local time, and only the four classic
// attributes; exFAT keeps times to 10 ms. A comparison between two volumes can ask no more than
// the coarser of the two keeps, or every file on a FAT disk would look changed on every run.
#include <cstdint>
#include <string_view>

namespace snapkeep {

// File attribute bits as the system numbers them (the portable code has no windows.h).
enum FileAttributeBit : std::uint32_t {
    AttributeReadOnly = 0x1,
    AttributeHidden = 0x2,
    AttributeSystem = 0x4,
    AttributeArchive = 0x20,
    AttributeTemporary = 0x100,
    AttributeOffline = 0x1000,
    AttributeNotContentIndexed = 0x2000,
};

// The attributes a file's owner can set, and so the only ones a copy can give its destination;
// the others (compressed, encrypted, sparse, reparse point, ...) belong to the file system.
constexpr std::uint32_t kSettableAttributes =
    AttributeReadOnly | AttributeHidden | AttributeSystem | AttributeArchive | AttributeTemporary |
    AttributeOffline | AttributeNotContentIndexed;

// The four a FAT or exFAT directory entry holds.
constexpr std::uint32_t kFatAttributes =
    AttributeReadOnly | AttributeHidden | AttributeSystem | AttributeArchive;

// Time steps in file-time units (100 ns).
constexpr std::uint64_t kTimeExact = 1;
constexpr std::uint64_t kTime10Ms = 100'000;
constexpr std::uint64_t kTime1S = 10'000'000;
constexpr std::uint64_t kTime2S = 20'000'000;
constexpr std::uint64_t kOneHour = 36'000'000'000;
// The largest file FAT can hold, one byte short of 4 GiB.
constexpr std::uint64_t kFatLargestFile = 0xFFFF'FFFF;
// A time the volume does not give back as it was set (it ignores it, keeps another in its
// place, or shifts it by a time zone). A creation time of that kind is not compared: the copy
// cannot give it to a file. A last-write time of that kind cannot show an edit that kept the
// size, so every file on such a volume counts as changed.
constexpr std::uint64_t kTimeNotKept = UINT64_MAX;

struct VolumeTraits {
    std::uint64_t creationPrecision = kTimeExact;
    std::uint64_t lastWritePrecision = kTimeExact;
    std::uint32_t storedAttributes = kSettableAttributes;
    // FAT stores local time: after a change to or from daylight-saving time every time on it
    // reads exactly one hour off.
    bool localTime = false;
    // The largest file it can hold: FAT keeps sizes in 32 bits.
    std::uint64_t largestFile = UINT64_MAX;
    // Whether its files can have named streams (NTFS: a download's zone mark is one); FAT and
    // exFAT keep none.
    bool namedStreams = true;
    bool operator==(const VolumeTraits&) const = default;
};

// What the file system of that name keeps ("NTFS", "FAT32", "exFAT", ...). A name it does not
// know gets the exact rule, which never takes a changed file for an unchanged one.
VolumeTraits TraitsOfFileSystem(std::u16string_view name);

// The rule for comparing a file on one volume with its copy on the other: the coarser
// precision of each time, the attributes both keep, local time if either keeps it (and the
// smaller largest file; named streams only if both keep them).
VolumeTraits Coarser(const VolumeTraits& a, const VolumeTraits& b);

// The precision a volume keeps for a time, learned from one value written and read back. The
// value written must not fall on a step of 1 us or coarser (see kProbeTimeOffset): the value
// read back then lies on the volume's step. kTimeNotKept when what came back is no rounding of
// what was written (the volume ignores the time, or reports another one in its place).
std::uint64_t PrecisionOfRoundTrip(std::uint64_t written, std::uint64_t read);

// Added to a time on an even second to get a probe value that lies on no step of the ladder
// that PrecisionOfRoundTrip knows (1 us, 1 ms, 10 ms, 1 s, 2 s): 1.2345678 s.
constexpr std::uint64_t kProbeTimeOffset = 12'345'678;

// True when two values of one time count as the same at `precision`: closer than it.
bool SameTime(std::uint64_t a, std::uint64_t b, std::uint64_t precision);

// True when `b` lies `shift` after `a` (before it, for a negative shift) within `precision`.
bool ShiftedBy(std::uint64_t a, std::uint64_t b, std::int64_t shift, std::uint64_t precision);

} // namespace snapkeep
