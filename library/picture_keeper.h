#pragma once

#include "page_fetcher.h"
#include "thread_store.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vesk {

// What fetching a thread's pictures did.
struct PicturesKept {
    int nKept = 0;            // srcs kept now (fetched, or found kept from the same address)
    int nFailed = 0;          // not had this time: tried again at the next refresh
    int nRefused = 0;         // too large, no picture, or no web address: never tried again
    std::int64_t nBytes = 0;  // fetched
};

// The largest picture kept, and the tries a picture gets over the refreshes.
inline constexpr std::size_t kMaxPictureBytes = std::size_t{10} << 20;
inline constexpr int kPictureTries = 5;

// The type of picture the bytes begin with ("image/png", "image/jpeg", "image/gif",
// "image/webp"), or empty when they are none of these.
std::string_view PictureType(std::string_view bytes);
// The bytes' SHA-256, in lower-case hex.
std::string Sha256Hex(std::string_view bytes);

// Fetches the pictures the thread's posts show that are not kept yet, from the forum at
// strBaseAddress through the fetcher's open session: at most four at a time, a 429 or 503 asked
// again (at most twice) after its Retry-After (at most 60 s) or 2 s, one at a time from then on.
// A picture another thread keeps from the same address is not fetched again. progress is told the
// pictures done and wanted after each one. Throws LibraryError.
PicturesKept KeepPictures(ThreadStore& store, PageFetcher& fetcher, const StoredThread& thread,
                          std::string_view strBaseAddress,
                          const std::function<void(int nDone, int nWanted)>& progress = {});

}  // namespace vesk
