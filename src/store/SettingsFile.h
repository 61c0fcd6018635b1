#pragma once
// The byte format of "SnapData\Setting.txt": 8-bit text, CR LF line ends, the eight file-type
// flags, the Others extension text and the language index. Values are found by key anywhere in
// the file, so the section lines and the blank line are written but never read.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace snapkeep {

// The eight file-type boxes of the settings page, in the order they are stored and loaded.
enum class FileType : int { All, Picture, Audio, Video, Data, Compress, Image, Others };
inline constexpr int kFileTypeCount = 8;

struct StoredSettings {
    std::array<bool, kFileTypeCount> Checked{true, false, false, false, false, false, false, false};
    std::string OthersExtString; // 8-bit, system code page
    int32_t Language = 0;        // -1: no language selected
};

std::string EncodeSettings(const StoredSettings& settings);

// Each key absent or rejected by the lookup takes its default.
StoredSettings DecodeSettings(std::string_view bytes);

} // namespace snapkeep
