#include "device/SimulatedBridge.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace snapkeep {

namespace {

void PutText(std::vector<uint8_t>& data, size_t offset, std::string_view text) {
    for (size_t i = 0; i < text.size() && offset + i < data.size(); ++i)
        data[offset + i] = static_cast<uint8_t>(text[i]);
}

bool Matches(std::span<const uint8_t> block, std::initializer_list<uint8_t> prefix) {
    return block.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), block.begin());
}

} // namespace

SimulatedBridge::SimulatedBridge(BridgeProfile profile, std::string devicePath)
    : profile_(std::move(profile)), devicePath_(std::move(devicePath)),
      pinLevels_(profile_.pinLevels), vendorPage_(profile_.vendorPage) {}

bool SimulatedBridge::Execute(const std::string& devicePath, std::span<const uint8_t> commandBlock,
                              std::span<uint8_t> dataIn) {
    std::lock_guard lock(mutex_);
    if (sent_.size() == kSentCommandLimit)
        sent_.pop_front();
    sent_.push_back({devicePath, std::vector<uint8_t>(commandBlock.begin(), commandBlock.end()),
                     static_cast<uint32_t>(dataIn.size())});

    // Another path, or a detached disk: the open fails and nothing reaches a device.
    if (devicePath != devicePath_ || !profile_.attached)
        return false;

    const std::optional<std::vector<uint8_t>> reply = Answer(commandBlock);
    if (!reply) {
        lastStatus_ = kCheckCondition;
        return false;
    }
    std::copy_n(reply->begin(), std::min(reply->size(), dataIn.size()), dataIn.begin());
    lastStatus_ = profile_.scsiStatus;
    return profile_.scsiStatus == 0;
}

std::optional<std::vector<uint8_t>> SimulatedBridge::Answer(std::span<const uint8_t> b) const {
    if (b.size() != 12)
        return std::nullopt;

    if (b[0] == 0x12) {
        // INQUIRY: allocation length in bytes 3-4.
        const size_t allocation = size_t{b[3]} << 8 | b[4];
        std::vector<uint8_t> data;
        if (b[1] == 0x00 && b[2] == 0x00 && profile_.answersInquiry)
            data = InquiryData();
        else if (b[1] == 0x01 && b[2] == 0xDF && profile_.answersVendorPage)
            data = VendorPageData();
        else
            return std::nullopt;
        data.resize(std::min(data.size(), allocation));
        return data;
    }
    if (Matches(b, {0xDF, 0x10, 0x00})) {
        if (b[11] == 0xFF && b[3] == 0x00 && b[4] == 0x02 && profile_.answersGpio)
            return std::vector<uint8_t>{static_cast<uint8_t>(pinLevels_ & 0xFF),
                                        static_cast<uint8_t>(pinLevels_ >> 8)};
        if (b[11] == 0xFD && profile_.answersBridgeMemory) {
            // Memory reads back as its own address bytes: enough to tell replies apart.
            const size_t length = size_t{b[3]} << 8 | b[4];
            std::vector<uint8_t> data(length);
            for (size_t i = 0; i < length; ++i)
                data[i] = static_cast<uint8_t>(b[6] + i);
            return data;
        }
        return std::nullopt;
    }
    if (Matches(b, {0xE0, 0xF4, 0xE7}))
        return profile_.chipInfo;
    if (Matches(b, {0xFF, 0x04, 0x30, 0x08})) {
        if (!profile_.chipId)
            return std::nullopt;
        std::vector<uint8_t> data(40, 0);
        PutText(data, 0, *profile_.chipId);
        return data;
    }
    if (Matches(b, {0xB5, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x01}) && profile_.answersB5)
        return std::vector<uint8_t>(512, 0);
    return std::nullopt;
}

std::vector<uint8_t> SimulatedBridge::InquiryData() const {
    // Standard inquiry data of a direct-access disk, then the bridge's tag at byte 36.
    std::vector<uint8_t> data(40, 0);
    data[2] = 0x06; // SPC-4
    data[3] = 0x02; // response data format
    data[4] = static_cast<uint8_t>(data.size() - 5);
    PutText(data, 8, "Velmora ");
    PutText(data, 16, "Snapkeep Bridge ");
    PutText(data, 32, "0100");
    PutText(data, 36, profile_.inquiryTag.substr(0, 4));
    data.resize(std::min(data.size(), profile_.inquiryLength));
    return data;
}

std::vector<uint8_t> SimulatedBridge::VendorPageData() const {
    std::vector<uint8_t> data(21, 0);
    data[1] = 0xDF;
    data[3] = static_cast<uint8_t>(data.size() - 4);
    data[4] = vendorPage_.tag[0];
    data[5] = vendorPage_.tag[1];
    data[11] = vendorPage_.byte11;
    data[20] = vendorPage_.byte20;
    return data;
}

uint16_t SimulatedBridge::PinLevels() const {
    std::lock_guard lock(mutex_);
    return pinLevels_;
}

void SimulatedBridge::SetPinLevels(uint16_t levels) {
    std::lock_guard lock(mutex_);
    pinLevels_ = levels;
}

VendorPageFields SimulatedBridge::VendorPage() const {
    std::lock_guard lock(mutex_);
    return vendorPage_;
}

void SimulatedBridge::SetVendorPage(const VendorPageFields& fields) {
    std::lock_guard lock(mutex_);
    vendorPage_ = fields;
}

std::optional<uint8_t> SimulatedBridge::LastScsiStatus() const {
    std::lock_guard lock(mutex_);
    return lastStatus_;
}

std::vector<SentCommand> SimulatedBridge::SentCommands() const {
    std::lock_guard lock(mutex_);
    return {sent_.begin(), sent_.end()};
}

void SimulatedBridge::ClearSentCommands() {
    std::lock_guard lock(mutex_);
    sent_.clear();
}

} // namespace snapkeep
