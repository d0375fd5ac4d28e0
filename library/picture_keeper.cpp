#include "picture_keeper.h"

#include "forum_address.h"
#include "picture_sources.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <openssl/evp.h>
#include <vector>

namespace vesk {

namespace {

constexpr int kWindow = 4;
constexpr int kMostRetries = 2;
constexpr long kMostRetryAfter = 60;

// A request in flight, and the other srcs of the thread that name the same address.
struct InFlight {
    WantedPicture wanted;
    std::string strAddress;
    int nTransfer = 0;
    int nRetries = 0;
    std::vector<std::string> sharing;
};

}  // namespace

std::string_view PictureType(std::string_view bytes) {
    const auto begins = [&](std::string_view magic, std::size_t nAt = 0) {
        return bytes.size() >= nAt + magic.size() && bytes.substr(nAt, magic.size()) == magic;
    };
    if (begins("\x89PNG\r\n\x1A\n")) {
        return "image/png";
    }
    if (begins("\xFF\xD8\xFF")) {
        return "image/jpeg";
    }
    if (begins("GIF87a") || begins("GIF89a")) {
        return "image/gif";
    }
    if (begins("RIFF") && begins("WEBP", 8)) {
        return "image/webp";
    }
    return {};
}

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nLength = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &nLength, EVP_sha256(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(nLength * 2);
    for (unsigned int i = 0; i < nLength; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
    }
    return hex;
}

namespace {

// One keeping of a thread's pictures: a small window of requests in flight, in the order wanted,
// a busy server asked again after a while, one request at a time from then on.
class PictureRun final {
public:
    PictureRun(ThreadStore& store, PageFetcher& fetcher, const StoredThread& thread,
               std::string_view strBaseAddress, const std::function<void(int, int)>& progress)
        : m_store(store),
          m_fetcher(fetcher),
          m_progress(progress),
          m_nThread(thread.nId),
          m_strPage(
              ThreadPageAddress(strBaseAddress, thread.key.strBoardCode, thread.key.strThreadId)) {
        for (WantedPicture& wanted : store.WantedPictures(thread.nId, kPictureTries)) {
            m_queue.push_back(std::move(wanted));
        }
        m_nWanted = static_cast<int>(m_queue.size());
    }

    PicturesKept Run() {
        Fill();
        while (!m_flight.empty()) {
            InFlight picture = std::move(m_flight.front());
            m_flight.pop_front();
            PageFailure failure;
            const std::string strData = m_fetcher.Wait(picture.nTransfer, failure);
            // Nothing is noted of a stopped refresh.
            if (!m_fetcher.IsAborted() && !AskAgain(picture, failure)) {
                Note(picture, strData, failure);
            }
            Fill();
            if (m_progress) {
                m_progress(m_kept.nKept + m_kept.nRefused + m_kept.nFailed, m_nWanted);
            }
        }
        return m_kept;
    }

private:
    // Starts what the window has room for; a picture kept from its address already, or without
    // a web address, needs no request.
    void Fill() {
        while (!m_queue.empty() && static_cast<int>(m_flight.size()) < m_nWindow &&
               !m_fetcher.IsAborted()) {
            WantedPicture wanted = std::move(m_queue.front());
            m_queue.pop_front();
            const std::string strAddress = ResolvePictureAddress(wanted.strSrc, m_strPage);
            if (strAddress.empty()) {
                m_store.PictureFailed(m_nThread, wanted.strSrc, {}, true);
                ++m_kept.nRefused;
                continue;
            }
            if (const std::string strHash = m_store.PictureFrom(strAddress); !strHash.empty()) {
                m_store.KeepPicture(m_nThread, wanted.strSrc, strAddress, strHash, {}, {});
                ++m_kept.nKept;
                continue;
            }
            const auto same =
                std::find_if(m_flight.begin(), m_flight.end(),
                             [&](const InFlight& f) { return f.strAddress == strAddress; });
            if (same != m_flight.end()) {
                same->sharing.push_back(wanted.strSrc);
                continue;
            }
            const int nTransfer = m_fetcher.StartFile(strAddress, kMaxPictureBytes);
            m_flight.push_back({std::move(wanted), strAddress, nTransfer, 0, {}});
        }
    }

    // A busy server is asked again after a while, twice at most: true when it will be.
    bool AskAgain(InFlight& picture, const PageFailure& failure) {
        const bool bBusy = failure.kind == PageFailure::Kind::kHttpStatus &&
                           (failure.nHttpStatus == 429 || failure.nHttpStatus == 503);
        if (!bBusy || picture.nRetries >= kMostRetries) {
            return false;
        }
        m_nWindow = 1;
        const long nWait = failure.nRetryAfter >= 0 ? std::min(failure.nRetryAfter, kMostRetryAfter)
                                                    : 2L << picture.nRetries;
        if (m_fetcher.Sleep(std::chrono::seconds(nWait))) {
            ++picture.nRetries;
            picture.nTransfer = m_fetcher.StartFile(picture.strAddress, kMaxPictureBytes);
            m_flight.push_front(std::move(picture));
        }
        return true;
    }

    // What came is kept for every src that names its address, or noted as failed.
    void Note(InFlight& picture, const std::string& strData, const PageFailure& failure) {
        const std::string_view type = PictureType(strData);
        picture.sharing.insert(picture.sharing.begin(), picture.wanted.strSrc);
        const auto nSrcs = static_cast<int>(picture.sharing.size());
        if (failure.kind == PageFailure::Kind::kNone && !type.empty()) {
            const std::string strHash = Sha256Hex(strData);
            for (const std::string& src : picture.sharing) {
                m_store.KeepPicture(m_nThread, src, picture.strAddress, strHash, type, strData);
            }
            m_kept.nKept += nSrcs;
            m_kept.nBytes += static_cast<std::int64_t>(strData.size());
            return;
        }
        // What came was no picture, or too large: it will be no different next time.
        const bool bRefused = failure.kind == PageFailure::Kind::kNone ||
                              failure.kind == PageFailure::Kind::kTooLarge;
        for (const std::string& src : picture.sharing) {
            m_store.PictureFailed(m_nThread, src, picture.strAddress, bRefused);
        }
        (bRefused ? m_kept.nRefused : m_kept.nFailed) += nSrcs;
    }

    ThreadStore& m_store;
    PageFetcher& m_fetcher;
    const std::function<void(int, int)>& m_progress;
    int m_nWanted = 0;
    std::int64_t m_nThread;
    std::string m_strPage;
    std::deque<WantedPicture> m_queue;
    std::deque<InFlight> m_flight;
    int m_nWindow = kWindow;
    PicturesKept m_kept;
};

}  // namespace

PicturesKept KeepPictures(ThreadStore& store, PageFetcher& fetcher, const StoredThread& thread,
                          std::string_view strBaseAddress,
                          const std::function<void(int nDone, int nWanted)>& progress) {
    return PictureRun(store, fetcher, thread, strBaseAddress, progress).Run();
}

}  // namespace vesk
