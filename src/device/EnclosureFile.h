#pragma once
// The description of the simulated enclosures ("SnapData\Enclosure.ini"), read by the
// simulated program and rewritten by tests and the demo while it runs. Text, 8-bit or UTF-8,
// `Key=Value` lines, ';' starts a comment, one [Enclosure] section per enclosure, in order:
//
//     [Enclosure]
//     Profile=inquiry-785   ; a profile name of the simulated bridge's catalog
//     Firmware=1 2 3 4      ; chip-information reply bytes 12..15, decimal (default 0 0 0 0)
//     Letters=E             ; drive letters of its volumes, in order ("E F" for two)
//     Attached=1            ; 0 = unplugged
//     ButtonPin=9           ; the pin the button pulls (default 9)
//     ButtonActiveHigh=0    ; level of that pin while pressed (default 0)
//     ButtonPressed=0       ; 1 while the button is held
//     WriteMBps=30          ; its disk's writing, MB/s of 1,000,000 bytes (0 = unlimited)
//     ReadMBps=35           ; its disk's reading, MB/s (0 = unlimited)
//     FileOpenMs=5          ; the cost of each file opened for writing, ms (0 = none)
//     CapacityMB=500        ; its disk's size, MB of 1,000,000 bytes (0 = the folder's free space)
//
// It is a test fixture, not user data: a line that cannot be read is ignored and the rest of
// the file still counts. docs/simulated-enclosure.md describes the format for people.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

inline constexpr const wchar_t* kEnclosureFilePath = L"SnapData\\Enclosure.ini";

struct EnclosureEntry {
    // A catalog profile name; none when the section names no known profile (such an
    // enclosure is not simulated, but keeps its place, so later sections keep their paths).
    std::optional<std::string> profile;
    std::array<uint8_t, 4> firmware{0, 0, 0, 0};
    std::string letters; // upper-case drive letters, in order
    bool attached = true;
    int buttonPin = 9; // 0 to 31
    bool buttonActiveHigh = false;
    bool buttonPressed = false;
    // The speed of its disk, as SnapkeepSim.exe makes the enclosure's drive letters behave;
    // 0 means unlimited, as a folder of the machine is.
    int writeMBps = 0;
    int readMBps = 0;
    int fileOpenMs = 0;
    // The size of its disk in MB of 1,000,000 bytes, so that a test can fill it up; 0 means the
    // free space of the folder behind its letters, as a folder of the machine has.
    int capacityMB = 0;

    bool operator==(const EnclosureEntry&) const = default;
};

// One entry per [Enclosure] section, in file order. Lines outside such a section are ignored.
std::vector<EnclosureEntry> ParseEnclosureFile(std::string_view bytes);

} // namespace snapkeep
