#include "PeImage.h"

#include <algorithm>
#include <cstring>

namespace snapkeep::test {

namespace {

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool Has(uint64_t offset, uint64_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    uint32_t U16(uint64_t at) const { return Byte(at) | Byte(at + 1) << 8; }
    uint32_t U32(uint64_t at) const { return U16(at) | U16(at + 2) << 16; }
    // A 0-terminated name at `at`; nothing when it runs off the end.
    std::optional<std::string> Name(uint64_t at) const {
        if (!Has(at, 1))
            return std::nullopt;
        const size_t end = bytes_.find('\0', at);
        if (end == std::string::npos)
            return std::nullopt;
        return bytes_.substr(at, end - at);
    }

private:
    uint32_t Byte(uint64_t at) const { return static_cast<unsigned char>(bytes_[at]); }
    const std::string& bytes_;
};

struct Section {
    uint32_t Address, Size, Offset, RawSize;
};

} // namespace

std::optional<PeImage> ReadPeImage(const std::string& bytes) {
    const Reader file(bytes);
    if (!file.Has(0, 64) || file.U16(0) != 0x5A4D) // "MZ"
        return std::nullopt;
    const uint32_t pe = file.U32(0x3C);
    if (!file.Has(pe, 24) || file.U32(pe) != 0x00004550) // "PE\0\0"
        return std::nullopt;
    const uint32_t sectionCount = file.U16(pe + 6);
    const uint32_t optionalSize = file.U16(pe + 20);
    const uint64_t optional = pe + 24;
    if (!file.Has(optional, optionalSize) || optionalSize < 112 || file.U16(optional) != 0x20B)
        return std::nullopt; // PE32+ only: the program is 64-bit
    const uint32_t directoryCount = file.U32(optional + 108);
    auto directory = [&](uint32_t index) -> std::pair<uint32_t, uint32_t> {
        if (index >= directoryCount || 112 + (index + 1) * 8 > optionalSize)
            return {0, 0};
        return {file.U32(optional + 112 + index * 8), file.U32(optional + 112 + index * 8 + 4)};
    };

    std::vector<Section> sections;
    const uint64_t table = optional + optionalSize;
    if (!file.Has(table, uint64_t{sectionCount} * 40))
        return std::nullopt;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint64_t at = table + i * 40;
        sections.push_back(
            {file.U32(at + 12), file.U32(at + 8), file.U32(at + 20), file.U32(at + 16)});
    }
    // A relative virtual address as a file offset; nothing when no section's bytes hold it.
    auto offsetOf = [&](uint32_t rva) -> std::optional<uint64_t> {
        for (const Section& s : sections)
            if (rva >= s.Address && rva - s.Address < std::max(s.Size, s.RawSize) &&
                rva - s.Address < s.RawSize)
                return uint64_t{s.Offset} + (rva - s.Address);
        return std::nullopt;
    };
    // Descriptors of `size` bytes until an all-zero one; the DLL name's address at `nameAt`.
    auto names = [&](uint32_t rva, uint32_t size, uint32_t nameAt,
                     std::vector<std::string>& out) -> bool {
        if (rva == 0)
            return true;
        auto at = offsetOf(rva);
        for (; at; *at += size) {
            if (!file.Has(*at, size))
                return false;
            bool empty = true;
            for (uint32_t i = 0; i < size; i += 4)
                empty = empty && file.U32(*at + i) == 0;
            if (empty)
                return true;
            auto nameOffset = offsetOf(file.U32(*at + nameAt));
            auto name = nameOffset ? file.Name(*nameOffset) : std::nullopt;
            if (!name)
                return false;
            out.push_back(*name);
        }
        return false;
    };

    PeImage image;
    if (!names(directory(1).first, 20, 12, image.Imports) ||
        !names(directory(13).first, 32, 4, image.DelayImports))
        return std::nullopt;
    // The load configuration: its own size first; the dependent-load flags are the WORD at 78.
    const auto [configRva, configSize] = directory(10);
    if (configRva != 0) {
        auto at = offsetOf(configRva);
        if (!at || !file.Has(*at, 4))
            return std::nullopt;
        const uint32_t size = std::min(file.U32(*at), configSize);
        if (size >= 80 && file.Has(*at, 80))
            image.DependentLoadFlags = static_cast<uint16_t>(file.U16(*at + 78));
    }
    return image;
}

const std::vector<std::string>& KnownDlls() {
    static const std::vector<std::string> dlls = {
        "advapi32.dll", "clbcatq.dll",  "combase.dll",  "comdlg32.dll", "coml2.dll",
        "difxapi.dll",  "gdi32.dll",    "gdiplus.dll",  "imagehlp.dll", "imm32.dll",
        "kernel32.dll", "msctf.dll",    "msvcrt.dll",   "normaliz.dll", "nsi.dll",
        "ntdll.dll",    "ole32.dll",    "oleaut32.dll", "psapi.dll",    "rpcrt4.dll",
        "sechost.dll",  "setupapi.dll", "shcore.dll",   "shell32.dll",  "shlwapi.dll",
        "user32.dll",   "wldap32.dll",  "ws2_32.dll"};
    return dlls;
}

} // namespace snapkeep::test
