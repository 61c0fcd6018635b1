#pragma once
// The notice the tray icon shows when a job ends: one line saying how it ended, with a warning
// icon when something could not be done.
#include "job/JobHistory.h"

#include <optional>
#include <string>

namespace snapkeep {

struct JobNotice {
    std::u16string text;
    bool warning = false;
    bool operator==(const JobNotice&) const = default;
};

// The notice for a job's record, or none when the program is ending with the job (closed, or
// Windows shutting down): the tray icon goes with it, and nobody would see the notice.
std::optional<JobNotice> MakeJobNotice(const JobRecord& record, const HistoryFormat& format);

// The text with each "%1" replaced by `first` and each "%2" by `second`.
std::u16string FillIn(std::u16string_view text, std::u16string_view first,
                      std::u16string_view second = {});

} // namespace snapkeep
