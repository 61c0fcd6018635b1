#include "device/PassThroughRequest.h"

#include <algorithm>
#include <cstring>

namespace snapkeep {

void FillPassThroughRequest(ScsiPassThroughDirect& request, std::span<const uint8_t> commandBlock,
                            void* data, uint32_t transferLength) {
    std::memset(&request, 0, sizeof request);
    request.Length = static_cast<uint16_t>(sizeof(ScsiPassThroughDirect));
    request.ScsiStatus = 0;
    request.PathId = 0;
    request.TargetId = kBridgeTargetId;
    request.Lun = 0;
    const size_t cdbLength = std::min(commandBlock.size(), sizeof request.Cdb);
    request.CdbLength = static_cast<uint8_t>(cdbLength);
    request.SenseInfoLength = 0;
    request.DataIn = kScsiDataIn;
    request.DataTransferLength = transferLength;
    request.TimeOutValue = kBridgeTimeoutSeconds;
    request.DataBuffer = transferLength > 0 ? data : nullptr;
    request.SenseInfoOffset = kSenseInfoOffset;
    std::copy_n(commandBlock.begin(), cdbLength, request.Cdb);
}

} // namespace snapkeep
