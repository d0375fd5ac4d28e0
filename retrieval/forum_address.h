#pragma once

#include <string>
#include <string_view>

namespace vesk {

// The addresses of a thread's first page and of its board's list at the forum (strBase:
// scheme://host[:port]), from the board code and the thread number as the typed address and the
// forum's pages give them. Every byte of a value but letters, digits and "-._~" is
// percent-encoded, so that no value can change the address's shape. Empty when a value the
// address needs is missing.
std::string ThreadPageAddress(std::string_view strBase, std::string_view code, std::string_view id);
std::string BoardPageAddress(std::string_view strBase, std::string_view code);

// A thread as the forum knows it: its board's code and its number, GB2312 bytes.
struct ThreadKey {
    std::string strBoardCode;
    std::string strThreadId;
    friend bool operator==(const ThreadKey&, const ThreadKey&) = default;
};

// The thread an accepted address names: the code after "look," and the number after it up to
// the dot, without a page suffix ("look,600000,100001_3.html" names thread 100001).
ThreadKey CutThreadKey(std::string_view strUrl);

// The address the reading asks for page nPage of a thread by, the values as they stand.
std::string ThreadPageRequest(std::string_view strBase, const ThreadKey& key, int nPage);

// The page of the thread an address names by its path, whatever its host: N for
// ".../look,CODE,ID_N.html", 1 for ".../look,CODE,ID.html"; 0 when it names no page of this
// thread.
int ThreadPageNumber(std::string_view strUrl, const ThreadKey& key);

}  // namespace vesk
