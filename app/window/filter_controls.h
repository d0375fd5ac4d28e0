#pragma once

#include "forum_address.h"
#include "result_page.h"

#include <string>

class QLineEdit;
class QRadioButton;

namespace vesk {

class ViewerSettings;

// The three filter radios and the name edit over the window's mode flags and name list, which
// the window keeps: set from a mode, read at a go, the list taken from the edit, and each
// thread's filter remembered for the next time it is shown.
class FilterControls final {
public:
    // The window's members they stand for.
    struct Flags {
        int& bShowAll;
        int& bOnlyStarter;
        int& bPartial;
        std::string& strNameList;
    };
    struct Controls {
        QRadioButton& showAll;
        QRadioButton& onlyStarter;
        QRadioButton& partial;
        QLineEdit& names;
    };

    FilterControls(Flags flags, Controls controls, ViewerSettings& settings);

    // The posts the mode flags and the name list show.
    PostFilter Filter() const;
    // The flags, the radios and the name edit as the mode says.
    void Set(PostFilter::Mode mode);
    // The radios' checks into the flags, in the design's order.
    void ReadRadios();
    // The name edit's list, trimmed, into the name list; false when it is empty.
    bool TakeNames();
    // The thread's filter is the one shown now; a thread shown again opens with it.
    void Remember(const ThreadKey& key);
    void ApplyRemembered(const ThreadKey& key);

private:
    Flags m_flags;
    Controls m_controls;
    ViewerSettings& m_settings;
};

}  // namespace vesk
