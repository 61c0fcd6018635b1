#include "device/SendBridgeCommand.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace snapkeep {

bool SendBridgeCommand(BridgePort& port, const std::string& devicePath,
                       std::span<const uint8_t> commandBlock, std::span<uint8_t> reply) {
    std::fill(reply.begin(), reply.end(), uint8_t{0});
    if (commandBlock.empty() || commandBlock.size() > kMaxCommandBlockLength ||
        reply.size() > std::numeric_limits<uint32_t>::max())
        return false;

    std::vector<uint8_t> data(TransferLengthFor(reply.size()), 0);
    const bool ok = port.Execute(devicePath, commandBlock, data);
    std::copy_n(data.begin(), reply.size(), reply.begin());
    return ok;
}

} // namespace snapkeep
