#include "window_library.h"

#include <QDateTime>
#include <QMetaObject>
#include <QObject>

namespace vesk {

namespace {

const QString kBusy = QStringLiteral("帖子库正忙：另一个程序正在写入，请稍后再试");

}  // namespace

WindowLibrary::WindowLibrary(std::string strFile) : m_strFile(std::move(strFile)) {}

WindowLibrary::~WindowLibrary() = default;

template <class T>
LibraryAnswer<T> WindowLibrary::Use(const std::function<T(ThreadStore& store)>& work) {
    LibraryAnswer<T> answer;
    try {
        if (m_pStore == nullptr) {
            m_pStore = std::make_unique<ThreadStore>(m_strFile, false, kWaitMs);
        }
        answer.value = work(*m_pStore);
    } catch (const LibraryError& error) {
        answer.bBusy = error.IsBusy();
        answer.error = answer.bBusy ? kBusy : QString::fromUtf8(error.what());
        m_error = answer.error;
        // A library that could not be used is opened anew the next time: it may have been mended.
        if (!answer.bBusy) {
            m_pStore.reset();
        }
    }
    return answer;
}

LibraryAnswer<std::vector<ThreadListing>> WindowLibrary::List() {
    LibraryAnswer<std::vector<ThreadListing>> answer =
        Use<std::vector<ThreadListing>>([](ThreadStore& store) { return store.List(); });
    if (answer.Ok()) {
        m_error.clear();
    }
    return answer;
}

LibraryAnswer<std::optional<StoredThread>> WindowLibrary::Find(const ThreadKey& key) {
    return Use<std::optional<StoredThread>>([&key](ThreadStore& store) { return store.Find(key); });
}

LibraryAnswer<std::optional<KeptThread>> WindowLibrary::Load(const ThreadKey& key) {
    return Use<std::optional<KeptThread>>([&](ThreadStore& store) -> std::optional<KeptThread> {
        std::optional<StoredThread> thread = store.Find(key);
        if (!thread) {
            return std::nullopt;
        }
        std::vector<OutlinePost> outline = store.Outline(*thread, {});
        EarlierBodies earlier = EarlierBodiesOf(store.History(thread->nId));
        PictureMap pictures = store.Pictures(thread->nId);
        const std::int64_t nCheckedAt = store.CheckedAt(thread->nId);
        std::vector<ActivityWeek> activity = store.Activity(thread->nId);
        return KeptThread{*std::move(thread),  std::move(outline), std::move(earlier),
                          std::move(pictures), nCheckedAt,         std::move(activity)};
    });
}

LibraryAnswer<std::vector<OutlinePost>> WindowLibrary::Outline(const StoredThread& thread,
                                                               const PostFilter& selection) {
    return Use<std::vector<OutlinePost>>(
        [&](ThreadStore& store) { return store.Outline(thread, selection); });
}

LibraryAnswer<std::vector<StoredPost>> WindowLibrary::PostsById(
    const std::vector<std::int64_t>& ids) {
    return Use<std::vector<StoredPost>>([&](ThreadStore& store) { return store.PostsById(ids); });
}

LibraryAnswer<std::optional<KeptPicture>> WindowLibrary::Picture(const std::string& strHash) {
    return Use<std::optional<KeptPicture>>(
        [&](ThreadStore& store) { return store.Picture(strHash); });
}

LibraryAnswer<bool> WindowLibrary::MarkRead(std::int64_t nThread) {
    return Use<bool>([nThread](ThreadStore& store) {
        store.MarkRead(nThread);
        return true;
    });
}

LibraryAnswer<bool> WindowLibrary::MarkSeen(std::int64_t nThread,
                                            const std::vector<std::int64_t>& seen,
                                            std::int64_t nPlace) {
    return Use<bool>([&](ThreadStore& store) {
        store.MarkSeen(nThread, seen, nPlace, QDateTime::currentSecsSinceEpoch());
        return true;
    });
}

LibraryAnswer<bool> WindowLibrary::Forget(const ThreadKey& key) {
    return Use<bool>([&key](ThreadStore& store) {
        const std::optional<StoredThread> thread = store.Find(key);
        if (thread) {
            store.Forget(thread->nId);
        }
        return thread.has_value();
    });
}

LibraryAnswer<bool> WindowLibrary::SetWatched(const ThreadKey& key, bool bWatched) {
    return Use<bool>([&key, bWatched](ThreadStore& store) {
        const std::optional<StoredThread> thread = store.Find(key);
        if (thread) {
            store.SetWatched(thread->nId, bWatched);
        }
        return thread.has_value();
    });
}

LibraryAnswer<std::vector<FollowedPerson>> WindowLibrary::Following() {
    return Use<std::vector<FollowedPerson>>([](ThreadStore& store) { return store.Following(); });
}

LibraryAnswer<std::map<std::int64_t, std::vector<ActivityWeek>>> WindowLibrary::ActivitySince(
    std::int64_t nFromWeek) {
    return Use<std::map<std::int64_t, std::vector<ActivityWeek>>>(
        [nFromWeek](ThreadStore& store) { return store.ActivitySince(nFromWeek); });
}

LibraryAnswer<PersonPage> WindowLibrary::Person(const std::string& strName, const PersonPart& part,
                                                const PersonLinks& links) {
    return Use<PersonPage>([&](ThreadStore& store) {
        return ComposePersonPage(store, strName, part, links, PictureForm::kKept, CurrentWeek());
    });
}

LibraryAnswer<bool> WindowLibrary::IsFollowed(const std::string& strName) {
    return Use<bool>([&](ThreadStore& store) { return store.IsFollowed(strName); });
}

LibraryAnswer<bool> WindowLibrary::Follow(const std::string& strName, bool bFollow) {
    return Use<bool>([&](ThreadStore& store) {
        if (bFollow) {
            store.Follow(strName, QDateTime::currentSecsSinceEpoch());
            return true;
        }
        return store.Unfollow(strName);
    });
}

LibraryAnswer<bool> WindowLibrary::MarkPostsSeen(const std::vector<std::int64_t>& seen) {
    return Use<bool>([&](ThreadStore& store) {
        store.MarkPostsSeen(seen);
        return true;
    });
}

bool WindowLibrary::ReadWhole(const ThreadKey& key, const RefreshSettings& settings,
                              QObject* pContext, ReadDone done) {
    auto pRefresher = std::make_unique<ThreadRefresher>(
        m_strFile, key, settings,
        [this, pContext, done = std::move(done)](const RefreshOutcome& outcome,
                                                 const std::string& strError) {
            const bool bRead = outcome.result == RefreshOutcome::Result::kRead;
            const bool bWhole = bRead && outcome.end.kind == ReadingEnd::Kind::kEndOfThread;
            const WholeEnd end = bWhole && strError.empty() ? WholeEnd::kToTheEnd
                                 : bRead                    ? WholeEnd::kInPart
                                                            : WholeEnd::kNothing;
            const std::string strText = !strError.empty() ? strError
                                        : bWhole          ? DescribeChanges(outcome.changes)
                                                          : DescribeRefresh(outcome);
            // Handed to the window's thread, where the reading's object goes once it has ended.
            QMetaObject::invokeMethod(
                pContext,
                [this, done, text = QString::fromUtf8(strText.c_str()), end,
                 nFirst = outcome.changes.nFirstNewFloor,
                 nChanged = outcome.changes.nFirstChangedFloor] {
                    if (m_pRefresher == nullptr) {
                        return;
                    }
                    const ThreadKey read = m_pRefresher->Key();
                    m_pRefresher.reset();
                    done({read, text, end, nFirst, nChanged});
                },
                Qt::QueuedConnection);
        });
    if (!pRefresher->Start()) {
        return false;
    }
    m_pRefresher = std::move(pRefresher);
    return true;
}

}  // namespace vesk
