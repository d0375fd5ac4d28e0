#pragma once

#include "forum_address.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

// The places the window has shown, as a browser keeps them: the home page (neither a thread nor a
// person), the threads and the people's pages (a part from its first post), with the place shown
// now among them. A visit drops the places ahead of it; going back or forward moves along them
// without a visit.
class PlaceHistory {
public:
    struct Place {
        std::optional<ThreadKey> thread;
        std::string strPerson;  // the board's bytes
        int nFrom = 0;
        bool operator==(const Place&) const = default;
    };

    void Visit(const Place& place) {
        if (m_nAt < m_places.size() && m_places[m_nAt] == place) {
            return;
        }
        if (!m_places.empty()) {
            m_places.resize(m_nAt + 1);
        }
        m_places.push_back(place);
        m_nAt = m_places.size() - 1;
    }
    // The place before (nStep -1) or after (+1) the one shown, now the one shown; none at an end.
    std::optional<Place> Move(int nStep) {
        const auto nTo = static_cast<std::ptrdiff_t>(m_nAt) + nStep;
        if (m_places.empty() || nTo < 0 || nTo >= static_cast<std::ptrdiff_t>(m_places.size())) {
            return std::nullopt;
        }
        m_nAt = static_cast<std::size_t>(nTo);
        return m_places[m_nAt];
    }

private:
    std::vector<Place> m_places;
    std::size_t m_nAt = 0;
};

}  // namespace vesk
