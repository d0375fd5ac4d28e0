#include "post_search.h"

#include "search_index.h"

#include <algorithm>
#include <cctype>
#include <span>
#include <unordered_set>

namespace vesk {

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuation(c); }));
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

// A LIKE pattern for text that holds the word, with ESCAPE '\'.
std::string Holding(std::string_view word) {
    std::string pattern = "%";
    for (const char c : word) {
        if (c == '%' || c == '_' || c == '\\') {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "%";
}

// One of the three kinds of search (titles, posts, earlier texts) as SQL: the rows it joins, the
// text it looks in, and, with the index, its table.
struct Source {
    SearchHit::Where where;
    const char* pszFrom;
    const char* pszText;
    const char* pszAuthor;  // the author's text, where the author is looked in too
    const char* pszTable;   // the index's table, or nullptr
    const char* pszOrder;   // newest first
    const char* pszWhere = " WHERE 1";
};

// A post's columns every search selects, before the texts.
constexpr const char* kHitColumns =
    "SELECT p.id, t.board_code, t.thread_id, t.title, t.board_name, p.floor, p.author, p.time,"
    " p.deleted, length(t.starter) > 0 AND p.author = t.starter";
// A thread's first post, by the order its page shows it in.
#define VESK_FIRST_POST                                                              \
    " JOIN post p ON p.id = (SELECT q.id FROM post q WHERE q.thread = t.id ORDER BY" \
    " q.sort_floor, q.floor = 0, q.page, q.position LIMIT 1)"

// The index keeps no texts: those shown and looked in are the posts' own.
constexpr Source kIndexed[] = {
    {SearchHit::Where::kTitle,
     " FROM thread_text JOIN thread t ON t.id = thread_text.rowid" VESK_FIRST_POST,
     "vesk_field(t.title)", nullptr, "thread_text", "t.refreshed DESC, t.id DESC"},
    // The newest posts, those a reading has not joined to the index yet, are read.
    {SearchHit::Where::kBody, " FROM post p JOIN thread t ON t.id = p.thread", "vesk_text(p.body)",
     "vesk_field(p.author)", nullptr, "p.id DESC",
     " WHERE p.id > (SELECT indexed_to FROM search_state)"},
    {SearchHit::Where::kBody,
     " FROM post_text JOIN post p ON p.id = post_text.rowid JOIN thread t ON t.id = p.thread",
     "vesk_text(p.body)", "vesk_field(p.author)", "post_text", "post_text.rowid DESC"},
    {SearchHit::Where::kEarlier,
     " FROM change_text JOIN change c ON c.id = change_text.rowid"
     " JOIN post p ON p.thread = c.thread AND p.floor = c.floor AND p.floor <> 0"
     " JOIN thread t ON t.id = p.thread",
     "vesk_text(c.body)", nullptr, "change_text", "change_text.rowid DESC"},
};
constexpr Source kScanned[] = {
    {SearchHit::Where::kTitle, " FROM thread t" VESK_FIRST_POST, "vesk_field(t.title)", nullptr,
     nullptr, "t.refreshed DESC, t.id DESC"},
    {SearchHit::Where::kBody, " FROM post p JOIN thread t ON t.id = p.thread", "vesk_text(p.body)",
     "vesk_field(p.author)", nullptr, "p.id DESC"},
    {SearchHit::Where::kEarlier,
     " FROM change c JOIN post p ON p.thread = c.thread AND p.floor = c.floor AND p.floor <> 0"
     " JOIN thread t ON t.id = p.thread",
     "vesk_text(c.body)", nullptr, nullptr, "c.id DESC", " WHERE c.kind = 1"},
};
#undef VESK_FIRST_POST

class Search final {
public:
    Search(Database& db, const SearchQuery& query)
        : m_db(db), m_query(query), m_words(SearchWords(query.strText)) {}

    std::vector<SearchHit> Run() {
        if (m_words.empty() || m_query.nLimit <= 0) {
            return {};
        }
        const std::span<const Source> sources =
            HasSearchIndex(m_db) ? std::span<const Source>(kIndexed) : kScanned;
        // Threads by their titles (at their first post) first, then posts, then earlier texts.
        for (const Source& source : sources) {
            if (source.where != SearchHit::Where::kEarlier || m_query.bEarlier) {
                Find(source);
            }
        }
        return std::move(m_hits);
    }

private:
    // A statement being made, with its values, and whether each is text (else bytes, as the
    // forum's fields are kept).
    struct Sql {
        std::string strText;
        std::vector<std::pair<std::string, bool>> binds;
        std::string Bind(std::string value, bool bText) {
            binds.emplace_back(std::move(value), bText);
            return "?" + std::to_string(binds.size());
        }
    };

    void Find(const Source& source) {
        const auto nLimit = static_cast<std::size_t>(m_query.nLimit);
        const std::size_t nRoom = nLimit - std::min(m_hits.size(), nLimit);
        if (nRoom == 0) {
            return;
        }
        Sql sql;
        sql.strText = std::string(kHitColumns) + ", " + source.pszText + ", " +
                      (source.pszAuthor != nullptr ? source.pszAuthor : "''") + source.pszFrom +
                      source.pszWhere;
        AddWords(source, sql);
        AddFilters(sql);
        sql.strText += " ORDER BY ";
        // Posts found before come again and are passed over.
        sql.strText +=
            std::string(source.pszOrder) + " LIMIT " + std::to_string(nRoom + m_seen.size());
        Statement select = m_db.Prepare(sql.strText.c_str());
        for (std::size_t i = 0; i < sql.binds.size(); ++i) {
            const int nIndex = static_cast<int>(i + 1);
            if (sql.binds[i].second) {
                select.BindText(nIndex, sql.binds[i].first);
            } else {
                select.Bind(nIndex, sql.binds[i].first);
            }
        }
        while (select.Step() && m_hits.size() < nLimit) {
            if (m_seen.insert(select.Int(0)).second) {
                m_hits.push_back(Hit(select, source));
            }
        }
    }

    // Every word must be found. The index finds a word of one or two characters as it is, and
    // for a longer one the posts holding all its pairs, which are then read for the word itself;
    // without the index every post is read.
    void AddWords(const Source& source, Sql& sql) const {
        std::string strMatch;
        for (const std::string& word : m_words) {
            if (source.pszTable != nullptr) {
                strMatch += (strMatch.empty() ? "" : " ") + IndexTerms(word);
                if (CharacterCount(word) <= 2) {
                    continue;
                }
            }
            const std::string strParam = sql.Bind(Holding(word), true);
            sql.strText +=
                std::string(" AND (") + source.pszText + " LIKE " + strParam + " ESCAPE '\\'";
            if (source.pszAuthor != nullptr) {
                sql.strText +=
                    std::string(" OR ") + source.pszAuthor + " LIKE " + strParam + " ESCAPE '\\'";
            }
            sql.strText += ")";
        }
        if (!strMatch.empty()) {
            sql.strText += std::string(" AND ") + source.pszTable + " MATCH ";
            sql.strText += sql.Bind(strMatch, true);
        }
    }

    void AddFilters(Sql& sql) const {
        if (m_query.thread) {
            sql.strText += " AND t.board_code = " + sql.Bind(m_query.thread->strBoardCode, false);
            sql.strText += " AND t.thread_id = " + sql.Bind(m_query.thread->strThreadId, false);
        }
        if (m_query.bStarter) {
            sql.strText += " AND length(t.starter) > 0 AND p.author = t.starter";
        }
        if (!m_query.strAuthor.empty()) {
            sql.strText += " AND instr(p.author, " + sql.Bind(m_query.strAuthor, false) + ") > 0";
        }
        if (!m_query.strSince.empty()) {
            sql.strText += " AND p.time >= " + sql.Bind(m_query.strSince, false);
        }
    }

    SearchHit Hit(Statement& select, const Source& source) const {
        SearchHit hit;
        hit.nPost = select.Int(0);
        hit.key = {std::string(select.Bytes(1)), std::string(select.Bytes(2))};
        hit.strTitle = select.Bytes(3);
        hit.strBoardName = select.Bytes(4);
        hit.nFloor = static_cast<std::int32_t>(select.Int(5));
        hit.strAuthor = select.Bytes(6);
        hit.strTime = select.Bytes(7);
        hit.bDeleted = select.Int(8) != 0;
        hit.bStarter = select.Int(9) != 0;
        hit.where = source.where;
        auto context = SearchContext(select.Bytes(10), m_words);
        if (context.second.empty() && source.where == SearchHit::Where::kBody) {
            // Found in the author alone.
            auto byAuthor = SearchContext(select.Bytes(11), m_words);
            if (!byAuthor.second.empty()) {
                hit.where = SearchHit::Where::kAuthor;
                context = std::move(byAuthor);
            }
        }
        hit.strContext = std::move(context.first);
        hit.marks = std::move(context.second);
        return hit;
    }

    Database& m_db;
    const SearchQuery& m_query;
    std::vector<std::string> m_words;
    std::vector<SearchHit> m_hits;
    std::unordered_set<std::int64_t> m_seen;
};

}  // namespace

std::vector<std::string> SearchWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    const auto end = [&] {
        if (!word.empty() && std::find(words.begin(), words.end(), word) == words.end()) {
            words.push_back(word);
        }
        word.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (text.substr(i, 3) == "\xE3\x80\x80") {  // the ideographic space
            end();
            i += 2;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            end();
        } else {
            word += c;
        }
    }
    end();
    return words;
}

std::pair<std::string, std::vector<std::pair<std::size_t, std::size_t>>> SearchContext(
    std::string_view text, const std::vector<std::string>& words, std::size_t nChars) {
    const std::string lower = Lower(text);
    std::vector<std::string> lowerWords;
    for (const std::string& word : words) {
        lowerWords.push_back(Lower(word));
    }
    std::size_t nFirst = std::string::npos;
    for (const std::string& word : lowerWords) {
        nFirst = std::min(nFirst, lower.find(word));
    }
    // A few words before the first found, then on to the length asked.
    std::size_t nStart = nFirst == std::string::npos ? 0 : nFirst;
    for (std::size_t nBack = 0; nStart > 0 && nBack < nChars / 4;) {
        --nStart;
        if (!IsContinuation(text[nStart])) {
            ++nBack;
        }
    }
    std::size_t nEnd = nStart;
    for (std::size_t nTaken = 0; nEnd < text.size() && nTaken < nChars; ++nTaken) {
        ++nEnd;
        while (nEnd < text.size() && IsContinuation(text[nEnd])) {
            ++nEnd;
        }
    }
    std::vector<std::pair<std::size_t, std::size_t>> found;
    for (const std::string& word : lowerWords) {
        for (std::size_t n = lower.find(word, nStart);
             n != std::string::npos && n + word.size() <= nEnd; n = lower.find(word, n + 1)) {
            found.emplace_back(n, word.size());
        }
    }
    std::sort(found.begin(), found.end());
    const std::string_view ellipsis = "\xE2\x80\xA6";
    const std::size_t nShift = nStart > 0 ? ellipsis.size() : 0;
    std::string context = nStart > 0 ? std::string(ellipsis) : std::string();
    context.append(text.substr(nStart, nEnd - nStart));
    if (nEnd < text.size()) {
        context.append(ellipsis);
    }
    std::vector<std::pair<std::size_t, std::size_t>> marks;
    std::size_t nPast = 0;
    for (const auto& [nAt, nLength] : found) {
        // Words found within each other are marked once.
        if (nAt < nPast) {
            continue;
        }
        marks.emplace_back(nAt - nStart + nShift, nLength);
        nPast = nAt + nLength;
    }
    return {std::move(context), std::move(marks)};
}

std::vector<SearchHit> SearchPosts(Database& db, const SearchQuery& query) {
    return Search(db, query).Run();
}

}  // namespace vesk
