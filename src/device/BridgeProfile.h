#pragma once
// How a simulated bridge answers: one profile per kind of chip (or of failure) the program must
// handle. The catalog names them so that the simulated program can pick one from its data file.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

// The vendor page fields the button poll reads: the tag at bytes 4-5 and the flags at 11, 20.
struct VendorPageFields {
    std::array<uint8_t, 2> tag{'Q', 'X'};
    uint8_t byte11 = 0;
    uint8_t byte20 = 0;

    bool operator==(const VendorPageFields&) const = default;
};

struct BridgeProfile {
    std::string name;
    // False: the disk is gone; every command fails before it reaches a device.
    bool attached = true;
    // SCSI status of every command the device takes; non-zero fails it even with data written.
    uint8_t scsiStatus = 0;

    bool answersInquiry = true;
    std::string inquiryTag;    // inquiry bytes 36 to 39, e.g. "q786"; empty for a plain disk
    size_t inquiryLength = 40; // most bytes the inquiry writes (less than 40: a short reply)
    bool answersVendorPage = true;
    VendorPageFields vendorPage;
    bool answersGpio = true;
    uint16_t pinLevels = 0x0200; // bit 9, the usual button pin, high = released
    bool answersBridgeMemory = true;
    std::optional<std::vector<uint8_t>> chipInfo; // the E0 F4 E7 reply; none = refused
    std::optional<std::string> chipId;            // the FF 04 30 08 string; none = refused
    bool answersB5 = false;
};

// Every profile of the simulated bridge, one per road of chip identification.
std::span<const BridgeProfile> BridgeProfiles();

// The profile called `name`, or none.
std::optional<BridgeProfile> FindBridgeProfile(std::string_view name);

} // namespace snapkeep
