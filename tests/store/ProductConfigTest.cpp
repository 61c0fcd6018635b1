#include "store/ProductConfig.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace snapkeep;

namespace {

// The stored form of a clear text, padded with zeros to whole 32-byte blocks as qconfig does.
std::string Scramble(std::string clear) {
    clear.resize((clear.size() + 31) / 32 * 32, '\0');
    std::string out(clear.size(), '\0');
    DescrambleConfig(reinterpret_cast<const uint8_t*>(clear.data()),
                     reinterpret_cast<uint8_t*>(out.data()), clear.size());
    return out;
}

// The first key word comes straight from the seed through the bit map, so it pins the map's
// direction; the second pins the direction of the register's shift.
TEST(DescrambleConfig, KeyStreamOfTheFirstTwoWords) {
    const std::vector<uint8_t> zeros(8, 0);
    std::vector<uint8_t> key(8, 0);
    DescrambleConfig(zeros.data(), key.data(), 8);
    uint32_t seed = 0x4D37584B;
    const int map[32] = {11, 31, 13, 21, 7,  16, 0,  19, 4,  26, 6,  15, 24, 2,  14, 28,
                         12, 5,  20, 10, 22, 1,  17, 9,  29, 3,  25, 8,  18, 23, 30, 27};
    uint32_t expected0 = 0;
    for (int k = 0; k < 32; ++k)
        expected0 |= ((seed >> map[k]) & 1u) << k;
    const uint32_t word0 = key[0] | key[1] << 8 | key[2] << 16 | uint32_t(key[3]) << 24;
    EXPECT_EQ(word0, expected0);

    // After 32 steps, new bit 0 is the XOR of old bits 0, 6, 9, 10, 12, 16, 24, 25, 26, 28, 29,
    // 30, 31 and new bit 31 that of 5, 8, 9, 11, 15, 23, 24, 25, 27, 28, 29, 30, 31. Bit 0 of the
    // state is key bit 6 and bit 31 is key bit 1.
    auto parity = [&](std::initializer_list<int> bits) {
        uint32_t p = 0;
        for (int b : bits)
            p ^= (seed >> b) & 1u;
        return p;
    };
    const uint32_t word1 = key[4] | key[5] << 8 | key[6] << 16 | uint32_t(key[7]) << 24;
    EXPECT_EQ((word1 >> 6) & 1u, parity({0, 6, 9, 10, 12, 16, 24, 25, 26, 28, 29, 30, 31}));
    EXPECT_EQ((word1 >> 1) & 1u, parity({5, 8, 9, 11, 15, 23, 24, 25, 27, 28, 29, 30, 31}));
}

TEST(DescrambleConfig, RoundTripsAndLeavesAPartialWordAlone) {
    const std::string clear = "Model=ALL\r\nFwVer0=1\r\nxy"; // 5 whole words and 3 bytes
    ASSERT_EQ(clear.size() % 4, 3u);
    std::string stored(clear.size(), '\0');
    DescrambleConfig(reinterpret_cast<const uint8_t*>(clear.data()),
                     reinterpret_cast<uint8_t*>(stored.data()), clear.size());
    std::string back(clear.size(), '\0');
    DescrambleConfig(reinterpret_cast<const uint8_t*>(stored.data()),
                     reinterpret_cast<uint8_t*>(back.data()), stored.size());
    const size_t whole = clear.size() / 4 * 4;
    EXPECT_NE(stored.substr(0, 8), clear.substr(0, 8));
    EXPECT_EQ(back.substr(0, whole), clear.substr(0, whole));
    // The last three bytes are not a whole word: the destination keeps what it had.
    EXPECT_EQ(stored.substr(whole), std::string(3, '\0'));
}

TEST(ProductConfig, MissingOrEmptyFileGivesDefaults) {
    for (const std::optional<std::string>& stored :
         {std::optional<std::string>{}, std::optional<std::string>{std::string{}}}) {
        const ProductConfig c = ParseProductConfig(stored);
        EXPECT_EQ(c.Model, "NO");
        EXPECT_EQ(c.FwVer0 + c.FwVer1 + c.FwVer2 + c.FwVer3 + c.FwVer4, "#####");
        EXPECT_EQ(c.BtnGpioNumber, 9);
        EXPECT_EQ(c.BtnGpioHighActive, 0);
        EXPECT_EQ(c.BtnGpioVisitGapMilSec, 300);
        EXPECT_EQ(c.MainFormCaption, "Velmora Snapkeep");
    }
}

TEST(ProductConfig, ReadsEveryKeyFromTheScrambledForm) {
    const ProductConfig c = ParseProductConfig(
        Scramble("model=all\r\nFwVer0=01\r\nFwVer1=#\r\nFwVer2=0#\r\nFwVer3=1##\r\nFwVer4=0\r\n"
                 "BtnGpioNumber=5\r\nBtnGpioHighActive=1\r\nBtnGpioVisitGapMilSec=12345678\r\n"
                 "MainFormCaption=My Backup Tool\r\n"));
    EXPECT_EQ(c.Model, "ALL");
    EXPECT_EQ(c.FwVer0, "01");
    EXPECT_EQ(c.FwVer2, "0#");
    EXPECT_EQ(c.FwVer3, "1##");
    EXPECT_EQ(c.FwVer4, "0");
    EXPECT_EQ(c.BtnGpioNumber, 5);
    EXPECT_EQ(c.BtnGpioHighActive, 1);
    EXPECT_EQ(c.BtnGpioVisitGapMilSec, 300) << "eight digits are too long: the default stands";
    EXPECT_EQ(c.MainFormCaption, "My Backup Tool");
}

TEST(ProductConfig, LengthRoundsUpToWholeBlocksWithZeros) {
    // 33 stored bytes are read as 64, bytes 33 to 63 being zero before descrambling: the same
    // as a file that holds those zeros.
    const std::string stored = Scramble("Model=ALL\r\nMainFormCaption=Capss\n").substr(0, 33);
    ASSERT_EQ(stored.size(), 33u);
    const ProductConfig a = ParseProductConfig(stored);
    const ProductConfig b = ParseProductConfig(stored + std::string(31, '\0'));
    EXPECT_EQ(a.Model, "ALL");
    EXPECT_EQ(a.MainFormCaption, b.MainFormCaption);
    EXPECT_EQ(a.MainFormCaption, "Capss");
}

TEST(ProductConfig, RejectedValuesTakeDefaults) {
    EXPECT_EQ(ParseProductConfig(Scramble("MainFormCaption=" + std::string(64, 'c') + "\n"))
                  .MainFormCaption,
              "Velmora Snapkeep");
    EXPECT_EQ(ParseProductConfig(Scramble("MainFormCaption=(x)\n")).MainFormCaption,
              "Velmora Snapkeep");
    EXPECT_EQ(ParseProductConfig(Scramble("BtnGpioNumber=abc\n")).BtnGpioNumber, 0);
    // A clear-text file is not scrambled: it descrambles to noise and nothing is found.
    EXPECT_EQ(ParseProductConfig(std::string("Model=ALL\r\n")).Model, "NO");
}

} // namespace

namespace {

TEST(ProductConfig, ModelIsUpperCasedByTheGivenRule) {
    std::string clear = "Model=q716\r\n";
    clear.resize(32, '\0');
    std::string stored(32, '\0');
    DescrambleConfig(reinterpret_cast<const uint8_t*>(clear.data()),
                     reinterpret_cast<uint8_t*>(stored.data()), 32);
    EXPECT_EQ(ParseProductConfig(stored).Model, "Q716");
    EXPECT_EQ(ParseProductConfig(stored, [](std::string& s) { s = "<" + s + ">"; }).Model,
              "<q716>");
}

} // namespace
