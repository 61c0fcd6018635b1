#include "device/BridgeCommands.h"
#include "device/SendBridgeCommand.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace snapkeep;

namespace {

// Records what reaches the port and answers with a recognisable pattern: the first `writes`
// bytes of the data-in buffer become 0xA0, 0xA1, ...
class RecordingPort final : public BridgePort {
public:
    size_t writes = SIZE_MAX;
    bool answer = true;
    std::vector<uint8_t> block;
    size_t transferLength = 0;
    int calls = 0;

    bool Execute(const std::string&, std::span<const uint8_t> commandBlock,
                 std::span<uint8_t> dataIn) override {
        ++calls;
        block.assign(commandBlock.begin(), commandBlock.end());
        transferLength = dataIn.size();
        for (size_t i = 0; i < dataIn.size() && i < writes; ++i)
            dataIn[i] = static_cast<uint8_t>(0xA0 + i);
        return answer;
    }
};

using Bytes = std::vector<uint8_t>;

struct BuilderCase {
    const char* name;
    std::function<bool(BridgePort&, std::vector<uint8_t>&)> send;
    Bytes block;
    size_t transferLength;
};

TEST(BridgeCommands, EachBuilderSendsItsBlockAndLength) {
    const std::string path = "disk";
    const BuilderCase cases[] = {
        {"ReadInquiry 40",
         [&](BridgePort& p, Bytes& r) {
             r.resize(40);
             return ReadInquiry(p, path, r);
         },
         {0x12, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0},
         40},
        {"ReadVendorPage 21",
         [&](BridgePort& p, Bytes& r) {
             r.resize(21);
             return ReadVendorPage(p, path, r);
         },
         {0x12, 0x01, 0xDF, 0, 21, 0, 0, 0, 0, 0, 0, 0},
         21},
        {"ReadGpioWord",
         [&](BridgePort& p, Bytes& r) {
             r.resize(2);
             return ReadGpioWord(p, path, std::span<uint8_t, 2>(r.data(), 2));
         },
         {0xDF, 0x10, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0xFF},
         2},
        {"ReadBridgeMemory FDB0 4",
         [&](BridgePort& p, Bytes& r) {
             r.resize(4);
             return ReadBridgeMemory(p, path, 0xFDB0, r);
         },
         {0xDF, 0x10, 0, 0x00, 0x04, 0xFD, 0xB0, 0, 0, 0, 0, 0xFD},
         4},
        {"ReadBridgeMemory 1234 0x0102",
         [&](BridgePort& p, Bytes& r) {
             r.resize(0x102);
             return ReadBridgeMemory(p, path, 0x1234, r);
         },
         {0xDF, 0x10, 0, 0x01, 0x02, 0x12, 0x34, 0, 0, 0, 0, 0xFD},
         0x102},
        {"ReadChipInfo 16",
         [&](BridgePort& p, Bytes& r) {
             r.resize(16);
             return ReadChipInfo(p, path, r);
         },
         {0xE0, 0xF4, 0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         16},
        {"ReadChipInfo 12",
         [&](BridgePort& p, Bytes& r) {
             r.resize(12);
             return ReadChipInfo(p, path, r);
         },
         {0xE0, 0xF4, 0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         12},
        {"ReadChipId 40",
         [&](BridgePort& p, Bytes& r) {
             r.resize(40);
             return ReadChipId(p, path, r);
         },
         {0xFF, 0x04, 0x30, 0x08, 0, 0, 0, 0, 0, 0, 0, 0},
         40},
        {"ReadChipId 8",
         [&](BridgePort& p, Bytes& r) {
             r.resize(8);
             return ReadChipId(p, path, r);
         },
         {0xFF, 0x04, 0x30, 0x08, 0, 0, 0, 0, 0, 0, 0, 0},
         8},
        {"ReadB5Block",
         [&](BridgePort& p, Bytes& r) {
             r.resize(512);
             return ReadB5Block(p, path, std::span<uint8_t, 512>(r.data(), 512));
         },
         {0xB5, 0, 0, 0, 0, 0x64, 0, 0, 0x01, 0, 0, 0},
         512},
    };
    for (const BuilderCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPort port;
        Bytes reply;
        EXPECT_TRUE(c.send(port, reply));
        EXPECT_EQ(port.block, c.block);
        EXPECT_EQ(port.transferLength, c.transferLength);
        ASSERT_EQ(reply.size(), c.transferLength);
        EXPECT_EQ(reply.front(), 0xA0);
        EXPECT_EQ(reply.back(), static_cast<uint8_t>(0xA0 + reply.size() - 1));

        port.answer = false;
        EXPECT_FALSE(c.send(port, reply));
    }
}

TEST(SendBridgeCommand, OneByteGoesOutAsTwoAndOnlyTheFirstComesBack) {
    RecordingPort port;
    uint8_t reply[2] = {0xCC, 0xCC};
    ASSERT_TRUE(ReadInquiry(port, "disk", std::span<uint8_t>(reply, 1)));
    EXPECT_EQ(port.block[4], 1); // the allocation length still says one byte
    EXPECT_EQ(port.transferLength, 2u);
    EXPECT_EQ(reply[0], 0xA0);
    EXPECT_EQ(reply[1], 0xCC); // the caller's second byte is not touched
}

TEST(SendBridgeCommand, BytesTheDeviceDidNotWriteReadAsZero) {
    RecordingPort port;
    port.writes = 3;
    std::vector<uint8_t> reply(16, 0xCC);
    ASSERT_TRUE(ReadChipInfo(port, "disk", reply));
    EXPECT_EQ(reply,
              (std::vector<uint8_t>{0xA0, 0xA1, 0xA2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // A failed command hands back what was written too, and zeros for the rest.
    port.answer = false;
    port.writes = 1;
    std::fill(reply.begin(), reply.end(), 0xCC);
    EXPECT_FALSE(ReadChipInfo(port, "disk", reply));
    EXPECT_EQ(reply[0], 0xA0);
    EXPECT_EQ(reply[1], 0);
    EXPECT_EQ(reply[15], 0);
}

TEST(SendBridgeCommand, ZeroLengthSendsNoDataPhase) {
    RecordingPort port;
    EXPECT_TRUE(ReadChipInfo(port, "disk", {}));
    EXPECT_EQ(port.transferLength, 0u);
}

TEST(SendBridgeCommand, RefusesBlocksThatDoNotFitARequest) {
    RecordingPort port;
    uint8_t reply[4] = {0xCC, 0xCC, 0xCC, 0xCC};
    const std::vector<uint8_t> tooLong(17, 0x12);
    EXPECT_FALSE(SendBridgeCommand(port, "disk", tooLong, reply));
    EXPECT_FALSE(SendBridgeCommand(port, "disk", {}, reply));
    EXPECT_EQ(port.calls, 0);
    EXPECT_EQ(reply[0], 0); // nothing stale is left for a careless caller
}

TEST(BridgeCommands, LengthsBeyondTheBlockFieldsAreRefusedUnsent) {
    RecordingPort port;
    std::vector<uint8_t> reply(256);
    EXPECT_FALSE(ReadInquiry(port, "disk", reply));
    EXPECT_FALSE(ReadVendorPage(port, "disk", reply));
    reply.resize(0x10000);
    EXPECT_FALSE(ReadBridgeMemory(port, "disk", 0, reply));
    EXPECT_EQ(port.calls, 0);
}

TEST(BridgeCommands, ChipIdShorterThanEightBytesIsAProgrammingError) {
    RecordingPort port;
    std::vector<uint8_t> reply(7);
#ifdef NDEBUG
    EXPECT_FALSE(ReadChipId(port, "disk", reply));
    EXPECT_EQ(port.calls, 0);
#else
    EXPECT_DEATH(ReadChipId(port, "disk", reply), "length >= 0x08");
#endif
}

} // namespace
