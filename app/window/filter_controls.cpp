#include "filter_controls.h"

#include "code_page.h"
#include "viewer_settings.h"

#include <QLineEdit>
#include <QRadioButton>

namespace vesk {

FilterControls::FilterControls(Flags flags, Controls controls, ViewerSettings& settings)
    : m_flags(flags), m_controls(controls), m_settings(settings) {}

PostFilter FilterControls::Filter() const {
    return {m_flags.bShowAll != 0       ? PostFilter::Mode::kAll
            : m_flags.bOnlyStarter != 0 ? PostFilter::Mode::kStarter
            : m_flags.bPartial != 0     ? PostFilter::Mode::kNames
                                        : PostFilter::Mode::kNone,
            m_flags.strNameList};
}

void FilterControls::Set(PostFilter::Mode mode) {
    m_flags.bShowAll = mode == PostFilter::Mode::kAll ? 1 : 0;
    m_flags.bOnlyStarter = mode == PostFilter::Mode::kStarter ? 1 : 0;
    m_flags.bPartial = mode == PostFilter::Mode::kNames ? 1 : 0;
    (m_flags.bShowAll != 0       ? m_controls.showAll
     : m_flags.bOnlyStarter != 0 ? m_controls.onlyStarter
                                 : m_controls.partial)
        .setChecked(true);
    m_controls.names.setVisible(m_flags.bPartial != 0);
}

void FilterControls::ReadRadios() {
    m_flags.bOnlyStarter = m_controls.onlyStarter.isChecked() ? 1 : 0;
    m_flags.bShowAll = m_controls.showAll.isChecked() ? 1 : 0;
    m_flags.bPartial = m_controls.partial.isChecked() ? 1 : 0;
}

bool FilterControls::TakeNames() {
    m_flags.strNameList = NameListBytes(m_controls.names.text().trimmed());
    return !m_flags.strNameList.empty();
}

void FilterControls::Remember(const ThreadKey& key) {
    if (!key.strBoardCode.empty() && !key.strThreadId.empty()) {
        m_settings.SetFilter(key, Filter());
    }
}

void FilterControls::ApplyRemembered(const ThreadKey& key) {
    const std::optional<PostFilter> remembered = m_settings.Filter(key);
    if (!remembered ||
        (remembered->mode == PostFilter::Mode::kNames && remembered->strNameList.empty())) {
        return;
    }
    Set(remembered->mode);
    if (m_flags.bPartial != 0) {
        m_controls.names.setText(QString::fromStdU16String(GbkToUtf16(remembered->strNameList)));
        m_flags.strNameList = remembered->strNameList;
    }
}

}  // namespace vesk
