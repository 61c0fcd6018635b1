#include "device/PassThroughPort.h"

#include "device/BridgeCommands.h"
#include "device/PassThroughRequest.h"
#include "device/SendBridgeCommand.h"
#include "win/Handle.h"
#include "win/Text.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <vector>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

// Our request must be the platform's structure byte for byte, or the driver refuses it.
#define EXPECT_SAME_FIELD(field)                                                                   \
    EXPECT_EQ(offsetof(ScsiPassThroughDirect, field), offsetof(SCSI_PASS_THROUGH_DIRECT, field))   \
        << #field;                                                                                 \
    EXPECT_EQ(sizeof(ScsiPassThroughDirect::field), sizeof(SCSI_PASS_THROUGH_DIRECT::field))       \
        << #field

TEST(PassThroughRequest, LayoutIsThePlatformsOwn) {
    EXPECT_SAME_FIELD(Length);
    EXPECT_SAME_FIELD(ScsiStatus);
    EXPECT_SAME_FIELD(PathId);
    EXPECT_SAME_FIELD(TargetId);
    EXPECT_SAME_FIELD(Lun);
    EXPECT_SAME_FIELD(CdbLength);
    EXPECT_SAME_FIELD(SenseInfoLength);
    EXPECT_SAME_FIELD(DataIn);
    EXPECT_SAME_FIELD(DataTransferLength);
    EXPECT_SAME_FIELD(TimeOutValue);
    EXPECT_SAME_FIELD(DataBuffer);
    EXPECT_SAME_FIELD(SenseInfoOffset);
    EXPECT_SAME_FIELD(Cdb);
    EXPECT_EQ(sizeof(ScsiPassThroughDirect), sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(alignof(ScsiPassThroughDirect), alignof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(kIoctlScsiPassThroughDirect, static_cast<uint32_t>(IOCTL_SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(kScsiDataIn, SCSI_IOCTL_DATA_IN);
#ifdef _WIN64
    // The 44-byte layout with the sense area at 48 is a 32-bit process's; ours is larger.
    EXPECT_EQ(sizeof(SCSI_PASS_THROUGH_DIRECT), 56u);
    EXPECT_EQ(kSenseInfoOffset, 56u);
#else
    EXPECT_EQ(sizeof(SCSI_PASS_THROUGH_DIRECT), 44u);
    EXPECT_EQ(kSenseInfoOffset, 48u);
#endif
}

// What the fake device-control call saw, and how it answers.
struct FakeDevice {
    // Answer.
    BOOL result = TRUE;
    DWORD lastError = ERROR_SUCCESS; // set by the fake only when not 0
    uint8_t scsiStatus = 0;
    size_t writes = SIZE_MAX; // reply bytes the device writes: 0xA0, 0xA1, ...
    std::function<void()> whileOpen;

    // Seen.
    int calls = 0;
    bool handleValid = false;
    DWORD code = 0;
    DWORD inSize = 0;
    DWORD outSize = 0;
    bool sameBuffer = false;
    uintptr_t requestAddress = 0;
    uintptr_t dataAddress = 0;
    bool dataZeroOnEntry = false;
    SCSI_PASS_THROUGH_DIRECT request{};

    win::DeviceControlCall Call() {
        return [this](HANDLE device, DWORD c, void* in, DWORD inBytes, void* out, DWORD outBytes,
                      DWORD* returned) -> BOOL {
            ++calls;
            handleValid = device != nullptr && device != INVALID_HANDLE_VALUE;
            code = c;
            inSize = inBytes;
            outSize = outBytes;
            sameBuffer = in == out;
            requestAddress = reinterpret_cast<uintptr_t>(in);
            std::memcpy(&request, in, std::min<size_t>(inBytes, sizeof request));
            auto* live = static_cast<SCSI_PASS_THROUGH_DIRECT*>(out);
            auto* data = static_cast<uint8_t*>(live->DataBuffer);
            dataAddress = reinterpret_cast<uintptr_t>(data);
            dataZeroOnEntry = true;
            for (ULONG i = 0; i < live->DataTransferLength; ++i)
                dataZeroOnEntry = dataZeroOnEntry && data[i] == 0;
            for (ULONG i = 0; i < live->DataTransferLength && i < writes; ++i)
                data[i] = static_cast<uint8_t>(0xA0 + i);
            live->ScsiStatus = scsiStatus;
            *returned = outBytes;
            if (whileOpen) {
                // The probe's own calls must not leave an error code that looks like ours.
                const DWORD saved = ::GetLastError();
                whileOpen();
                ::SetLastError(saved);
            }
            if (lastError != ERROR_SUCCESS)
                ::SetLastError(lastError);
            return result;
        };
    }
};

class PassThroughPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteBytes(diskFile, "not a disk")); }

    TempDir dir;
    const std::wstring diskFile = dir / L"disk";
    const std::string disk = win::WideToAnsi(diskFile);
    FakeDevice fake;
    win::PassThroughPort port{fake.Call()};
};

using Bytes = std::vector<uint8_t>;

TEST_F(PassThroughPortTest, RequestAsFilledForEachBuilder) {
    const struct {
        const char* name;
        std::function<bool(Bytes&)> send;
        Bytes cdb;
        ULONG transferLength;
        size_t replyLength;
    } cases[] = {
        {"ReadInquiry 40",
         [&](Bytes& r) {
             r.resize(40);
             return ReadInquiry(port, disk, r);
         },
         {0x12, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0},
         40,
         40},
        {"ReadInquiry 1",
         [&](Bytes& r) {
             r.resize(1);
             return ReadInquiry(port, disk, r);
         },
         {0x12, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},
         2,
         1},
        {"ReadVendorPage 21",
         [&](Bytes& r) {
             r.resize(21);
             return ReadVendorPage(port, disk, r);
         },
         {0x12, 0x01, 0xDF, 0, 21, 0, 0, 0, 0, 0, 0, 0},
         21,
         21},
        {"ReadGpioWord",
         [&](Bytes& r) {
             r.resize(2);
             return ReadGpioWord(port, disk, std::span<uint8_t, 2>(r.data(), 2));
         },
         {0xDF, 0x10, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0xFF},
         2,
         2},
        {"ReadBridgeMemory FDB0 4",
         [&](Bytes& r) {
             r.resize(4);
             return ReadBridgeMemory(port, disk, 0xFDB0, r);
         },
         {0xDF, 0x10, 0, 0x00, 0x04, 0xFD, 0xB0, 0, 0, 0, 0, 0xFD},
         4,
         4},
        {"ReadChipInfo 16",
         [&](Bytes& r) {
             r.resize(16);
             return ReadChipInfo(port, disk, r);
         },
         {0xE0, 0xF4, 0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         16,
         16},
        {"ReadChipInfo 12",
         [&](Bytes& r) {
             r.resize(12);
             return ReadChipInfo(port, disk, r);
         },
         {0xE0, 0xF4, 0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         12,
         12},
        {"ReadChipId 40",
         [&](Bytes& r) {
             r.resize(40);
             return ReadChipId(port, disk, r);
         },
         {0xFF, 0x04, 0x30, 0x08, 0, 0, 0, 0, 0, 0, 0, 0},
         40,
         40},
        {"ReadB5Block",
         [&](Bytes& r) {
             r.resize(512);
             return ReadB5Block(port, disk, std::span<uint8_t, 512>(r.data(), 512));
         },
         {0xB5, 0, 0, 0, 0, 0x64, 0, 0, 0x01, 0, 0, 0},
         512,
         512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake.calls = 0;
        Bytes reply;
        ASSERT_TRUE(c.send(reply));
        ASSERT_EQ(fake.calls, 1);
        EXPECT_TRUE(fake.handleValid);
        EXPECT_EQ(fake.code, static_cast<DWORD>(IOCTL_SCSI_PASS_THROUGH_DIRECT));
        EXPECT_EQ(fake.inSize, sizeof(SCSI_PASS_THROUGH_DIRECT));
        EXPECT_EQ(fake.outSize, sizeof(SCSI_PASS_THROUGH_DIRECT));
        EXPECT_TRUE(fake.sameBuffer);
        EXPECT_EQ(fake.requestAddress % 8192, 0u);
        EXPECT_EQ(fake.dataAddress % 8192, 0u);
        EXPECT_NE(fake.dataAddress, 0u);
        EXPECT_TRUE(fake.dataZeroOnEntry);

        const SCSI_PASS_THROUGH_DIRECT& r = fake.request;
        EXPECT_EQ(r.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
        EXPECT_EQ(r.ScsiStatus, 0);
        EXPECT_EQ(r.PathId, 0);
        EXPECT_EQ(r.TargetId, 1);
        EXPECT_EQ(r.Lun, 0);
        EXPECT_EQ(r.CdbLength, 12);
        EXPECT_EQ(r.SenseInfoLength, 0);
        EXPECT_EQ(r.DataIn, SCSI_IOCTL_DATA_IN);
        EXPECT_EQ(r.DataTransferLength, c.transferLength);
        EXPECT_EQ(r.TimeOutValue, 10u);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(r.DataBuffer), fake.dataAddress);
        EXPECT_EQ(r.SenseInfoOffset, (sizeof(SCSI_PASS_THROUGH_DIRECT) + 7) / 8 * 8);
        EXPECT_EQ(Bytes(r.Cdb, r.Cdb + 12), c.cdb);
        EXPECT_EQ(Bytes(r.Cdb + 12, r.Cdb + 16), Bytes(4, 0));

        ASSERT_EQ(reply.size(), c.replyLength);
        EXPECT_EQ(reply.front(), 0xA0);
        EXPECT_EQ(reply.back(), static_cast<uint8_t>(0xA0 + c.replyLength - 1));
    }
}

TEST_F(PassThroughPortTest, NoDataPhaseSendsNoBuffer) {
    ASSERT_TRUE(ReadChipInfo(port, disk, {}));
    EXPECT_EQ(fake.request.DataTransferLength, 0u);
    EXPECT_EQ(fake.request.DataBuffer, nullptr);
}

TEST_F(PassThroughPortTest, FailuresCollapseIntoFalse) {
    const struct {
        const char* name;
        BOOL result;
        DWORD lastError;
        uint8_t scsiStatus;
    } cases[] = {
        {"call fails", FALSE, ERROR_IO_DEVICE, 0},
        {"call fails without an error code", FALSE, ERROR_SUCCESS, 0},
        {"call succeeds with an error code", TRUE, ERROR_SEM_TIMEOUT, 0},
        {"CHECK CONDITION", TRUE, ERROR_SUCCESS, 0x02},
        {"BUSY", TRUE, ERROR_SUCCESS, 0x08},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake.result = c.result;
        fake.lastError = c.lastError;
        fake.scsiStatus = c.scsiStatus;
        fake.writes = 2;
        Bytes reply(16, 0xCC);
        EXPECT_FALSE(ReadChipInfo(port, disk, reply));
        // The reply is handed back whatever the outcome, zero where nothing was written.
        EXPECT_EQ(reply[0], 0xA0);
        EXPECT_EQ(reply[1], 0xA1);
        EXPECT_EQ(reply[2], 0);
    }
}

TEST_F(PassThroughPortTest, ShortReplyLeavesZerosAndStillSucceeds) {
    fake.writes = 3;
    Bytes reply(40, 0xCC);
    ASSERT_TRUE(ReadInquiry(port, disk, reply));
    Bytes expected(40, 0);
    expected[0] = 0xA0;
    expected[1] = 0xA1;
    expected[2] = 0xA2;
    EXPECT_EQ(reply, expected);
}

TEST_F(PassThroughPortTest, OpenFailureSendsNothing) {
    Bytes reply(40, 0xCC);
    EXPECT_FALSE(ReadInquiry(port, win::WideToAnsi(dir / L"missing"), reply));
    EXPECT_EQ(fake.calls, 0);
}

// The error code is read right after the call; one left over from earlier work must not turn
// a good command into a failure.
TEST_F(PassThroughPortTest, StaleLastErrorDoesNotFailAGoodCommand) {
    Bytes reply(2);
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(ReadGpioWord(port, disk, std::span<uint8_t, 2>(reply.data(), 2)));
}

// Opened for reading and writing, shared for both: so another reader-writer may hold the disk,
// and a holder that refuses either kind of sharing keeps us out.
TEST_F(PassThroughPortTest, OpensForReadWriteSharedForReadWrite) {
    const struct {
        DWORD share;
        bool opens;
    } cases[] = {
        {FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {FILE_SHARE_READ, false},
        {FILE_SHARE_WRITE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.share);
        win::FileHandle holder(::CreateFileW(diskFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                             c.share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.Valid());
        fake.calls = 0;
        Bytes reply(2);
        EXPECT_EQ(ReadGpioWord(port, disk, std::span<uint8_t, 2>(reply.data(), 2)), c.opens);
        EXPECT_EQ(fake.calls, c.opens ? 1 : 0);
    }
}

TEST_F(PassThroughPortTest, DeviceIsOpenOnlyDuringEachCommand) {
    auto exclusiveOpen = [&] {
        return win::FileHandle(::CreateFileW(diskFile.c_str(), GENERIC_READ, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr))
            .Valid();
    };
    int openDuringCall = 0;
    fake.whileOpen = [&] { openDuringCall += exclusiveOpen() ? 0 : 1; };
    Bytes reply(40);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ReadInquiry(port, disk, reply));
        EXPECT_TRUE(exclusiveOpen()) << "handle left open after command " << i;
    }
    EXPECT_EQ(openDuringCall, 3);
}

// With the real device-control call, something that is not a disk refuses the request.
TEST_F(PassThroughPortTest, RealCallOnAPlainFileFails) {
    win::PassThroughPort real;
    Bytes reply(40, 0xCC);
    EXPECT_FALSE(ReadInquiry(real, disk, reply));
    EXPECT_EQ(reply, Bytes(40, 0));
}

} // namespace
