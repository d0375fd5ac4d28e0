// The pictures the kept posts show: each kept once by its content's hash, each thread's uses of
// them, and how fetching them went.

#include "thread_store.h"
#include "thread_store_rows.h"

namespace vesk {

using store::ToInt;

std::vector<WantedPicture> ThreadStore::WantedPictures(std::int64_t nThread, int nMaxTries) {
    Statement& select = Cached(
        "SELECT src, tries FROM picture_use WHERE thread = ? AND state = 0 AND tries < ? "
        "ORDER BY rowid");
    select.Bind(1, nThread).Bind(2, nMaxTries);
    std::vector<WantedPicture> wanted;
    while (select.Step()) {
        wanted.push_back({std::string(select.Bytes(0)), ToInt(select.Int(1))});
    }
    return wanted;
}

std::string ThreadStore::PictureFrom(std::string_view address) {
    Statement& select =
        Cached("SELECT hash FROM picture_use WHERE address = ? AND hash IS NOT NULL LIMIT 1");
    select.Bind(1, address);
    std::string strHash = select.Step() ? std::string(select.Bytes(0)) : std::string();
    select.Reset();
    return strHash;
}

void ThreadStore::KeepPicture(std::int64_t nThread, std::string_view src, std::string_view address,
                              std::string_view hash, std::string_view type, std::string_view data) {
    Transaction transaction(m_db);
    if (!data.empty()) {
        Cached("INSERT OR IGNORE INTO picture(hash, type, size, data) VALUES (?, ?, ?, ?)")
            .Bind(1, hash)
            .Bind(2, type)
            .Bind(3, static_cast<std::int64_t>(data.size()))
            .Bind(4, data)
            .Run();
    }
    Cached(
        "UPDATE picture_use SET address = ?, hash = ?, state = 1, tries = tries + 1 "
        "WHERE thread = ? AND src = ?")
        .Bind(1, address)
        .Bind(2, hash)
        .Bind(3, nThread)
        .Bind(4, src)
        .Run();
    transaction.Commit();
}

void ThreadStore::PictureFailed(std::int64_t nThread, std::string_view src,
                                std::string_view address, bool bRefused) {
    Cached(
        "UPDATE picture_use SET address = ?, state = ?, tries = tries + 1 "
        "WHERE thread = ? AND src = ?")
        .Bind(1, address)
        .Bind(2, bRefused ? 2 : 0)
        .Bind(3, nThread)
        .Bind(4, src)
        .Run();
}

PictureMap ThreadStore::Pictures(std::int64_t nThread) {
    Statement& select =
        Cached("SELECT src, address, coalesce(hash, '') FROM picture_use WHERE thread = ?");
    select.Bind(1, nThread);
    PictureMap pictures;
    while (select.Step()) {
        pictures.emplace(std::string(select.Bytes(0)),
                         PictureRef{std::string(select.Bytes(1)), std::string(select.Bytes(2))});
    }
    return pictures;
}

std::optional<KeptPicture> ThreadStore::Picture(std::string_view hash) {
    Statement& select = Cached("SELECT type, data FROM picture WHERE hash = ?");
    select.Bind(1, hash);
    std::optional<KeptPicture> picture;
    if (select.Step()) {
        picture = KeptPicture{std::string(select.Bytes(0)), std::string(select.Bytes(1))};
    }
    select.Reset();
    return picture;
}

}  // namespace vesk
