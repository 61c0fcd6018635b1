// The shipped sample configuration is the scrambled form of its clear text, and reads as the
// program's defaults with every bridge model accepted.
#include "store/ProductConfig.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace snapkeep;

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(QconfigSample, ScrambledFormOfTheClearText) {
    const std::string clear = Read(SNAPKEEP_SOURCE_DIR "/tools/qconfig/qconfig-sample.txt");
    const std::string stored = Read(SNAPKEEP_SOURCE_DIR "/data/SnapData/qconfig.inis");
    ASSERT_FALSE(clear.empty());
    ASSERT_EQ(stored.size() % 32, 0u);
    std::string back(stored.size(), '\0');
    DescrambleConfig(reinterpret_cast<const uint8_t*>(stored.data()),
                     reinterpret_cast<uint8_t*>(back.data()), stored.size());
    EXPECT_EQ(back.substr(0, back.find('\0')), clear);

    const ProductConfig config = ParseProductConfig(stored);
    EXPECT_EQ(config.Model, "ALL");
    EXPECT_EQ(config.MainFormCaption, "Velmora Snapkeep");
    EXPECT_EQ(config.BtnGpioNumber, 9);
    EXPECT_EQ(config.BtnGpioHighActive, 0);
    EXPECT_EQ(config.BtnGpioVisitGapMilSec, 300);
    EXPECT_EQ(config.FwVer0 + config.FwVer4, "##");
}

} // namespace
