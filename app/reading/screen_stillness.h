#pragma once

#include <QElapsedTimer>
#include <QStringList>

namespace vesk {

// What a page shows on screen, asked again and again: whether it has stood still, the same posts
// at the same scroll, for long enough that the reader has seen them. A glance while scrolling or
// jumping is not seeing.
class ScreenStillness {
public:
    static constexpr int kSeenAfterMs = 900;

    // These posts are on screen at this scroll: whether they have stood so for kSeenAfterMs.
    bool Seen(const QStringList& ids, int nScrolled) {
        if (ids != m_onScreen || nScrolled != m_nScrolled) {
            m_onScreen = ids;
            m_nScrolled = nScrolled;
            m_still.start();
        }
        return m_still.elapsed() >= kSeenAfterMs;
    }
    // A new page: nothing has stood on screen yet.
    void Reset() {
        m_onScreen.clear();
        m_nScrolled = -1;
    }

private:
    QStringList m_onScreen;
    int m_nScrolled = -1;
    QElapsedTimer m_still;
};

}  // namespace vesk
