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

PicturesKept KeepPictures(ThreadStore& store, PageFetcher& fetcher, const StoredThread& thread,
                          std::string_view strBaseAddress) {
    PicturesKept kept;
    const std::string strPage =
        ThreadPageAddress(strBaseAddress, thread.key.strBoardCode, thread.key.strThreadId);
    std::deque<WantedPicture> queue;
    for (WantedPicture& wanted : store.WantedPictures(thread.nId, kPictureTries)) {
        queue.push_back(std::move(wanted));
    }
    std::deque<InFlight> flight;
    int nWindow = kWindow;
    // Starts what the window has room for; a picture kept from its address already, or without a
    // web address, needs no request.
    const auto fill = [&] {
        while (!queue.empty() && static_cast<int>(flight.size()) < nWindow &&
               !fetcher.IsAborted()) {
            WantedPicture wanted = std::move(queue.front());
            queue.pop_front();
            const std::string strAddress = ResolvePictureAddress(wanted.strSrc, strPage);
            if (strAddress.empty()) {
                store.PictureFailed(thread.nId, wanted.strSrc, {}, true);
                ++kept.nRefused;
                continue;
            }
            if (const std::string strHash = store.PictureFrom(strAddress); !strHash.empty()) {
                store.KeepPicture(thread.nId, wanted.strSrc, strAddress, strHash, {}, {});
                ++kept.nKept;
                continue;
            }
            const auto same = std::find_if(flight.begin(), flight.end(), [&](const InFlight& f) {
                return f.strAddress == strAddress;
            });
            if (same != flight.end()) {
                same->sharing.push_back(wanted.strSrc);
                continue;
            }
            const int nTransfer = fetcher.StartFile(strAddress, kMaxPictureBytes);
            flight.push_back({std::move(wanted), strAddress, nTransfer, 0, {}});
        }
    };
    fill();
    while (!flight.empty()) {
        InFlight picture = std::move(flight.front());
        flight.pop_front();
        PageFailure failure;
        const std::string strData = fetcher.Wait(picture.nTransfer, failure);
        if (fetcher.IsAborted()) {
            continue;  // nothing is noted of a stopped refresh
        }
        const bool bBusy = failure.kind == PageFailure::Kind::kHttpStatus &&
                           (failure.nHttpStatus == 429 || failure.nHttpStatus == 503);
        if (bBusy && picture.nRetries < kMostRetries) {
            nWindow = 1;
            const long nWait = failure.nRetryAfter >= 0
                                   ? std::min(failure.nRetryAfter, kMostRetryAfter)
                                   : 2L << picture.nRetries;
            if (fetcher.Sleep(std::chrono::seconds(nWait))) {
                ++picture.nRetries;
                picture.nTransfer = fetcher.StartFile(picture.strAddress, kMaxPictureBytes);
                flight.push_front(std::move(picture));
            }
            continue;
        }
        const std::string_view type = PictureType(strData);
        picture.sharing.insert(picture.sharing.begin(), picture.wanted.strSrc);
        if (failure.kind == PageFailure::Kind::kNone && !type.empty()) {
            const std::string strHash = Sha256Hex(strData);
            for (const std::string& src : picture.sharing) {
                store.KeepPicture(thread.nId, src, picture.strAddress, strHash, type, strData);
            }
            kept.nKept += static_cast<int>(picture.sharing.size());
            kept.nBytes += static_cast<std::int64_t>(strData.size());
        } else {
            // What came was no picture, or too large: it will be no different next time.
            const bool bRefused = failure.kind == PageFailure::Kind::kNone ||
                                  failure.kind == PageFailure::Kind::kTooLarge;
            for (const std::string& src : picture.sharing) {
                store.PictureFailed(thread.nId, src, picture.strAddress, bRefused);
            }
            (bRefused ? kept.nRefused : kept.nFailed) += static_cast<int>(picture.sharing.size());
        }
        fill();
    }
    return kept;
}

}  // namespace vesk
