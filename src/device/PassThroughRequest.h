#pragma once
// The SCSI pass-through request as Windows expects it (SCSI_PASS_THROUGH_DIRECT), declared here
// with natural alignment so that filling it is portable code. The Windows tests pin this layout
// to the platform header field by field.
//
// Windows refuses a request whose Length is not the size of the structure of the calling
// process. A 32-bit process's structure is 44 bytes with the sense area at 48; a 64-bit
// process's is 56 bytes because DataBuffer is a pointer. So Length and SenseInfoOffset come
// from sizeof, never from fixed numbers.
#include <cstddef>
#include <cstdint>
#include <span>

namespace snapkeep {

struct ScsiPassThroughDirect {
    uint16_t Length;
    uint8_t ScsiStatus;
    uint8_t PathId;
    uint8_t TargetId;
    uint8_t Lun;
    uint8_t CdbLength;
    uint8_t SenseInfoLength;
    uint8_t DataIn;
    uint32_t DataTransferLength;
    uint32_t TimeOutValue;
    void* DataBuffer;
    uint32_t SenseInfoOffset;
    uint8_t Cdb[16];
};

// IOCTL_SCSI_PASS_THROUGH_DIRECT: CTL_CODE(FILE_DEVICE_CONTROLLER, 0x405, METHOD_BUFFERED,
// FILE_READ_ACCESS | FILE_WRITE_ACCESS).
inline constexpr uint32_t kIoctlScsiPassThroughDirect = 0x4D014;

inline constexpr uint8_t kScsiDataIn = 1;
inline constexpr uint8_t kBridgeTargetId = 1;
inline constexpr uint32_t kBridgeTimeoutSeconds = 10;
// Buffers handed to the pass-through are aligned this far, which satisfies any adapter's
// alignment mask.
inline constexpr size_t kPassThroughAlignment = 8192;

// Sense data are never requested; the offset still points just past the structure, rounded to
// 8 bytes (48 in a 32-bit process as before, 56 in a 64-bit one).
inline constexpr uint32_t kSenseInfoOffset =
    static_cast<uint32_t>((sizeof(ScsiPassThroughDirect) + 7) & ~size_t{7});

// Fills a zeroed request for a data-in command: `commandBlock` (at most 16 bytes) goes into Cdb,
// `data` (null when the transfer length is 0) receives the reply.
void FillPassThroughRequest(ScsiPassThroughDirect& request, std::span<const uint8_t> commandBlock,
                            void* data, uint32_t transferLength);

} // namespace snapkeep
