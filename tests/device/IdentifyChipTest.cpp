#include "device/IdentifyChip.h"
#include "device/SimulatedBridge.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <vector>

using namespace snapkeep;

namespace {

struct Shown {
    std::string text;
    std::string caption;
};

class RecordingNotifier final : public ErrorNotifier {
public:
    std::vector<Shown> shown;
    void ShowError(std::string_view text, std::string_view caption) override {
        shown.push_back({std::string(text), std::string(caption)});
    }
};

// The commands identification may send, as the bridge must receive them.
struct Cmd {
    const char* name;
    std::vector<uint8_t> block;
    uint32_t length;
};
const Cmd kInquiry{"inquiry", {0x12, 0, 0, 0, 0x28, 0, 0, 0, 0, 0, 0, 0}, 40};
const Cmd kGpio{"gpio", {0xDF, 0x10, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0xFF}, 2};
const Cmd kChipInfo16{"chipinfo16", {0xE0, 0xF4, 0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 16};
const Cmd kChipInfo12{"chipinfo12", {0xE0, 0xF4, 0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 12};
const Cmd kChipId{"chipid", {0xFF, 0x04, 0x30, 0x08, 0, 0, 0, 0, 0, 0, 0, 0}, 40};
const Cmd kB5{"b5", {0xB5, 0, 0, 0, 0, 0x64, 0, 0, 0x01, 0, 0, 0}, 512};
const Cmd kMemory{"memory", {0xDF, 0x10, 0, 0x00, 0x04, 0xFD, 0xB0, 0, 0, 0, 0, 0xFD}, 4};

struct Road {
    std::string profile;
    ChipFamily family;
    std::vector<Cmd> commands;
    bool message = false;
};

// The code search answers the lowest family with that code; these are all its possible pairs.
const std::map<std::string, ChipFamily> kCodeSearch = {
    {"786", 1},  {"782", 2},  {"785", 3},  {"783", 5},  {"753", 6},  {"719", 7},
    {"710", 8},  {"712", 9},  {"715", 11}, {"417", 12}, {"483", 13}, {"403", 14},
    {"407", 15}, {"409", 16}, {"400", 17}, {"406", 18}, {"402", 19}, {"405", 20},
    {"401", 21}, {"404", 29}, {"485", 30}, {"493", 31}, {"433", 32}, {"781", 35}};

// What stage 2 sends after an inquiry tag gave `family`, for a bridge that refuses the
// identification string and B5 but reads chip information well.
std::vector<Cmd> AfterInquiryTag(ChipFamily family) {
    static const std::set<ChipFamily> readsId = {1, 3, 5, 7, 11, 31};
    if (readsId.count(family))
        return {kInquiry, kChipId};
    if (family == 8)
        return {kInquiry, kChipInfo12};
    if (family == 12)
        return {kInquiry, kB5, kMemory};
    return {kInquiry};
}

std::vector<Road> Roads() {
    std::vector<Road> roads;
    for (const auto& [code, family] : kCodeSearch)
        roads.push_back({"inquiry-" + code, family, AfterInquiryTag(family)});
    const std::vector<Road> others = {
        {"inquiry-716", 9, {kInquiry}},
        {"chipinfo-7A4E-91C8", 38, {kInquiry, kGpio, kChipInfo16}},
        {"chipinfo-753", 6, {kInquiry, kGpio, kChipInfo16}},
        {"chipinfo-716", 9, {kInquiry, kGpio, kChipInfo16}},
        {"chipinfo-unknown", 0, {kInquiry, kGpio, kChipInfo16, kChipId}},
        {"chipinfo-refused", 0, {kInquiry, kGpio, kChipInfo16, kChipId}},
        {"gpio-family-34", 34, {kInquiry, kGpio, kChipInfo16}},
        {"gpio-family-35", 35, {kInquiry, kGpio, kChipInfo16}},
        {"gpio-family-36", 36, {kInquiry, kGpio, kChipInfo16}},
        {"gpio-family-37", 37, {kInquiry, kGpio, kChipInfo16}},
        {"chipid-q786K", 1, {kInquiry, kGpio, kChipId}},
        {"chipid-q785R6", 4, {kInquiry, kChipId}},
        {"chipid-q783K", 5, {kInquiry, kGpio, kChipId}},
        {"chipid-q783M", 33, {kInquiry, kGpio, kChipId}},
        {"chipid-q493R", 31, {kInquiry, kGpio, kChipId}},
        {"chipid-q719", 7, {kInquiry, kGpio, kChipId}},
        {"chipid-q6715", 11, {kInquiry, kGpio, kChipId}},
        {"family8-chipinfo-refused", 8, {kInquiry, kChipInfo12}, true},
        {"family8-chipinfo-malformed", 8, {kInquiry, kChipInfo12}, true},
        {"family8-chipinfo-revision", 8, {kInquiry, kChipInfo12}, true},
        {"family12-b5", 29, {kInquiry, kB5}},
        {"inquiry-only", 0, {kInquiry, kGpio, kChipId}},
        {"absent", 0, {kInquiry, kChipId}},
        {"short-reply", 0, {kInquiry, kGpio, kChipInfo16, kChipId}},
        {"scsi-status", 0, {kInquiry, kChipId}},
    };
    roads.insert(roads.end(), others.begin(), others.end());
    return roads;
}

std::string Describe(const std::vector<SentCommand>& sent) {
    std::string text;
    for (const SentCommand& c : sent) {
        char item[64];
        std::snprintf(item, sizeof item, "[%02X %02X.. /%u] ",
                      c.commandBlock.empty() ? 0 : c.commandBlock[0],
                      c.commandBlock.size() > 1 ? c.commandBlock[1] : 0, c.transferLength);
        text += item;
    }
    return text;
}

TEST(IdentifyChip, EveryProfileTakesItsRoad) {
    for (const Road& road : Roads()) {
        SCOPED_TRACE(road.profile);
        const std::optional<BridgeProfile> profile = FindBridgeProfile(road.profile);
        ASSERT_TRUE(profile.has_value());
        SimulatedBridge bridge(*profile);
        RecordingNotifier notifier;

        EXPECT_EQ(IdentifyChip(bridge, notifier, bridge.DevicePath()), road.family);

        const std::vector<SentCommand> sent = bridge.SentCommands();
        ASSERT_EQ(sent.size(), road.commands.size()) << Describe(sent);
        for (size_t i = 0; i < sent.size(); ++i) {
            SCOPED_TRACE(road.commands[i].name);
            EXPECT_EQ(sent[i].devicePath, bridge.DevicePath());
            EXPECT_EQ(sent[i].commandBlock, road.commands[i].block);
            EXPECT_EQ(sent[i].transferLength, road.commands[i].length);
        }
        if (road.message) {
            ASSERT_EQ(notifier.shown.size(), 1u);
            EXPECT_EQ(notifier.shown[0].text, "Get chip information fail !");
            EXPECT_EQ(notifier.shown[0].caption, "Error");
        } else {
            EXPECT_TRUE(notifier.shown.empty());
        }
    }
}

// The catalog is what the simulated program offers; each entry must be a tested road.
TEST(IdentifyChip, EveryCatalogProfileHasARoad) {
    std::set<std::string> tested;
    for (const Road& road : Roads())
        tested.insert(road.profile);
    for (const BridgeProfile& profile : BridgeProfiles())
        EXPECT_TRUE(tested.count(profile.name)) << profile.name;
    EXPECT_EQ(tested.size(), BridgeProfiles().size());
}

BridgeProfile Untagged(std::vector<uint8_t> chipInfo) {
    BridgeProfile p;
    p.chipInfo = std::move(chipInfo);
    return p;
}

std::vector<uint8_t> ChipInfo(std::vector<uint8_t> head, std::string model = "") {
    head.resize(16, 0);
    for (size_t i = 0; i < model.size(); ++i)
        head[8 + i] = static_cast<uint8_t>(model[i]);
    return head;
}

TEST(IdentifyChip, FinerPointsOfTheReplies) {
    struct Case {
        const char* name;
        BridgeProfile profile;
        ChipFamily family;
    };
    BridgeProfile q785Other;
    q785Other.inquiryTag = "q785";
    q785Other.chipId = "q785R5";
    BridgeProfile q785FirstStringWins;
    q785FirstStringWins.inquiryTag = "q785";
    q785FirstStringWins.chipId = "q786K";
    BridgeProfile q493Refined;
    q493Refined.inquiryTag = "q493";
    q493Refined.chipId = "q6715";
    BridgeProfile unknownTag;
    unknownTag.inquiryTag = "q999";
    unknownTag.chipInfo = ChipInfo({0xF4, 0xE7}, "4031");
    BridgeProfile otherLetter;
    otherLetter.inquiryTag = "x786";
    otherLetter.chipInfo = ChipInfo({0x55});
    otherLetter.pinLevels = 0x0040;
    BridgeProfile strapsOnly = Untagged(ChipInfo({0xF4, 0x00}));
    strapsOnly.pinLevels = 0xFF9F; // every pin high but 5 and 6
    BridgeProfile vendorOnly = Untagged(ChipInfo({0xF4, 0xE7, 0x7A, 0x4E, 0x91, 0xC9}, "4001"));
    BridgeProfile productOnly = Untagged(ChipInfo({0xF4, 0xE7, 0x17, 0x4E, 0x91, 0xC8}, "4001"));
    BridgeProfile shortModel = Untagged(ChipInfo({0xF4, 0xE7}, "78"));
    BridgeProfile cutModel = Untagged(ChipInfo({0xF4, 0xE7}, "7"));
    cutModel.chipInfo->at(10) = '6'; // "7", a zero, then "6": the text ends at the zero
    BridgeProfile idJunk;
    idJunk.answersGpio = false;
    idJunk.chipId = "q719zzzz-more";

    const Case cases[] = {
        {"q785 with another string stays 3", q785Other, 3},
        {"strings are tried in order", q785FirstStringWins, 1},
        {"family 31 is refined too", q493Refined, 11},
        {"unknown tag falls to chip information", unknownTag, 14},
        {"tag without q falls through to the straps", otherLetter, 36},
        {"straps read bits 5 and 6 only", strapsOnly, 34},
        {"vendor alone is not family 38", vendorOnly, 17},
        {"product alone is not family 38", productOnly, 17},
        {"model text shorter than a code", shortModel, 0},
        {"model text ends at a zero byte", cutModel, 0},
        {"string compared over its own length", idJunk, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedBridge bridge(c.profile);
        RecordingNotifier notifier;
        EXPECT_EQ(IdentifyChip(bridge, notifier, bridge.DevicePath()), c.family);
    }
}

TEST(IdentifyChip, AnotherPathReachesNoBridge) {
    SimulatedBridge bridge(*FindBridgeProfile("inquiry-753"));
    RecordingNotifier notifier;
    EXPECT_EQ(IdentifyChip(bridge, notifier, "\\\\?\\usbstor#other"), 0);
}

} // namespace
