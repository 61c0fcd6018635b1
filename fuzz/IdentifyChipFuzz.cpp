// Chip identification and the button reading over a bridge that answers every command with
// fuzzed bytes and a fuzzed status. Input: per command, one status byte (odd = GOOD), one byte
// for how much of the reply the device writes, then those reply bytes.
#include "FuzzInput.h"
#include "device/BackupButton.h"
#include "device/IdentifyChip.h"

#include <algorithm>
#include <cstdlib>

using namespace snapkeep;

namespace {

class FuzzedPort final : public BridgePort {
public:
    explicit FuzzedPort(fuzz::FuzzInput& input) : input_(input) {}

    bool Execute(const std::string&, std::span<const uint8_t> commandBlock,
                 std::span<uint8_t> dataIn) override {
        if (commandBlock.size() > 16)
            std::abort(); // the port's own contract
        if (++commands_ > 64)
            std::abort(); // identification must not keep asking
        for (uint8_t byte : dataIn)
            if (byte != 0)
                std::abort(); // the reply buffer comes zeroed
        const bool good = input_.Byte() & 1;
        const size_t wanted = input_.Byte();
        const std::string_view reply = input_.Bytes(std::min(wanted, dataIn.size()));
        std::copy(reply.begin(), reply.end(), dataIn.begin());
        return good;
    }

private:
    fuzz::FuzzInput& input_;
    int commands_ = 0;
};

class SilentNotifier final : public ErrorNotifier {
public:
    void ShowError(std::string_view, std::string_view) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    FuzzedPort port(input);
    SilentNotifier notifier;
    const ChipFamily family = IdentifyChip(port, notifier, "\\\\.\\PhysicalDrive1");
    if (family > 38)
        std::abort();
    ProductConfig config;
    config.BtnGpioNumber = input.Byte() % 40 - 4; // pins outside 0..31 included
    config.BtnGpioHighActive = input.Byte() & 1;
    BackupButtonPressed(port, "\\\\.\\PhysicalDrive1", family, config);
    return 0;
}
