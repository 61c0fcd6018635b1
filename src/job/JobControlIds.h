#pragma once
// Stable ids of the job window's controls, so that tests and tools can find each one.
namespace snapkeep::ids {

enum : int {
    Panel = 200,
    LabelStatus,
    LabelTotalFiles,
    LabelFinishedFiles,
    LabelTimeSpent,
    LabelTimeLeft,
    CGaugeTotal,
    ProgressBarSingle,
    ListBoxFiles,
    btnPause,
    btnRestart,
    btnCancel,
    btnClose,
};

} // namespace snapkeep::ids
