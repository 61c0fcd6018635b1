#include "job/ProtectedPath.h"

#include <array>

namespace snapkeep {

namespace {

std::u16string PlainForm(std::u16string_view path) {
    if (path.starts_with(u"\\\\?\\UNC\\"))
        return u"\\\\" + std::u16string(path.substr(8));
    if (path.starts_with(u"\\\\?\\"))
        return std::u16string(path.substr(4));
    return std::u16string(path);
}

std::vector<std::u16string_view> Names(std::u16string_view path) {
    std::vector<std::u16string_view> names;
    while (!path.empty()) {
        const size_t slash = path.find(u'\\');
        if (slash != 0)
            names.push_back(path.substr(0, slash));
        if (slash == std::u16string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return names;
}

} // namespace

bool LiesInProtectedFolder(std::u16string_view path, const std::vector<std::u16string>& folders,
                           FolderNameRule same) {
    const std::u16string plain = PlainForm(path);
    for (const std::u16string& folder : folders) {
        std::u16string_view f = folder;
        while (!f.empty() && f.back() == u'\\')
            f.remove_suffix(1);
        if (f.empty() || plain.size() < f.size() ||
            !same(std::u16string_view(plain).substr(0, f.size()), f))
            continue;
        if (plain.size() == f.size() || plain[f.size()] == u'\\')
            return true;
    }
    // Every user's Startup folder, and the one for all users, end in these names (the names on
    // disk are English in every language of Windows).
    static constexpr std::array<std::u16string_view, 5> kStartup = {
        u"Microsoft", u"Windows", u"Start Menu", u"Programs", u"Startup"};
    const std::vector<std::u16string_view> names = Names(plain);
    for (size_t i = 0; i + kStartup.size() <= names.size(); ++i) {
        size_t k = 0;
        while (k < kStartup.size() && same(names[i + k], kStartup[k]))
            ++k;
        if (k == kStartup.size())
            return true;
    }
    return false;
}

} // namespace snapkeep
