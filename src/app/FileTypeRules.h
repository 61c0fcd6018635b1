#pragma once
// The rules that tie the settings page's eight file-type boxes together: "All" and the category
// boxes are never ticked together, and at least one box is always ticked.
//
// Every change of a box's state runs that box's rule at once, whoever made the change (the user,
// another rule, or the settings loader), and the rules may change other boxes, which runs their
// rules in turn. Setting a box to the state it already has is no change and runs nothing. The
// check boxes on screen follow this model through OnChanged.
#include "store/SettingsFile.h"

#include <array>
#include <functional>

namespace snapkeep {

class FileTypeRules {
public:
    bool Checked(FileType box) const { return checked_[Index(box)]; }
    bool NoFileTypeChecked() const;

    // Changes one box; a real change runs its rule (and any rules that rule sets off).
    void SetChecked(FileType box, bool checked);

    // Called for every change of a box's state, in the order the changes happen.
    std::function<void(FileType, bool)> OnChanged;

private:
    static int Index(FileType box) { return static_cast<int>(box); }
    void CheckBoxAllExtClick();
    void CheckBoxPictureExtClick(FileType sender);

    // The page's built-in state: only "All" ticked.
    std::array<bool, kFileTypeCount> checked_{true,  false, false, false,
                                              false, false, false, false};
};

} // namespace snapkeep
