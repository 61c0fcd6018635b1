#include "job/TypeList.h"

#include "job/OthersText.h"
#include "store/KeyLookup.h"
#include "worker/TypeMatch.h"

#include <initializer_list>

namespace snapkeep {

namespace {

struct Category {
    FileType box;
    std::initializer_list<const char*> extensions;
};

// In the order the boxes are appended: the order decides nothing in matching, but the list is
// the same for the same choice, whoever looks at it.
const Category kCategories[] = {
    {FileType::Picture, {"bmp", "jpg", "jpeg", "png", "gif", "tiff"}},
    {FileType::Audio, {"mp3", "wma", "ape", "wav"}},
    {FileType::Video, {"wmv", "avi", "mp4", "rm", "rmvb", "mpg", "mpeg", "mkv"}},
    {FileType::Data, {"txt", "pdf", "doc", "docx", "xls", "xlsx", "ppt", "pptx"}},
    {FileType::Compress, {"zip", "rar", "7z", "tar", "gz", "bz2"}},
    {FileType::Image, {"iso", "nrg"}},
};

// "<all>" lives as long as the program, like the fixed extensions.
constexpr char kAllEntry[] = "<all>";
static_assert(std::string_view(kAllEntry) == kAllTypes);

bool IsChecked(const std::array<bool, kFileTypeCount>& checked, FileType box) {
    return checked[static_cast<size_t>(box)];
}

} // namespace

void TypeList::Build(const std::array<bool, kFileTypeCount>& checked, std::string_view others) {
    slots_.fill(nullptr);
    count_ = 0;
    others_.clear();
    if (IsChecked(checked, FileType::All)) {
        slots_[0] = kAllEntry;
        count_ = 1;
        return;
    }
    for (const Category& category : kCategories) {
        if (!IsChecked(checked, category.box))
            continue;
        for (const char* extension : category.extensions)
            slots_[static_cast<size_t>(count_++)] = extension;
    }
    if (IsChecked(checked, FileType::Others)) {
        std::string text(others);
        // The pieces are complete before any slot points into them, so none moves afterwards.
        others_ =
            SplitTokens(text, kOthersPieceSeparators, static_cast<size_t>(kCapacity - count_));
        for (const std::string& piece : others_)
            slots_[static_cast<size_t>(count_++)] = piece.c_str();
    }
}

std::vector<std::string_view> TypeList::View() const {
    std::vector<std::string_view> entries;
    for (int i = 0; i < count_; ++i)
        entries.emplace_back(slots_[static_cast<size_t>(i)]);
    return entries;
}

} // namespace snapkeep
