#include "store/SettingsFile.h"

#include "store/KeyLookup.h"

namespace snapkeep {
namespace {

constexpr std::array<const char*, kFileTypeCount> kFlagKeys = {
    "AllExtChecked",  "PictureExtChecked",  "AudioExtChecked", "VideoExtChecked",
    "DataExtChecked", "CompressExtChecked", "ImageExtChecked", "OthersExtChecked"};

} // namespace

std::string EncodeSettings(const StoredSettings& settings) {
    std::string out = "[BackupFileType]\r\n";
    for (int i = 0; i < kFileTypeCount; ++i)
        out += std::string(kFlagKeys[i]) + "=" + (settings.Checked[i] ? "1" : "0") + "\r\n";
    out += "OthersExtString=" + settings.OthersExtString + "\r\n";
    out += "\r\n[LanguageType]\r\n";
    out += "Language=" + std::to_string(settings.Language) + "\r\n";
    return out;
}

StoredSettings DecodeSettings(std::string_view bytes) {
    const StoredSettings defaults;
    StoredSettings settings;
    for (int i = 0; i < kFileTypeCount; ++i) {
        const char* fallback = defaults.Checked[i] ? "1" : "0";
        settings.Checked[i] = ParseNumber(FindKeyValue(bytes, kFlagKeys[i], fallback, 8)) != 0;
    }
    settings.OthersExtString = FindKeyValueEx(bytes, "OthersExtString", "", kOthersSeparators, 128);
    settings.Language = ParseNumber(FindKeyValue(bytes, "Language", "0", 8));
    return settings;
}

} // namespace snapkeep
