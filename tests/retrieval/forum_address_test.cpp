#include "forum_address.h"

#include <gtest/gtest.h>

#include <string>

namespace vesk {
namespace {

TEST(ForumAddressTest, ValuesArePercentEncodedOrTheAddressIsEmpty) {
    const std::string base = "http://127.0.0.1:8808";
    struct Case {
        const char* pszCode;
        const char* pszId;
        std::string thread;
        std::string board;
    };
    const Case cases[] = {
        {"600519", "1000001", base + "/look,600519,1000001.html", base + "/topic,600519.html"},
        {"a-Z.9_~", "7", base + "/look,a-Z.9_~,7.html", base + "/topic,a-Z.9_~.html"},
        // Reserved and non-ASCII bytes are percent-encoded, GB2312 bytes as they are stored.
        {"60/0?#", "1 2,3", base + "/look,60%2F0%3F%23,1%202%2C3.html",
         base + "/topic,60%2F0%3F%23.html"},
        {"\xC3\xA9\xCC\xA8", "42", base + "/look,%C3%A9%CC%A8,42.html",
         base + "/topic,%C3%A9%CC%A8.html"},
        {"600519", "", "", base + "/topic,600519.html"},
        {"", "42", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ThreadPageAddress(base, c.pszCode, c.pszId), c.thread) << c.pszCode;
        EXPECT_EQ(BoardPageAddress(base, c.pszCode), c.board) << c.pszCode;
    }
}

}  // namespace
}  // namespace vesk
