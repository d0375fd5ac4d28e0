// Searching a large library: 100 threads of 5,000 posts (500,000 posts), made once into a file
// under /tmp and kept for later runs. Each post is a run of Chinese characters drawn as a board's
// text draws them (a few thousand characters, the common ones far more often), with a number and
// now and then one of a handful of phrases a reader looks for, each in about one post in a
// hundred. Prints the file's size with and without the index; times the searches, and the plain
// scan of the same texts that the index spares.

#include "code_page.h"
#include "sqlite_db.h"
#include "thread_store.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace vesk {
namespace {

constexpr int kThreads = 100;
constexpr int kPostsPerThread = 5000;
constexpr int kPerPage = 50;
constexpr const char* kPhrases[] = {"主力资金", "放量突破", "减持计划", "年报业绩", "分红方案"};

std::string LibraryPath() {
    return "/tmp/vesk-search-bench.sqlite3";
}

// A character of the common range, the first ones most often (Zipf's law, as a language has it).
class Characters {
public:
    Characters() : m_random(20261209) {
        double fSum = 0;
        for (int i = 0; i < kCount; ++i) {
            fSum += 1.0 / (i + 1);
            m_cumulative.push_back(fSum);
        }
    }
    std::u32string Run(int nLength) {
        std::u32string text;
        std::uniform_real_distribution<double> pick(0, m_cumulative.back());
        for (int i = 0; i < nLength; ++i) {
            const auto at =
                std::lower_bound(m_cumulative.begin(), m_cumulative.end(), pick(m_random)) -
                m_cumulative.begin();
            // Spread over the range, so that the common ones are not neighbours.
            text += static_cast<char32_t>(0x4E00 + (at * 7919) % 20900);
        }
        return text;
    }
    std::mt19937& Random() { return m_random; }

private:
    static constexpr int kCount = 3500;
    std::mt19937 m_random;
    std::vector<double> m_cumulative;
};

std::string Utf8(const std::u32string& text) {
    std::string out;
    for (const char32_t c : text) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

void MakeLibrary() {
    const std::string strPath = LibraryPath();
    {
        std::error_code error;
        if (std::filesystem::exists(strPath, error)) {
            ThreadStore store(strPath);
            if (store.List().size() == kThreads) {
                // Made by an earlier version: its index made anew.
                if (!store.HasSearchIndex()) {
                    store.RebuildSearchIndex();
                    store.Vacuum();
                }
                return;
            }
        }
    }
    for (const char* pszSuffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(strPath + pszSuffix);
    }
    const auto start = std::chrono::steady_clock::now();
    ThreadStore store(strPath);
    Characters characters;
    std::uniform_int_distribution<int> length(20, 160);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<std::string> texts(kPerPage * 3);
    for (int t = 0; t < kThreads; ++t) {
        const ThreadKey key{"600519", std::to_string(2000000 + t)};
        const std::string strTitle = Utf8ToGbk("长线日记第" + std::to_string(t) + "帖").value();
        for (int nPage = 1; nPage <= kPostsPerThread / kPerPage; ++nPage) {
            ReadPage page{nPage, {}, {}};
            if (nPage == 1) {
                page.heading = ThreadHeading{strTitle, "board"};
            }
            for (int i = 0; i < kPerPage; ++i) {
                const int nFloor = (nPage - 1) * kPerPage + i + 1;
                std::string strBody = Utf8(characters.Run(length(characters.Random())));
                if (percent(characters.Random()) < 5) {
                    strBody.insert(strBody.size() / 6 * 3,
                                   kPhrases[percent(characters.Random()) % 5]);
                }
                strBody += "，" + std::to_string(characters.Random()() % 10000) + "元";
                texts[static_cast<std::size_t>(i) * 3] = Utf8ToGbk(strBody).value();
                texts[static_cast<std::size_t>(i) * 3 + 1] =
                    "author" + std::to_string((nFloor * 7 + t) % 97);
                texts[static_cast<std::size_t>(i) * 3 + 2] = "2024-03-04 09:30:00";
                page.posts.push_back({nFloor, texts[static_cast<std::size_t>(i) * 3 + 1],
                                      texts[static_cast<std::size_t>(i) * 3 + 2],
                                      texts[static_cast<std::size_t>(i) * 3]});
            }
            store.StorePage(key, page, 1);
        }
        store.CatchUpSearchIndex();
    }
    store.Vacuum();
    std::fprintf(stderr, "made %s in %.0f s\n", strPath.c_str(),
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// The file's size with the index, and what it is without it (a copy, vacuumed).
void PrintSizes() {
    static bool bPrinted = false;
    if (bPrinted) {
        return;
    }
    bPrinted = true;
    const std::string strCopy = LibraryPath() + ".noindex";
    std::filesystem::copy_file(LibraryPath(), strCopy,
                               std::filesystem::copy_options::overwrite_existing);
    {
        ThreadStore store(strCopy);
        store.DropSearchIndex();
        store.Vacuum();
    }
    const auto nWith = std::filesystem::file_size(LibraryPath());
    const auto nWithout = std::filesystem::file_size(strCopy);
    std::fprintf(stderr,
                 "library %.1f MB with the index, %.1f MB without: the index adds %.0f %%\n",
                 static_cast<double>(nWith) / 1e6, static_cast<double>(nWithout) / 1e6,
                 100.0 * (static_cast<double>(nWith) - static_cast<double>(nWithout)) /
                     static_cast<double>(nWithout));
    std::filesystem::remove(strCopy);
}

// A search across all threads to its first 50 hits.
void BM_Search(benchmark::State& state, const char* pszWords) {
    MakeLibrary();
    PrintSizes();
    ThreadStore store(LibraryPath());
    SearchQuery query;
    query.strText = pszWords;
    std::size_t nHits = 0;
    for (auto _ : state) {
        nHits = store.Search(query).size();
    }
    state.counters["hits"] = static_cast<double>(nHits);
}
// A phrase in one post in a hundred, by three characters of it and by two; a run of characters
// drawn as the posts draw them (rare); two characters that are nowhere (the whole scan).
BENCHMARK_CAPTURE(BM_Search, three_common, "放量突")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, four_common, "减持计划")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, two_common, "减持")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, two_nowhere, "龘靐")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, three_other, "主力资")->Unit(benchmark::kMillisecond);
// One character: the commonest (in most posts), one of the rarest drawn (rank 3,400), one that
// is nowhere.
BENCHMARK_CAPTURE(BM_Search, one_commonest, "一")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, one_rare, "挘")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, one_nowhere, "\u03a9")->Unit(benchmark::kMillisecond);

// The plain scan of the same texts, every post's, as a search without the index makes it.
void BM_LikeScan(benchmark::State& state, const char* pszWords) {
    MakeLibrary();
    Database db(LibraryPath(), false, 1000);
    DefineSearchFunctions(db);
    Statement scan =
        db.Prepare("SELECT count(*) FROM post WHERE vesk_text(body) LIKE ? ESCAPE '\\'");
    std::int64_t nFound = 0;
    for (auto _ : state) {
        scan.BindText(1, std::string("%") + pszWords + "%");
        scan.Step();
        nFound = scan.Int(0);
        scan.Reset();
    }
    state.counters["found"] = static_cast<double>(nFound);
}
BENCHMARK_CAPTURE(BM_LikeScan, three_common, "放量突")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vesk

BENCHMARK_MAIN();
