// The job history's reader over any bytes: whatever the old History.txt holds (a file edited by
// hand, cut short by a full disk, not text at all), appending a record keeps whole records of
// it only, loses none of its bytes when splitting it, and stays within the size limit.
#include "job/JobHistory.h"

#include <cstdlib>
#include <string>

#include "FuzzInput.h"

using namespace snapkeep;

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A record as the job writes one: the mark line, then lines of any text.
std::string MakeRecord(std::string_view body) {
    return std::string(kHistoryRecordMark) + "\r\n" + std::string(body) + "\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    const size_t limit = 16 + 64 * static_cast<size_t>(input.Byte());
    const std::string record = MakeRecord(input.Bytes(input.Byte()));
    const std::string_view old = input.Rest();

    // Splitting loses and adds nothing: the records put together are the file without its mark.
    std::string joined;
    for (std::string_view part : SplitJobRecords(old)) {
        if (part.empty())
            std::abort();
        joined += part;
    }
    const std::string_view body = old.starts_with(kBom) ? old.substr(kBom.size()) : old;
    if (joined != body)
        std::abort();

    const std::string out = AppendJobRecord(old, record, limit);
    if (!out.starts_with(kBom) || !out.ends_with(record))
        std::abort();
    // Over the limit only when the record alone is.
    if (out.size() > limit && out.size() != kBom.size() + record.size())
        std::abort();
    // What is kept of the old file is its end, made of whole records (a line end may join it
    // to the new record when it lacked one).
    std::string_view kept(out);
    kept.remove_prefix(kBom.size());
    kept.remove_suffix(record.size());
    if (!body.ends_with(kept) &&
        !(kept.ends_with("\r\n") && body.ends_with(kept.substr(0, kept.size() - 2))))
        std::abort();
    if (!kept.empty()) {
        const std::vector<std::string_view> records = SplitJobRecords(old);
        size_t tail = 0;
        bool whole = false;
        for (auto it = records.rbegin(); it != records.rend() && !whole; ++it) {
            tail += it->size();
            whole = tail == kept.size() || tail + 2 == kept.size();
        }
        if (!whole)
            std::abort();
    }
    return 0;
}
