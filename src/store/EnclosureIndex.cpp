#include "store/EnclosureIndex.h"

#include <array>
#include <cstdint>

namespace snapkeep {

namespace {

constexpr std::u16string_view kBackupFolder = u"Backup\\";
constexpr char16_t kFieldSeparator = u'\t';
constexpr std::size_t kFieldCount = 5;
// No path the program can walk is longer than this (the extended-length limit).
constexpr std::size_t kLongestPath = 32767;

char16_t UpperAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool HasControlCharacter(std::u16string_view text) {
    for (const char16_t c : text)
        if (c < 0x20)
            return true;
    return false;
}

// A folder name as Windows stores it: none of the reserved characters, not "." or "..".
bool IsPlainName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..")
        return false;
    for (const char16_t c : name)
        if (c < 0x20 || std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos)
            return false;
    return true;
}

bool IsDriveFolder(std::u16string_view name) {
    if (name.size() == 1)
        return UpperAscii(name[0]) >= u'A' && UpperAscii(name[0]) <= u'Z';
    return SameFolderAscii(name, u"UNC");
}

void AppendUtf16Le(std::string& out, std::u16string_view text) {
    for (const char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
}

std::vector<std::u16string_view> SplitFields(std::u16string_view line) {
    std::vector<std::u16string_view> fields;
    for (;;) {
        const size_t tab = line.find(kFieldSeparator);
        fields.push_back(line.substr(0, tab));
        if (tab == std::u16string_view::npos || fields.size() > kFieldCount)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

} // namespace

bool SameFolderAscii(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    return true;
}

bool IsBackupFolderPath(std::u16string_view folder) {
    if (folder.size() > kLongestPath || folder.size() < kBackupFolder.size() ||
        !SameFolderAscii(folder.substr(0, kBackupFolder.size()), kBackupFolder) ||
        folder.back() != u'\\')
        return false;
    std::u16string_view rest = folder.substr(kBackupFolder.size());
    bool first = true;
    while (!rest.empty()) {
        const size_t slash = rest.find(u'\\');
        const std::u16string_view name = rest.substr(0, slash);
        if (!IsPlainName(name) || (first && !IsDriveFolder(name)))
            return false;
        first = false;
        rest.remove_prefix(slash + 1);
    }
    return !first; // at least the drive-letter folder
}

bool IsIndexTime(std::u16string_view time) {
    // 2026-12-11T03:20:00Z
    constexpr std::u16string_view kShape = u"dddd-dd-ddTdd:dd:ddZ";
    if (time.size() != kShape.size())
        return false;
    for (size_t i = 0; i < kShape.size(); ++i) {
        if (kShape[i] == u'd' ? (time[i] < u'0' || time[i] > u'9') : time[i] != kShape[i])
            return false;
    }
    return true;
}

std::string EncodeEnclosureIndex(const std::vector<IndexEntry>& entries) {
    std::string out = "\xFF\xFE";
    AppendUtf16Le(out, kEnclosureIndexHeader);
    AppendUtf16Le(out, u"\r\n");
    for (const IndexEntry& entry : entries) {
        for (const std::u16string* field :
             {&entry.folder, &entry.host, &entry.computer, &entry.began, &entry.ended}) {
            if (field != &entry.folder)
                AppendUtf16Le(out, u"\t");
            AppendUtf16Le(out, *field);
        }
        AppendUtf16Le(out, u"\r\n");
    }
    return out;
}

std::optional<std::vector<IndexEntry>> DecodeEnclosureIndex(std::string_view bytes) {
    if (bytes.size() > kEnclosureIndexLimitBytes || bytes.size() % 2 != 0 ||
        !bytes.starts_with("\xFF\xFE"))
        return std::nullopt;
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                             static_cast<uint8_t>(bytes[i + 1]) << 8));
    // Every line ends with CR LF, the last one too: a file cut short by a crash or a bad copy
    // ends inside a line and is refused, instead of giving a half entry.
    std::vector<IndexEntry> entries;
    std::u16string_view rest = text;
    bool header = true;
    while (!rest.empty()) {
        const size_t end = rest.find(u"\r\n");
        if (end == std::u16string_view::npos)
            return std::nullopt;
        const std::u16string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 2);
        if (header) {
            if (line != kEnclosureIndexHeader)
                return std::nullopt;
            header = false;
            continue;
        }
        const std::vector<std::u16string_view> fields = SplitFields(line);
        if (fields.size() != kFieldCount)
            return std::nullopt;
        IndexEntry entry{std::u16string(fields[0]), std::u16string(fields[1]),
                         std::u16string(fields[2]), std::u16string(fields[3]),
                         std::u16string(fields[4])};
        if (!IsBackupFolderPath(entry.folder) || entry.host.empty() ||
            entry.host.size() > kLongestPath || HasControlCharacter(entry.host) ||
            HasControlCharacter(entry.computer) ||
            (!entry.began.empty() && !IsIndexTime(entry.began)) ||
            (!entry.ended.empty() && !IsIndexTime(entry.ended)))
            return std::nullopt;
        entries.push_back(std::move(entry));
    }
    if (header)
        return std::nullopt;
    return entries;
}

void PutIndexEntry(std::vector<IndexEntry>& entries, IndexEntry entry, FolderNameRule same) {
    for (IndexEntry& known : entries) {
        if (same(known.folder, entry.folder)) {
            known = std::move(entry);
            return;
        }
    }
    entries.push_back(std::move(entry));
}

std::optional<std::u16string> RowBelowRoot(std::u16string_view row) {
    const bool letter = row.size() > 3 &&
                        ((row[0] >= u'A' && row[0] <= u'Z') || (row[0] >= u'a' && row[0] <= u'z'));
    if (!letter || row[1] != u':' || row[2] != u'\\')
        return std::nullopt;
    std::u16string below(row.substr(3));
    if (below.back() != u'\\')
        below += u'\\';
    if (!IsBackupFolderPath(below))
        return std::nullopt;
    return below;
}

std::vector<IndexEntry> SeedIndexEntries(const std::vector<std::u16string>& backupFolders) {
    std::vector<IndexEntry> entries;
    for (const std::u16string& name : backupFolders) {
        if (name.size() != 1 || !IsDriveFolder(name))
            continue;
        const char16_t letter = UpperAscii(name[0]);
        entries.push_back({std::u16string(kBackupFolder) + name + u"\\",
                           std::u16string{letter, u':', u'\\'}, u"", u"", u""});
    }
    return entries;
}

std::vector<std::u16string> FoldersOnEnclosure(const std::optional<std::vector<IndexEntry>>& index,
                                               const std::vector<std::u16string>& backupFolders) {
    std::vector<std::u16string> folders;
    if (index) {
        for (const IndexEntry& entry : *index)
            folders.push_back(entry.folder);
        return folders;
    }
    for (const IndexEntry& entry : SeedIndexEntries(backupFolders))
        folders.push_back(entry.folder);
    return folders;
}

} // namespace snapkeep
