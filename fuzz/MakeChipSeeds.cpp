// Writes the seed corpus of IdentifyChipFuzz: for every profile of the simulated bridge's
// catalog, the answers that bridge gives to identification and a button read, in the harness's
// input format (status byte, reply length, reply bytes, per command). Run by scripts/fuzz.sh, so
// the seeds follow the catalog as it grows.
#include "device/BackupButton.h"
#include "device/BridgeProfile.h"
#include "device/IdentifyChip.h"
#include "device/SimulatedBridge.h"

#include <algorithm>
#include <fstream>
#include <string>

using namespace snapkeep;

namespace {

// Passes every command on to the simulated bridge and records its answer.
class RecordingPort final : public BridgePort {
public:
    explicit RecordingPort(SimulatedBridge& bridge) : bridge_(bridge) {}

    bool Execute(const std::string& devicePath, std::span<const uint8_t> commandBlock,
                 std::span<uint8_t> dataIn) override {
        const bool good = bridge_.Execute(devicePath, commandBlock, dataIn);
        const size_t length = std::min<size_t>(dataIn.size(), 255);
        record_.push_back(good ? 1 : 0);
        record_.push_back(static_cast<char>(length));
        record_.append(reinterpret_cast<const char*>(dataIn.data()), length);
        return good;
    }
    const std::string& Record() const { return record_; }

private:
    SimulatedBridge& bridge_;
    std::string record_;
};

class SilentNotifier final : public ErrorNotifier {
public:
    void ShowError(std::string_view, std::string_view) override {}
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    for (const BridgeProfile& profile : BridgeProfiles()) {
        SimulatedBridge bridge(profile);
        RecordingPort port(bridge);
        SilentNotifier notifier;
        const ChipFamily family = IdentifyChip(port, notifier, bridge.DevicePath());
        BackupButtonPressed(port, bridge.DevicePath(), family, ProductConfig{});
        std::ofstream out(std::string(argv[1]) + "/" + profile.name,
                          std::ios::binary | std::ios::trunc);
        // The harness then reads pin 9, level 0: the configuration's defaults.
        out << port.Record() << '\x0d' << '\x00';
    }
    return 0;
}
