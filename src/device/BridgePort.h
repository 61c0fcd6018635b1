#pragma once
// The one road to a bridge: a port sends a command block with a data-in phase and hands back
// what the device wrote. The Windows port goes through SCSI pass-through; the simulated bridge
// answers in-process. Everything above a port (builders, identification, button reading) is the
// same code for both.
#include <cstdint>
#include <span>
#include <string>

namespace snapkeep {

class BridgePort {
public:
    virtual ~BridgePort() = default;

    // Sends `commandBlock` (at most 16 bytes) to the disk at `devicePath` with a data-in phase
    // of exactly dataIn.size() bytes. `dataIn` is zero on entry; bytes the device does not
    // write stay zero. Answers true only when the command reached the device and the device
    // reported GOOD status. Never throws.
    virtual bool Execute(const std::string& devicePath, std::span<const uint8_t> commandBlock,
                         std::span<uint8_t> dataIn) = 0;
};

} // namespace snapkeep
