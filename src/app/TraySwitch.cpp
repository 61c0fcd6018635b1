#include "app/TraySwitch.h"

#include <string>

namespace snapkeep {

namespace {

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool IsTraySwitch(const std::u16string& word) {
    if (word.size() != kTraySwitch.size() || (word[0] != u'/' && word[0] != u'-'))
        return false;
    for (size_t i = 1; i < word.size(); ++i)
        if (Lower(word[i]) != kTraySwitch[i])
            return false;
    return true;
}

} // namespace

bool HasTraySwitch(std::u16string_view arguments) {
    // Words split at blanks and tabs outside double quotes; the quotes themselves drop out.
    std::u16string word;
    bool quoted = false;
    bool inWord = false;
    for (char16_t c : arguments) {
        if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (inWord && IsTraySwitch(word))
                return true;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    return inWord && IsTraySwitch(word);
}

} // namespace snapkeep
