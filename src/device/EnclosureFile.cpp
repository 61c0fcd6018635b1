#include "device/EnclosureFile.h"

#include "device/BridgeProfile.h"

#include <charconv>

namespace snapkeep {

namespace {

// Far beyond any USB disk, and small enough that no time computed from them overflows.
constexpr int kMaxSpeedMBps = 100000;
constexpr int kMaxFileOpenMs = 60000;
// 100 TB: beyond any disk, and its bytes still fit a 64-bit count many times over.
constexpr int kMaxCapacityMB = 100'000'000;

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Blank-separated words of `text`.
std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    while (!(text = Trim(text)).empty()) {
        const size_t end = text.find_first_of(" \t");
        words.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end);
    }
    return words;
}

std::optional<int> Number(std::string_view text, int lowest, int highest) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value < lowest || value > highest)
        return std::nullopt;
    return value;
}

// Applies one `key=value` line to `entry`; a value that cannot be read changes nothing.
void ApplyLine(EnclosureEntry& entry, std::string_view key, std::string_view value) {
    if (EqualsIgnoringCase(key, "Profile")) {
        if (FindBridgeProfile(value))
            entry.profile = std::string(value);
    } else if (EqualsIgnoringCase(key, "Firmware")) {
        const std::vector<std::string_view> words = Words(value);
        std::array<uint8_t, 4> firmware{};
        if (words.size() != firmware.size())
            return;
        for (size_t i = 0; i < words.size(); ++i) {
            const std::optional<int> byte = Number(words[i], 0, 255);
            if (!byte)
                return;
            firmware[i] = static_cast<uint8_t>(*byte);
        }
        entry.firmware = firmware;
    } else if (EqualsIgnoringCase(key, "Letters")) {
        std::string letters;
        for (std::string_view word : Words(value)) {
            const char c = word.size() == 1 ? word[0] : '\0';
            if (c >= 'a' && c <= 'z')
                letters += static_cast<char>(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z')
                letters += c;
            else
                return;
        }
        entry.letters = letters;
    } else if (EqualsIgnoringCase(key, "ButtonPin")) {
        if (const std::optional<int> pin = Number(value, 0, 31))
            entry.buttonPin = *pin;
    } else if (EqualsIgnoringCase(key, "WriteMBps")) {
        if (const std::optional<int> speed = Number(value, 0, kMaxSpeedMBps))
            entry.writeMBps = *speed;
    } else if (EqualsIgnoringCase(key, "ReadMBps")) {
        if (const std::optional<int> speed = Number(value, 0, kMaxSpeedMBps))
            entry.readMBps = *speed;
    } else if (EqualsIgnoringCase(key, "FileOpenMs")) {
        if (const std::optional<int> cost = Number(value, 0, kMaxFileOpenMs))
            entry.fileOpenMs = *cost;
    } else if (EqualsIgnoringCase(key, "CapacityMB")) {
        if (const std::optional<int> size = Number(value, 0, kMaxCapacityMB))
            entry.capacityMB = *size;
    } else {
        const std::optional<int> flag = Number(value, 0, 1);
        if (!flag)
            return;
        if (EqualsIgnoringCase(key, "Attached"))
            entry.attached = *flag;
        else if (EqualsIgnoringCase(key, "ButtonActiveHigh"))
            entry.buttonActiveHigh = *flag;
        else if (EqualsIgnoringCase(key, "ButtonPressed"))
            entry.buttonPressed = *flag;
    }
}

} // namespace

std::vector<EnclosureEntry> ParseEnclosureFile(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    std::vector<EnclosureEntry> enclosures;
    bool inEnclosure = false;
    while (!bytes.empty()) {
        const size_t end = bytes.find_first_of("\r\n");
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);

        line = Trim(line.substr(0, line.find(';')));
        if (line.empty())
            continue;
        if (line.front() == '[') {
            inEnclosure = EqualsIgnoringCase(line, "[Enclosure]");
            if (inEnclosure)
                enclosures.emplace_back();
            continue;
        }
        const size_t equals = line.find('=');
        if (!inEnclosure || equals == std::string_view::npos)
            continue;
        ApplyLine(enclosures.back(), Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }
    return enclosures;
}

} // namespace snapkeep
