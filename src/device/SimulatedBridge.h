#pragma once
// A bridge in software: a port that decodes each command block and answers as the chosen
// profile's chip would, with a SCSI status. It stands in for the enclosure in the simulated
// program and in tests. The pin-level word and the vendor page's button fields can be changed
// from any thread while commands run, which is how a button press is simulated.
#include "device/BridgePort.h"
#include "device/BridgeProfile.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace snapkeep {

// One command as it reached the port.
struct SentCommand {
    std::string devicePath;
    std::vector<uint8_t> commandBlock;
    uint32_t transferLength = 0;

    bool operator==(const SentCommand&) const = default;
};

// SCSI status the simulated device reports for a command it does not take.
inline constexpr uint8_t kCheckCondition = 0x02;

class SimulatedBridge final : public BridgePort {
public:
    static constexpr const char* kDefaultDevicePath =
        "\\\\?\\usbstor#disk&ven_velmora&prod_snapkeep&rev_0100#sim0#"
        "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    // The log keeps this many recent commands, so a long-running simulation does not grow.
    static constexpr size_t kSentCommandLimit = 4096;

    explicit SimulatedBridge(BridgeProfile profile, std::string devicePath = kDefaultDevicePath);

    bool Execute(const std::string& devicePath, std::span<const uint8_t> commandBlock,
                 std::span<uint8_t> dataIn) override;

    const BridgeProfile& Profile() const { return profile_; }
    const std::string& DevicePath() const { return devicePath_; }

    // The 16-bit pin-level word the DF 10 FF read answers (bit n = pin n).
    uint16_t PinLevels() const;
    void SetPinLevels(uint16_t levels);

    // Bytes 4-5, 11 and 20 of the vendor page DF.
    VendorPageFields VendorPage() const;
    void SetVendorPage(const VendorPageFields& fields);

    // SCSI status of the last command that reached the device; none before the first.
    std::optional<uint8_t> LastScsiStatus() const;

    // Commands sent so far (the most recent kSentCommandLimit), oldest first.
    std::vector<SentCommand> SentCommands() const;
    void ClearSentCommands();

private:
    // The device's answer to one block, or none when it does not take the command.
    std::optional<std::vector<uint8_t>> Answer(std::span<const uint8_t> block) const;
    std::vector<uint8_t> InquiryData() const;
    std::vector<uint8_t> VendorPageData() const;

    const BridgeProfile profile_;
    const std::string devicePath_;

    mutable std::mutex mutex_; // guards everything below
    uint16_t pinLevels_;
    VendorPageFields vendorPage_;
    std::optional<uint8_t> lastStatus_;
    std::deque<SentCommand> sent_;
};

} // namespace snapkeep
