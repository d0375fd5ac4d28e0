#include "search_index.h"

#include "body_writers.h"

#include <algorithm>
#include <array>
#include <sqlite3.h>

namespace vesk {

namespace {

// The three tables keep no text of their own (content=''), only which rows hold each term
// (detail=none): rowids are the posts', the edits' and the threads'. A row is taken out by the
// 'delete' command with the text it was indexed with, which the triggers have.
#define VESK_INDEX_OPTIONS "content='', detail=none, columnsize=0, tokenize='vesk'"
constexpr const char* kIndexSchema[] = {
    "CREATE VIRTUAL TABLE post_text USING fts5(body, author, " VESK_INDEX_OPTIONS ")",
    "CREATE VIRTUAL TABLE change_text USING fts5(body, " VESK_INDEX_OPTIONS ")",
    "CREATE VIRTUAL TABLE thread_text USING fts5(title, " VESK_INDEX_OPTIONS ")",
    // The posts with ids up to indexed_to are in the index; complete once that is every post.
    "CREATE TABLE search_state(indexed_to INTEGER NOT NULL, complete INTEGER NOT NULL)",
    "INSERT INTO search_state VALUES (0, NOT EXISTS (SELECT 1 FROM post))",
    // A post read again unchanged is written again: only a new text is indexed anew.
    "CREATE TRIGGER post_text_changed AFTER UPDATE OF body, author ON post"
    " WHEN (OLD.body IS NOT NEW.body OR OLD.author IS NOT NEW.author)"
    " AND OLD.id <= (SELECT indexed_to FROM search_state) BEGIN"
    " INSERT INTO post_text(post_text, rowid, body, author)"
    " VALUES ('delete', OLD.id, vesk_text(OLD.body), vesk_field(OLD.author));"
    " INSERT INTO post_text(rowid, body, author)"
    " VALUES (NEW.id, vesk_text(NEW.body), vesk_field(NEW.author)); END",
    "CREATE TRIGGER post_text_gone AFTER DELETE ON post"
    " WHEN OLD.id <= (SELECT indexed_to FROM search_state) BEGIN"
    " INSERT INTO post_text(post_text, rowid, body, author)"
    " VALUES ('delete', OLD.id, vesk_text(OLD.body), vesk_field(OLD.author)); END",
    // The texts edits replaced (kind 1); a deleted post's last text is still its post's.
    "CREATE TRIGGER change_text_added AFTER INSERT ON change WHEN NEW.kind = 1 BEGIN"
    " INSERT INTO change_text(rowid, body) VALUES (NEW.id, vesk_text(NEW.body)); END",
    "CREATE TRIGGER change_text_gone AFTER DELETE ON change WHEN OLD.kind = 1 BEGIN"
    " INSERT INTO change_text(change_text, rowid, body)"
    " VALUES ('delete', OLD.id, vesk_text(OLD.body)); END",
    "CREATE TRIGGER thread_text_added AFTER INSERT ON thread BEGIN"
    " INSERT INTO thread_text(rowid, title) VALUES (NEW.id, vesk_field(NEW.title)); END",
    "CREATE TRIGGER thread_text_changed AFTER UPDATE OF title ON thread"
    " WHEN OLD.title IS NOT NEW.title BEGIN"
    " INSERT INTO thread_text(thread_text, rowid, title)"
    " VALUES ('delete', OLD.id, vesk_field(OLD.title));"
    " INSERT INTO thread_text(rowid, title) VALUES (NEW.id, vesk_field(NEW.title)); END",
    "CREATE TRIGGER thread_text_gone AFTER DELETE ON thread BEGIN"
    " INSERT INTO thread_text(thread_text, rowid, title)"
    " VALUES ('delete', OLD.id, vesk_field(OLD.title)); END",
    "INSERT INTO change_text(rowid, body) SELECT id, vesk_text(body) FROM change WHERE kind = 1",
    "INSERT INTO thread_text(rowid, title) SELECT id, vesk_field(title) FROM thread",
};
#undef VESK_INDEX_OPTIONS

// Every index this library has had: the index of three-character runs before this one kept a
// trigger for each post added.
constexpr const char* kDropIndex[] = {
    "DROP TRIGGER IF EXISTS post_text_added",
    "DROP TRIGGER IF EXISTS post_text_changed",
    "DROP TRIGGER IF EXISTS post_text_gone",
    "DROP TRIGGER IF EXISTS change_text_added",
    "DROP TRIGGER IF EXISTS change_text_gone",
    "DROP TRIGGER IF EXISTS thread_text_added",
    "DROP TRIGGER IF EXISTS thread_text_changed",
    "DROP TRIGGER IF EXISTS thread_text_gone",
    "DROP TABLE IF EXISTS post_text",
    "DROP TABLE IF EXISTS change_text",
    "DROP TABLE IF EXISTS thread_text",
    "DROP TABLE IF EXISTS search_state",
};

// The posts from above indexed_to up to nLast, and the mark moved past them.
constexpr const char kIndexPosts[] =
    "INSERT INTO post_text(rowid, body, author)"
    " SELECT id, vesk_text(body), vesk_field(author) FROM post"
    " WHERE id > (SELECT indexed_to FROM search_state) AND id <= ?";

// The bytes of the character at text[nAt]; a stray byte is a character of its own.
std::size_t CharacterLength(std::string_view text, std::size_t nAt) {
    const auto lead = static_cast<unsigned char>(text[nAt]);
    const std::size_t nLength = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    for (std::size_t i = 1; i < nLength; ++i) {
        if (nAt + i >= text.size() || (static_cast<unsigned char>(text[nAt + i]) & 0xC0) != 0x80) {
            return i;
        }
    }
    return nLength;
}

// Where a query's words part: white space, the ideographic space too.
bool IsSpace(std::string_view character) {
    return character == "\xE3\x80\x80" ||
           (character.size() == 1 &&
            std::string_view(" \t\n\r\f\v").find(character[0]) != std::string_view::npos);
}

// The characters of a text, each as its bytes.
std::vector<std::string_view> Characters(std::string_view text) {
    std::vector<std::string_view> characters;
    for (std::size_t nAt = 0; nAt < text.size();) {
        const std::size_t nLength = CharacterLength(text, nAt);
        characters.push_back(text.substr(nAt, nLength));
        nAt += nLength;
    }
    return characters;
}

// A term: one character or two neighbours (at most eight bytes), ASCII letters small.
class Term {
public:
    explicit Term(std::string_view first, std::string_view second = {}) {
        for (const std::string_view part : {first, second}) {
            for (const char c : part) {
                m_bytes[m_nSize++] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            }
        }
    }
    std::string_view Text() const { return {m_bytes.data(), m_nSize}; }

private:
    std::array<char, 8> m_bytes{};
    std::size_t m_nSize = 0;
};

// The tokenizer: a text gives each of its characters and each pair of neighbours, white space
// left out; a query's quoted string (one or two characters, from IndexTerms) gives its one term,
// or for more characters their pairs.
int Tokenize(Fts5Tokenizer*, void* pContext, int nFlags, const char* pText, int nText,
             int (*token)(void*, int, const char*, int, int, int)) {
    const std::string_view text(pText, static_cast<std::size_t>(std::max(nText, 0)));
    const bool bQuery = (nFlags & FTS5_TOKENIZE_QUERY) != 0;
    const auto give = [&](std::string_view first, std::string_view second) {
        const Term term(first, second);
        const auto nStart = static_cast<int>(first.data() - text.data());
        const auto nEnd = nStart + static_cast<int>(first.size() + second.size());
        return token(pContext, 0, term.Text().data(), static_cast<int>(term.Text().size()), nStart,
                     nEnd);
    };
    const bool bOneCharacter = !text.empty() && CharacterLength(text, 0) == text.size();
    std::string_view before;  // the character before, unless white space
    for (std::size_t nAt = 0; nAt < text.size();) {
        const std::string_view character = text.substr(nAt, CharacterLength(text, nAt));
        nAt += character.size();
        if (IsSpace(character)) {
            before = {};
            continue;
        }
        int nResult = SQLITE_OK;
        if (!before.empty()) {
            nResult = give(before, character);
        }
        if (nResult == SQLITE_OK && (!bQuery || bOneCharacter)) {
            nResult = give(character, {});
        }
        if (nResult != SQLITE_OK) {
            return nResult;
        }
        before = character;
    }
    return SQLITE_OK;
}

int CreateTokenizer(void*, const char**, int, Fts5Tokenizer** ppTokenizer) {
    // Nothing to keep: any pointer that is not null stands for the tokenizer.
    static int nTokenizer = 0;
    *ppTokenizer = reinterpret_cast<Fts5Tokenizer*>(&nTokenizer);
    return SQLITE_OK;
}

void DeleteTokenizer(Fts5Tokenizer*) {}

}  // namespace

void DefineSearchFunctions(Database& db) {
    db.DefineFunction("vesk_text", [](std::string_view body) { return ShownText(body); });
    db.DefineFunction("vesk_field", [](std::string_view field) { return FieldText(field); });
    static fts5_tokenizer tokenizer{CreateTokenizer, DeleteTokenizer, Tokenize};
    db.DefineTokenizer("vesk", tokenizer);
}

SearchIndexState ReadSearchIndex(Database& db, bool bCount) {
    SearchIndexState state;
    state.bPresent = db.QueryInt(kSearchIndexPresent) > 0;
    state.bComplete = state.bPresent && db.QueryInt("SELECT complete FROM search_state") != 0;
    state.bCaughtUp = state.bPresent && db.QueryInt(
                                            "SELECT indexed_to >= (SELECT coalesce(max(id), 0) FROM"
                                            " post) FROM search_state") != 0;
    if (state.bPresent && bCount) {
        state.nTotal = db.QueryInt("SELECT count(*) FROM post");
        state.nDone = db.QueryInt(
            "SELECT count(*) FROM post WHERE id <= (SELECT indexed_to FROM search_state)");
    }
    return state;
}

bool HasSearchIndex(Database& db) {
    return ReadSearchIndex(db).bComplete;
}

void CreateSearchIndex(Database& db) {
    DropSearchIndex(db);
    for (const char* pszSql : kIndexSchema) {
        db.Execute(pszSql);
    }
}

bool IndexMorePosts(Database& db, std::int64_t nStep) {
    const std::int64_t nLast = db.QueryInt("SELECT coalesce(max(id), 0) FROM post");
    const std::int64_t nTo =
        std::min(nLast, db.QueryInt("SELECT indexed_to FROM search_state") + nStep);
    db.Prepare(kIndexPosts).Bind(1, nTo).Run();
    const bool bCaughtUp = nTo >= nLast;
    // A complete index stays so while it takes the posts a reading left above its mark.
    db.Prepare("UPDATE search_state SET indexed_to = ?, complete = complete OR ?")
        .Bind(1, nTo)
        .Bind(2, bCaughtUp ? 1 : 0)
        .Run();
    return bCaughtUp;
}

void DropSearchIndex(Database& db) {
    for (const char* pszSql : kDropIndex) {
        db.Execute(pszSql);
    }
}

std::string IndexTerms(std::string_view word) {
    const std::vector<std::string_view> characters = Characters(word);
    std::vector<std::string> terms;
    if (characters.size() == 1) {
        terms.emplace_back(Term(characters[0]).Text());
    }
    for (std::size_t i = 0; i + 1 < characters.size(); ++i) {
        terms.emplace_back(Term(characters[i], characters[i + 1]).Text());
    }
    std::sort(terms.begin(), terms.end());
    terms.erase(std::unique(terms.begin(), terms.end()), terms.end());
    std::string strQuery;
    for (const std::string& term : terms) {
        strQuery += strQuery.empty() ? "\"" : " \"";
        for (const char c : term) {
            strQuery += c;
            if (c == '"') {
                strQuery += '"';
            }
        }
        strQuery += '"';
    }
    return strQuery;
}

}  // namespace vesk
