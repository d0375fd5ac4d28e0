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

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Headers for nBytes, then one byte every 100 ms: the stall rule stays quiet.
void Trickle(RawConnection& connection, int nBytes) {
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(nBytes) + "\r\n\r\n");
    for (int i = 0; i < nBytes && connection.Pause(100ms) && connection.Send("x"); ++i) {
    }
}

// A page downloaded alone: started, then waited for; failure says why it is empty.
std::string Get(PageFetcher& fetcher, const std::string& strUrl, PageFailure* pFailure = nullptr) {
    PageFailure ignored;
    return fetcher.Wait(fetcher.Start(strUrl), pFailure != nullptr ? *pFailure : ignored);
}

// One server for every answer the fetcher must tell apart, chosen by the request's path.
class PageFetcherTest : public ::testing::Test {
protected:
    std::string Fetch(PageFetcher& fetcher, const std::string& strPath,
                      PageFailure* pFailure = nullptr) {
        return Get(fetcher, server.BaseAddress() + strPath, pFailure);
    }
    RawHttpServer server{[](RawConnection& connection, const std::string& strRequest) {
        const std::string path = strRequest.substr(4, strRequest.find(' ', 4) - 4);
        const std::pair<const char*, std::string> answers[] = {
            {"/missing", RawHttpServer::Answer("not here", 404)},
            {"/error", RawHttpServer::Answer("broken", 500)},
            {"/moved", RawHttpServer::Answer("see there", 302, "Location: /final\r\n")},
            {"/gone", RawHttpServer::Answer("see there", 301, "Location: /missing\r\n")},
            {"/lines", RawHttpServer::Answer("one\ntwo\r\n" + std::string(10000, 'L') + "\nend")},
            {"/busy", RawHttpServer::Answer("", 503, "Retry-After: 120\r\n")},
            {"/busy-date",
             RawHttpServer::Answer("", 429, "Retry-After: Wed, 21 Oct 2015 07:28:00 GMT\r\n")},
        };
        for (const auto& [pszPath, answer] : answers) {
            if (path == pszPath) {
                connection.Send(answer);
                return;
            }
        }
        if (path == "/huge" || path == "/limit") {
            const std::size_t nSize = PageFetcher::kMaxPageBytes + (path == "/huge" ? 1 : 0);
            if (!connection.Send(RawHttpServer::Answer(std::string(nSize, 'x')))) {
                connection.Close();
            }
        } else if (path == "/stall" || path == "/silent") {
            // Headers and a few bytes, or nothing, then silence.
            connection.Send(path == "/stall" ? "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome"
                                             : "");
            connection.Pause(30s);
            connection.Close();
        } else if (path.starts_with("/trickle")) {
            Trickle(connection, path == "/trickle5" ? 5 : 100);
        } else {
            connection.Send(RawHttpServer::Answer("page"));
        }
    }};
};

TEST_F(PageFetcherTest, SendsExactlyItsRequestOnOneConnectionOnlyInASession) {
    PageFetcher fetcher;
    EXPECT_EQ(Fetch(fetcher, "/"), "");
    ASSERT_TRUE(fetcher.OpenSession());
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(Fetch(fetcher, "/look,600519,123_" + std::to_string(i) + ".html"), "page");
    }
    ASSERT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(
        server.Requests()[0],
        "GET /look,600519,123_1.html HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
            "\r\nAccept: */*\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n\r\n");
    EXPECT_EQ(server.Connections(), 1);
    fetcher.CloseSession();
    EXPECT_EQ(Fetch(fetcher, "/"), "");
    EXPECT_EQ(server.Requests().size(), 3u);

    // Through the user's proxy the host is never looked up: the proxy gets the whole address.
    setenv("http_proxy", server.BaseAddress().c_str(), 1);
    PageFetcher proxied;
    ASSERT_TRUE(proxied.OpenSession());
    const std::string strPage = Get(proxied, "http://forum.invalid/look,1,2_1.html");
    unsetenv("http_proxy");
    EXPECT_EQ(strPage, "page");
    EXPECT_TRUE(server.Requests().back().starts_with(
        "GET http://forum.invalid/look,1,2_1.html HTTP/1.1\r\n"));
}

// Any status but 200 (after redirects) or a body over 16 MiB is empty text, and the session
// stays usable; line feeds become CR LF and long lines stay whole.
TEST_F(PageFetcherTest, OnlyAWholePageWithStatus200IsText) {
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    for (const auto& [pszPath, pszPage] : {std::pair{"/missing", ""},
                                           {"/error", ""},
                                           {"/moved", "page"},
                                           {"/gone", ""},
                                           {"/huge", ""},
                                           {"/other", "page"}}) {
        EXPECT_EQ(Fetch(fetcher, pszPath), pszPage) << pszPath;
    }
    EXPECT_EQ(Fetch(fetcher, "/limit").size(), PageFetcher::kMaxPageBytes);
    // A busy answer's Retry-After, in seconds or as a date (one gone by: no wait).
    for (const auto& [pszPath, nStatus, nRetryAfter] :
         {std::tuple{"/busy", 503L, 120L}, {"/busy-date", 429L, 0L}, {"/error", 500L, -1L}}) {
        PageFailure failure;
        Fetch(fetcher, pszPath, &failure);
        EXPECT_EQ(failure, (PageFailure{PageFailure::Kind::kHttpStatus, nStatus, nRetryAfter}))
            << pszPath;
    }
    EXPECT_EQ(Fetch(fetcher, "/lines"), "one\r\ntwo\r\r\n" + std::string(10000, 'L') + "\r\nend");
}

TEST(ConvertPageBodyTest, CutsEachPieceAtItsFirstZeroByte) {
    using namespace std::string_literals;
    // The rest of a line behind a zero byte is lost, its line feed too; the next line is not.
    EXPECT_EQ(ConvertPageBody("ab\0cd\nef\n"s), "abef\r\n");
    EXPECT_EQ(ConvertPageBody("\0\n"s), "");
    EXPECT_EQ(ConvertPageBody("\n\n"), "\r\n\r\n");
    // A long line is read in pieces of 4095 bytes: a zero byte drops only the rest of its piece.
    const std::string strLine = std::string(4095, 'a') + "b\0c"s + std::string(5000, 'd') + "\n";
    EXPECT_EQ(ConvertPageBody(strLine),
              std::string(4095, 'a') + "b" + std::string(5000 - 4092, 'd') + "\r\n");
    const std::string strTwo = std::string(4095, 'a') + std::string(4095, 'b') + "\0x\n"s + "z";
    EXPECT_EQ(ConvertPageBody(strTwo), std::string(4095, 'a') + std::string(4095, 'b') + "z");
}

// The viewer's own time-outs: no byte for 5 s ends a transfer (not a rate averaged over a
// longer window), and so does the whole deadline however steadily bytes trickle in.
TEST_F(PageFetcherTest, TimeOutsEndStalledTricklingAndUnansweredTransfers) {
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    auto start = Clock::now();
    EXPECT_EQ(Fetch(fetcher, "/stall"), "");
    EXPECT_GE(SecondsSince(start), 4.9);
    EXPECT_LT(SecondsSince(start), 8.0);
    EXPECT_EQ(FetchTimeouts{}.total, 30s);

    FetchTimeouts quick;
    quick.connect = 300ms;
    quick.connectBackoff = 200ms;
    quick.stall = 300ms;
    quick.total = 800ms;
    PageFetcher impatient(quick);
    ASSERT_TRUE(impatient.OpenSession());
    start = Clock::now();
    EXPECT_EQ(Fetch(impatient, "/trickle"), "");
    EXPECT_GE(SecondsSince(start), 0.75);
    EXPECT_LT(SecondsSince(start), 1.5);
    // Longer than the stall time in all, but within the deadline: a page.
    EXPECT_EQ(Fetch(impatient, "/trickle5"), "xxxxx");
    EXPECT_EQ(Fetch(impatient, "/silent"), "");

    // A connection that is never answered is tried once more after the back-off.
    test::SilentListener silent;
    start = Clock::now();
    EXPECT_EQ(Get(impatient, "http://127.0.0.1:" + std::to_string(silent.Port()) + "/"), "");
    EXPECT_GE(SecondsSince(start), 0.75);
}

TEST_F(PageFetcherTest, AbortEndsAStalledTransferAtOnceAndEveryLaterOne) {
    PageFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession());
    auto page = std::async(std::launch::async, [&] { return Fetch(fetcher, "/stall"); });
    std::this_thread::sleep_for(200ms);
    const auto start = Clock::now();
    fetcher.Abort();
    ASSERT_EQ(page.wait_for(2s), std::future_status::ready);
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(page.get(), "");
    EXPECT_EQ(Fetch(fetcher, "/"), "");
    EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
}  // namespace vesk
