#pragma once

#include "person_page.h"
#include "thread_page.h"
#include "thread_reader.h"
#include "thread_store.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QObject;

namespace vesk {

// A kept thread as the window pages through it: the thread, its posts a filter selects without
// their texts, and the earlier texts of its edited posts.
struct KeptThread {
    StoredThread thread;
    std::vector<OutlinePost> outline;
    EarlierBodies earlier;
    PictureMap pictures;
    std::int64_t nCheckedAt = 0;  // see ThreadStore::CheckedAt
    std::vector<ActivityWeek> activity;
};

// What the library answered, or why it could not: its text, and whether another program held
// the library for longer than the window waits.
template <class T>
struct LibraryAnswer {
    T value{};
    QString error;  // empty when the library answered
    bool bBusy = false;
    bool Ok() const { return error.isEmpty(); }
};

// The library as the window uses it: one connection, opened when first needed, that waits only
// a moment for another program's write, so that a refresh in another process never holds the
// window up ("busy" is answered instead); and the reading of a whole thread on a thread of its
// own.
class WindowLibrary final {
public:
    static constexpr int kWaitMs = 250;

    explicit WindowLibrary(std::string strFile);
    ~WindowLibrary();
    WindowLibrary(const WindowLibrary&) = delete;
    WindowLibrary& operator=(const WindowLibrary&) = delete;

    const std::string& File() const { return m_strFile; }
    // Why the library could not be used the last time, or empty; the home page says it. A list
    // read whole clears it.
    const QString& Error() const { return m_error; }
    // What went wrong with the library elsewhere (the go's keeping of its pages).
    void NoteError(const std::string& strError) { m_error = QString::fromUtf8(strError.c_str()); }

    LibraryAnswer<std::vector<ThreadListing>> List();
    LibraryAnswer<std::optional<StoredThread>> Find(const ThreadKey& key);
    // The thread and the outline of all its posts; nothing when it is not kept.
    LibraryAnswer<std::optional<KeptThread>> Load(const ThreadKey& key);
    // The outline of a kept thread's posts in another selection.
    LibraryAnswer<std::vector<OutlinePost>> Outline(const StoredThread& thread,
                                                    const PostFilter& selection);
    LibraryAnswer<std::vector<StoredPost>> PostsById(const std::vector<std::int64_t>& ids);
    LibraryAnswer<std::optional<KeptPicture>> Picture(const std::string& strHash);
    LibraryAnswer<bool> MarkRead(std::int64_t nThread);
    // The reader saw these posts (ids) and stopped at nPlace (a post's id), now.
    LibraryAnswer<bool> MarkSeen(std::int64_t nThread, const std::vector<std::int64_t>& seen,
                                 std::int64_t nPlace);
    // False (in the value) when the thread is not kept.
    LibraryAnswer<bool> Forget(const ThreadKey& key);
    LibraryAnswer<bool> SetWatched(const ThreadKey& key, bool bWatched);

    // People: those followed, each thread's weeks from nFromWeek on, a person's page, following.
    LibraryAnswer<std::vector<FollowedPerson>> Following();
    LibraryAnswer<std::map<std::int64_t, std::vector<ActivityWeek>>> ActivitySince(
        std::int64_t nFromWeek);
    LibraryAnswer<PersonPage> Person(const std::string& strName, const PersonPart& part,
                                     const PersonLinks& links);
    LibraryAnswer<bool> IsFollowed(const std::string& strName);
    LibraryAnswer<bool> Follow(const std::string& strName, bool bFollow);
    // The reader saw these posts of a person's page (ids).
    LibraryAnswer<bool> MarkPostsSeen(const std::vector<std::int64_t>& seen);

    // Reads a thread whole into the library on a thread of its own. done is called once, through
    // pContext's queue on the window's thread, with the thread, what to tell (empty when the
    // reading ran to the thread's end) and whether pages were read; never after StopReading.
    // False when the reading could not start.
    // How a whole reading ended: read to the thread's end, read in part, or nothing read.
    enum class WholeEnd { kToTheEnd, kInPart, kNothing };
    // How a reading went: what the bar says of it, and the lowest floor it brought (0: none).
    struct WholeRead {
        ThreadKey key;
        QString text;
        WholeEnd end = WholeEnd::kNothing;
        std::int32_t nFirstNewFloor = 0;
        std::int32_t nFirstChangedFloor = 0;  // new, edited or deleted
    };
    using ReadDone = std::function<void(const WholeRead& read)>;
    bool ReadWhole(const ThreadKey& key, const RefreshSettings& settings, QObject* pContext,
                   ReadDone done);
    bool IsReading() const { return m_pRefresher != nullptr; }
    // Ends the reading within a moment; every page it kept stays kept.
    void StopReading() { m_pRefresher.reset(); }
    // Ends it as the reader asks: done is told how far it came.
    void InterruptReading() {
        if (m_pRefresher != nullptr) {
            m_pRefresher->Interrupt();
        }
    }

private:
    template <class T>
    LibraryAnswer<T> Use(const std::function<T(ThreadStore& store)>& work);

    std::string m_strFile;
    std::unique_ptr<ThreadStore> m_pStore;
    QString m_error;
    std::unique_ptr<ThreadRefresher> m_pRefresher;
};

}  // namespace vesk
