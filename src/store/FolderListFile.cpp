#include "store/FolderListFile.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace snapkeep {
namespace {

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<uint8_t>(bytes[i]);
        const auto b1 = static_cast<uint8_t>(bytes[i + 1]);
        out.push_back(bigEndian ? char16_t(b0 << 8 | b1) : char16_t(b1 << 8 | b0));
    }
    return out;
}

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD and decoding goes on.
std::u16string DecodeUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<uint8_t>(bytes[i]);
        int extra = 0;
        uint32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        bool ok = i + static_cast<size_t>(extra) < bytes.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto cont = static_cast<uint8_t>(bytes[i + k]);
            if ((cont & 0xC0) != 0x80)
                ok = false;
            else
                cp = cp << 6 | (cont & 0x3F);
        }
        static constexpr uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += 1 + extra;
    }
    return out;
}

// Strict integer conversion: optional sign, at least one decimal digit, nothing else, within
// the 32-bit range.
std::optional<int32_t> StrictInteger(std::u16string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i == text.size())
        return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
        value = value * 10 + (text[i] - u'0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

// The text of a line for an error message, as 8-bit text (non-ASCII shown as '?').
std::string Printable(std::u16string_view text) {
    std::string out;
    for (char16_t c : text.substr(0, 64))
        out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    return out;
}

void AppendUtf16Le(std::string& out, std::u16string_view text) {
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
}

} // namespace

std::string EncodeFolderList(const std::vector<FolderRow>& rows) {
    std::string out("\xFF\xFE", 2);
    for (const FolderRow& row : rows) {
        AppendUtf16Le(out, row.Checked ? u"1\n" : u"0\n");
        AppendUtf16Le(out, row.Path);
        AppendUtf16Le(out, u"\n");
    }
    return out;
}

std::vector<std::u16string> SplitListLines(std::u16string_view text) {
    const size_t nul = text.find(u'\0');
    if (nul != std::u16string_view::npos)
        text = text.substr(0, nul);
    std::vector<std::u16string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n' || c == u'\u2028') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

FolderListResult DecodeFolderList(std::string_view bytes, const CodePageDecoder& decodeCodePage) {
    std::u16string text;
    if (bytes.starts_with("\xFF\xFE"))
        text = DecodeUtf16(bytes.substr(2), false);
    else if (bytes.starts_with("\xFE\xFF"))
        text = DecodeUtf16(bytes.substr(2), true);
    else if (bytes.starts_with("\xEF\xBB\xBF"))
        text = DecodeUtf8(bytes.substr(3));
    else
        text = decodeCodePage(bytes);

    const std::vector<std::u16string> lines = SplitListLines(text);
    FolderListResult result;
    for (size_t k = 0; 2 * k < lines.size(); ++k) {
        const std::optional<int32_t> flag = StrictInteger(lines[2 * k]);
        if (!flag) {
            // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "'" + std::string.
            result.Error.assign(1, '\'');
            result.Error += Printable(lines[2 * k]);
            result.Error += "' is not a valid integer value";
            result.Rows.clear();
            return result;
        }
        if (2 * k + 1 >= lines.size()) {
            result.Error = "List index out of bounds (" + std::to_string(2 * k + 1) + ")";
            result.Rows.clear();
            return result;
        }
        result.Rows.push_back(FolderRow{*flag != 0, lines[2 * k + 1]});
    }
    result.Ok = true;
    return result;
}

} // namespace snapkeep
