#include "device/BridgeProfile.h"

#include "device/ChipCodes.h"

#include <set>
#include <string>
#include <utility>

namespace snapkeep {

namespace {

constexpr std::array<uint8_t, 4> kFirmware = {1, 0, 2, 3};

// A chip-information reply that echoes F4 E7, with vendor and product identifiers, a four
// character model text (the code and a revision) and the firmware bytes.
std::vector<uint8_t> ChipInfo(std::array<uint8_t, 2> vendor, std::array<uint8_t, 2> product,
                              std::string_view model) {
    std::vector<uint8_t> reply(16, 0);
    reply[0] = 0xF4;
    reply[1] = 0xE7;
    reply[2] = vendor[0];
    reply[3] = vendor[1];
    reply[4] = product[0];
    reply[5] = product[1];
    for (size_t i = 0; i < model.size() && i < 4; ++i)
        reply[8 + i] = static_cast<uint8_t>(model[i]);
    for (size_t i = 0; i < kFirmware.size(); ++i)
        reply[12 + i] = kFirmware[i];
    return reply;
}

std::vector<uint8_t> ChipInfo(std::string_view model) {
    return ChipInfo({0x17, 0x4E}, {0x05, 0x80}, model);
}

// A bridge that carries its model code in the inquiry tag and answers the vendor reads.
BridgeProfile TaggedBridge(std::string name, std::string tag, std::string_view model) {
    BridgeProfile p;
    p.name = std::move(name);
    p.inquiryTag = std::move(tag);
    p.chipInfo = ChipInfo(model);
    return p;
}

// A bridge whose inquiry carries no tag: identification reads the pin word and chip information.
BridgeProfile UntaggedBridge(std::string name, std::optional<std::vector<uint8_t>> chipInfo) {
    BridgeProfile p;
    p.name = std::move(name);
    p.chipInfo = std::move(chipInfo);
    return p;
}

// Stage 1 finds nothing (no tag, pin word refused), so only the identification string tells.
BridgeProfile ChipIdBridge(std::string text) {
    BridgeProfile p;
    p.name = "chipid-" + text;
    p.answersGpio = false;
    p.chipId = std::move(text);
    return p;
}

std::vector<BridgeProfile> MakeCatalog() {
    std::vector<BridgeProfile> all;

    // One profile per distinct model code, named after the code the inquiry tag carries.
    std::set<std::string_view> codes;
    for (ChipFamily family = 1; family <= kHighestFamily; ++family) {
        const std::string_view code = ChipCode(family);
        if (codes.insert(code).second)
            all.push_back(TaggedBridge("inquiry-" + std::string(code), "q" + std::string(code),
                                       std::string(code) + "1"));
    }
    all.push_back(TaggedBridge("inquiry-716", "q716", "7161"));

    all.push_back(UntaggedBridge("chipinfo-7A4E-91C8", ChipInfo({0x7A, 0x4E}, {0x91, 0xC8}, "")));
    all.push_back(UntaggedBridge("chipinfo-753", ChipInfo("7531")));
    all.push_back(UntaggedBridge("chipinfo-716", ChipInfo("716A")));
    all.push_back(UntaggedBridge("chipinfo-unknown", ChipInfo("9991")));
    all.push_back(UntaggedBridge("chipinfo-refused", std::nullopt));

    // Chips that do not echo F4 E7 and strap their series on pins 5 and 6.
    for (uint16_t straps = 0; straps < 4; ++straps) {
        BridgeProfile p = UntaggedBridge("gpio-family-" + std::to_string(34 + straps),
                                         std::vector<uint8_t>(16, 0x5A));
        p.pinLevels = static_cast<uint16_t>(0x0200 | straps << 5);
        all.push_back(std::move(p));
    }

    for (const ChipIdString& id : ChipIdStrings()) {
        if (id.text == "q785R6") {
            // The q785 tag alone gives family 3; only this string makes it family 4.
            BridgeProfile p = TaggedBridge("chipid-q785R6", "q785", "7851");
            p.chipId = std::string(id.text);
            all.push_back(std::move(p));
        } else {
            all.push_back(ChipIdBridge(std::string(id.text)));
        }
    }

    BridgeProfile refused = TaggedBridge("family8-chipinfo-refused", "q710", "");
    refused.chipInfo.reset();
    all.push_back(std::move(refused));
    BridgeProfile malformed = TaggedBridge("family8-chipinfo-malformed", "q710", "");
    malformed.chipInfo = std::vector<uint8_t>(16, 0x5A);
    all.push_back(std::move(malformed));
    all.push_back(TaggedBridge("family8-chipinfo-revision", "q710", "7103"));

    BridgeProfile b5 = TaggedBridge("family12-b5", "q417", "4171");
    b5.answersB5 = true;
    all.push_back(std::move(b5));

    // A plain disk: standard inquiry without a tag, every vendor command refused.
    BridgeProfile plain;
    plain.name = "inquiry-only";
    plain.answersVendorPage = false;
    plain.answersGpio = false;
    plain.answersBridgeMemory = false;
    all.push_back(std::move(plain));

    BridgeProfile absent;
    absent.name = "absent";
    absent.attached = false;
    all.push_back(std::move(absent));

    // The inquiry stops before the tag and chip information after its echo: the rest is zero.
    BridgeProfile shortReply = UntaggedBridge("short-reply", std::vector<uint8_t>{0xF4, 0xE7});
    shortReply.inquiryTag = "q786";
    shortReply.inquiryLength = 36;
    all.push_back(std::move(shortReply));

    // Every command carries the data of a good bridge but ends in CHECK CONDITION.
    BridgeProfile checkCondition = TaggedBridge("scsi-status", "q786", "7861");
    checkCondition.chipId = "q786K";
    checkCondition.scsiStatus = 0x02;
    all.push_back(std::move(checkCondition));

    return all;
}

} // namespace

std::span<const BridgeProfile> BridgeProfiles() {
    static const std::vector<BridgeProfile> catalog = MakeCatalog();
    return catalog;
}

std::optional<BridgeProfile> FindBridgeProfile(std::string_view name) {
    for (const BridgeProfile& profile : BridgeProfiles())
        if (profile.name == name)
            return profile;
    return std::nullopt;
}

} // namespace snapkeep
