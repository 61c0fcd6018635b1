// The reader of the index a backup keeps on the enclosure, over any bytes. What it accepts must
// be written and read back unchanged, and every folder it accepts must stay inside the Backup
// tree: the device list and a restore take those folders as they are.
#include "store/EnclosureIndex.h"

#include <cstdlib>

using namespace snapkeep;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto read = DecodeEnclosureIndex(bytes);
    if (!read)
        return 0;
    for (const IndexEntry& entry : *read) {
        if (entry.folder.find(u':') != std::u16string::npos ||
            entry.folder.find(u'/') != std::u16string::npos || entry.folder.back() != u'\\')
            std::abort();
        // No name that climbs out of the tree: checked apart from the reader's own rule.
        for (size_t start = 0; start < entry.folder.size();) {
            const size_t end = entry.folder.find(u'\\', start);
            const std::u16string_view name(entry.folder.data() + start, end - start);
            if (name.empty() || name == u"." || name == u"..")
                std::abort();
            start = end + 1;
        }
        for (const std::u16string* field :
             {&entry.host, &entry.computer, &entry.began, &entry.ended})
            if (field->find_first_of(u"\t\r\n") != std::u16string::npos)
                std::abort();
    }
    const auto again = DecodeEnclosureIndex(EncodeEnclosureIndex(*read));
    if (!again || *again != *read)
        std::abort();
    return 0;
}
