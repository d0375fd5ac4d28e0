#include "request_checks.h"

#include <gtest/gtest.h>

#include <string>

namespace vesk {
namespace {

TEST(HostPrefixTest, IsTheFirstNineCharactersOfTheHost) {
    EXPECT_EQ(HostPrefixOf("http://127.0.0.1:8808"), "127.0.0.1");
    EXPECT_EQ(HostPrefixOf("http://forum.example.com"), "forum.exa");
    EXPECT_EQ(HostPrefixOf("https://a.cn:80"), "a.cn");
    EXPECT_EQ(HostPrefixOf("no scheme"), "");
}

TEST(BaseAddressTest, TakesSchemeHostAndPortOnly) {
    EXPECT_TRUE(IsBaseAddress("http://127.0.0.1:8808"));
    EXPECT_TRUE(IsBaseAddress("http://forum.example.com"));
    EXPECT_FALSE(IsBaseAddress("http://forum.example.com/"));
    EXPECT_FALSE(IsBaseAddress("http://host/path"));
    EXPECT_FALSE(IsBaseAddress("127.0.0.1:8808"));
    EXPECT_FALSE(IsBaseAddress("http://"));
    EXPECT_FALSE(IsBaseAddress("http://host:"));
    EXPECT_FALSE(IsBaseAddress("http://host:80a"));
    EXPECT_FALSE(IsBaseAddress("://host"));
}

TEST(ThreadAddressTest, NeedsTheHostPrefixAndLookAndFitsTheJob) {
    const std::string prefix = "127.0.0.1";
    EXPECT_TRUE(IsThreadAddressAccepted("http://127.0.0.1:8808/look,600519,1.html", prefix));
    EXPECT_TRUE(IsThreadAddressAccepted("127.0.0.1look,", prefix));
    EXPECT_FALSE(IsThreadAddressAccepted("", prefix));
    EXPECT_FALSE(IsThreadAddressAccepted("http://127.0.0.1:8808/topic,600519.html", prefix));
    EXPECT_FALSE(IsThreadAddressAccepted("http://127.0.0.2/look,600519,1.html", prefix));
    EXPECT_FALSE(IsThreadAddressAccepted("http://127.0.0.1/LOOK,600519,1.html", prefix));

    std::string strUrl = "http://127.0.0.1/look,1,";
    strUrl += std::string(kMaxThreadUrlBytes - strUrl.size(), '9');
    EXPECT_TRUE(IsThreadAddressAccepted(strUrl, prefix));
    EXPECT_FALSE(IsThreadAddressAccepted(strUrl + "9", prefix));
}

}  // namespace
}  // namespace vesk
