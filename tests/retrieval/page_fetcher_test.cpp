#include "page_fetcher.h"

#include "raw_http_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

namespace vesk {
namespace {

using namespace std::chrono_literals;
using test::RawConnection;
using test::RawHttpServer;
using Clock = std::chrono::steady_clock;

// Short time-outs, so that failures take a fraction of a second; the viewer's own are tested once.
FetchTimeouts QuickTimeouts() {
    FetchTimeouts timeouts;
    timeouts.connect = 300ms;
    timeouts.connectBackoff = 200ms;
    timeouts.stall = 300ms;
    return timeouts;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

RawHttpServer::Handler Serve(const std::string& strBody) {
    return [strBody](RawConnection& connection, const std::string&) {
        connection.Send(RawHttpServer::Answer(strBody));
    };
}

TEST(PageFetcherTest, SendsExactlyTheRequestLineHostAcceptAndUserAgentOnlyInASession) {
    RawHttpServer server(Serve("page"));
    PageFetcher fetcher;
    EXPECT_EQ(fetcher.FetchPage((server.BaseAddress() + "/").c_str()), "");
    ASSERT_TRUE(fetcher.OpenSession());
    const std::string strUrl = server.BaseAddress() + "/look,600519,123_1.html";
    EXPECT_EQ(fetcher.FetchPage(strUrl.c_str()), "page");

    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "GET /look,600519,123_1.html HTTP/1.1\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(server.Port()) +
                  "\r\n"
                  "Accept: */*\r\n"
                  "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                  "\r\n");
    fetcher.CloseSession();
    EXPECT_EQ(fetcher.FetchPage(strUrl.c_str()), "");
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(PageFetcherTest, ReusesOneConnectionForEveryPageOfASession) {
    RawHttpServer server(Serve("p"));
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    for (int i = 1; i <= 5; ++i) {
        const std::string strUrl = server.BaseAddress() + "/p" + std::to_string(i);
        EXPECT_EQ(fetcher.FetchPage(strUrl.c_str()), "p");
    }
    EXPECT_EQ(server.Requests().size(), 5u);
    EXPECT_EQ(server.Connections(), 1);
}

TEST(PageFetcherTest, GoesThroughTheUsersProxy) {
    RawHttpServer proxy(Serve("via proxy"));
    // The host is never looked up: the proxy is asked for the whole address.
    setenv("http_proxy", proxy.BaseAddress().c_str(), 1);
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    const std::string strPage = fetcher.FetchPage("http://forum.invalid/look,1,2_1.html");
    unsetenv("http_proxy");
    EXPECT_EQ(strPage, "via proxy");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].rfind("GET http://forum.invalid/look,1,2_1.html HTTP/1.1\r\n", 0),
              0u);
}

TEST(PageFetcherTest, AnyStatusBut200GivesEmptyTextAndRedirectsAreFollowed) {
    RawHttpServer server([](RawConnection& connection, const std::string& strRequest) {
        const std::pair<const char*, std::string> answers[] = {
            {"GET /missing", RawHttpServer::Answer("not here", 404)},
            {"GET /error", RawHttpServer::Answer("broken", 500)},
            {"GET /moved", RawHttpServer::Answer("see there", 302, "Location: /final\r\n")},
            {"GET /gone", RawHttpServer::Answer("see there", 301, "Location: /missing\r\n")}};
        for (const auto& [pszStart, answer] : answers) {
            if (strRequest.starts_with(pszStart)) {
                connection.Send(answer);
                return;
            }
        }
        connection.Send(RawHttpServer::Answer("final page"));
    });
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    // A redirect is judged by the final answer; a failure leaves the session usable.
    for (const auto& [pszPath, pszPage] : {std::pair{"/missing", ""},
                                           {"/error", ""},
                                           {"/moved", "final page"},
                                           {"/gone", ""},
                                           {"/other", "final page"}}) {
        EXPECT_EQ(fetcher.FetchPage((server.BaseAddress() + pszPath).c_str()), pszPage) << pszPath;
    }
}

TEST(PageFetcherTest, TurnsLineFeedsIntoCrLfAndKeepsLongLinesWhole) {
    const std::string strLong(10000, 'L');
    RawHttpServer server(Serve("one\ntwo\r\n" + strLong + "\nend"));
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    EXPECT_EQ(fetcher.FetchPage((server.BaseAddress() + "/").c_str()),
              "one\r\ntwo\r\r\n" + strLong + "\r\nend");
}

TEST(ConvertPageBodyTest, CutsEachPieceAtItsFirstZeroByte) {
    using namespace std::string_literals;
    // The rest of a line behind a zero byte is lost, its line feed too; the next line is not.
    EXPECT_EQ(ConvertPageBody("ab\0cd\nef\n"s), "abef\r\n");
    EXPECT_EQ(ConvertPageBody("\0\n"s), "");
    // A long line is read in pieces of 4095 bytes: a zero byte drops only the rest of its piece.
    const std::string strLine = std::string(4095, 'a') + "b\0c"s + std::string(5000, 'd') + "\n";
    EXPECT_EQ(ConvertPageBody(strLine),
              std::string(4095, 'a') + "b" + std::string(5000 - 4092, 'd') + "\r\n");
    const std::string strTwo = std::string(4095, 'a') + std::string(4095, 'b') + "\0x\n"s + "z";
    EXPECT_EQ(ConvertPageBody(strTwo), std::string(4095, 'a') + std::string(4095, 'b') + "z");
    EXPECT_EQ(ConvertPageBody("\n\n"), "\r\n\r\n");
}

TEST(PageFetcherTest, ABodyOver16MiBCountsAsAFailedDownload) {
    RawHttpServer server([](RawConnection& connection, const std::string& strRequest) {
        const std::size_t nSize = strRequest.starts_with("GET /huge")
                                      ? PageFetcher::kMaxPageBytes + 1
                                      : PageFetcher::kMaxPageBytes;
        if (connection.Send(RawHttpServer::Answer(std::string(nSize, 'x'))) == false) {
            connection.Close();
        }
    });
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    EXPECT_EQ(fetcher.FetchPage((server.BaseAddress() + "/huge").c_str()), "");
    EXPECT_EQ(fetcher.FetchPage((server.BaseAddress() + "/limit").c_str()).size(),
              PageFetcher::kMaxPageBytes);
}

TEST(PageFetcherTest, ATransferWithNoByteFor5SecondsFails) {
    // Headers and a few bytes, then silence: the viewer's own time-outs.
    RawHttpServer server([](RawConnection& connection, const std::string&) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst bytes");
        connection.Pause(30s);
        connection.Close();
    });
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    const auto start = Clock::now();
    EXPECT_EQ(fetcher.FetchPage((server.BaseAddress() + "/").c_str()), "");
    // Ended by the 5-second rule, not by a time-out averaged over a longer window.
    EXPECT_GE(SecondsSince(start), 4.9);
    EXPECT_LT(SecondsSince(start), 8.0);
}

TEST(PageFetcherTest, APageThatTricklesPastTheWholeDeadlineFailsAndASlowWholeOneDoesNot) {
    // One byte every 100 ms keeps the stall rule quiet; the deadline for the whole page ends it.
    const auto trickle = [](int nBytes) {
        return [nBytes](RawConnection& connection, const std::string&) {
            connection.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(nBytes) +
                            "\r\n\r\n");
            for (int i = 0; i < nBytes; ++i) {
                if (!connection.Pause(100ms) || !connection.Send("x")) {
                    return;
                }
            }
        };
    };
    FetchTimeouts timeouts = QuickTimeouts();
    timeouts.total = 800ms;
    RawHttpServer endless(trickle(100));
    PageFetcher fetcher(timeouts);
    ASSERT_TRUE(fetcher.OpenSession());
    const auto start = Clock::now();
    EXPECT_EQ(fetcher.FetchPage((endless.BaseAddress() + "/").c_str()), "");
    EXPECT_GE(SecondsSince(start), 0.75);
    EXPECT_LT(SecondsSince(start), 1.5);

    // Longer than the stall time in all, but within the deadline: a page.
    RawHttpServer slow(trickle(5));
    PageFetcher patient(timeouts);
    ASSERT_TRUE(patient.OpenSession());
    EXPECT_EQ(patient.FetchPage((slow.BaseAddress() + "/").c_str()), "xxxxx");
    EXPECT_EQ(FetchTimeouts{}.total, 30s);
}

TEST(PageFetcherTest, ASilentServerGivesEmptyTextAndAFailedConnectionIsTriedOnceMore) {
    RawHttpServer server([](RawConnection& connection, const std::string&) {
        connection.Pause(30s);
        connection.Close();
    });
    PageFetcher fetcher(QuickTimeouts());
    ASSERT_TRUE(fetcher.OpenSession());
    EXPECT_EQ(fetcher.FetchPage((server.BaseAddress() + "/").c_str()), "");

    test::SilentListener silent;
    const std::string strUrl = "http://127.0.0.1:" + std::to_string(silent.Port()) + "/";
    const auto start = Clock::now();
    EXPECT_EQ(fetcher.FetchPage(strUrl.c_str()), "");
    // Two connection attempts of 300 ms with 200 ms between them.
    EXPECT_GE(SecondsSince(start), 0.75);
}

TEST(PageFetcherTest, AbortEndsAStalledTransferAtOnceAndEveryLaterOne) {
    RawHttpServer server([](RawConnection& connection, const std::string&) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome");
        connection.Pause(30s);
        connection.Close();
    });
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    const std::string strUrl = server.BaseAddress() + "/";
    auto page = std::async(std::launch::async, [&] { return fetcher.FetchPage(strUrl.c_str()); });
    std::this_thread::sleep_for(200ms);
    const auto start = Clock::now();
    fetcher.Abort();
    ASSERT_EQ(page.wait_for(2s), std::future_status::ready);
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(page.get(), "");
    EXPECT_EQ(fetcher.FetchPage(strUrl.c_str()), "");
    EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
}  // namespace vesk
