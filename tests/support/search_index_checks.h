#pragma once

#include "search_index.h"
#include "sqlite_db.h"

#include <cstdint>
#include <string>

namespace vesk::test {

// Takes the search index out of a library, as a library made before it had none; followed by the
// steps that undo the versions before.
inline constexpr char kDropSearchIndex[] =
    "DROP TRIGGER post_text_changed; DROP TRIGGER post_text_gone;"
    "DROP TRIGGER change_text_added; DROP TRIGGER change_text_gone;"
    "DROP TRIGGER thread_text_added; DROP TRIGGER thread_text_changed;"
    "DROP TRIGGER thread_text_gone; DROP TABLE post_text; DROP TABLE change_text;"
    "DROP TABLE thread_text; DROP TABLE search_state;";

// What a library before people were kept lacks: their tables, and the author's index across
// threads in place of the one within a thread.
inline constexpr char kDropPeople[] =
    "DROP TRIGGER post_week_moved; DROP TRIGGER thread_starter_weeks; DROP TABLE activity;"
    "DROP TABLE person; DROP INDEX post_person; CREATE INDEX post_author ON post(thread, author);";

// How far the index is from what the library keeps: the terms of rows missing or left over
// against an index made anew from every post, edit and title (0 when in step), after the index's
// own integrity check and the file's. bUpToMark: of the posts only those up to the index's mark,
// as a reading cut short leaves it.
inline std::int64_t IndexDifferences(const std::string& strPath, bool bUpToMark = false) {
    Database db(strPath, false, 5000);
    DefineSearchFunctions(db);
    Statement integrity = db.Prepare("PRAGMA integrity_check");
    if (!integrity.Step() || integrity.Bytes(0) != "ok") {
        return -1;
    }
    integrity.Reset();
    std::int64_t nDifferences = 0;
    const struct {
        const char* pszTable;
        const char* pszColumns;
        const char* pszRows;
    } tables[] = {
        {"post_text", "body, author",
         bUpToMark ? "SELECT id, vesk_text(body), vesk_field(author) FROM post"
                     " WHERE id <= (SELECT indexed_to FROM search_state)"
                   : "SELECT id, vesk_text(body), vesk_field(author) FROM post"},
        {"change_text", "body", "SELECT id, vesk_text(body) FROM change WHERE kind = 1"},
        {"thread_text", "title", "SELECT id, vesk_field(title) FROM thread"},
    };
    for (const auto& table : tables) {
        const std::string strTable = table.pszTable;
        const std::string strColumns = table.pszColumns;
        db.Execute(("INSERT INTO " + strTable + "(" + strTable + ") VALUES ('integrity-check');" +
                    "CREATE VIRTUAL TABLE temp.fresh USING fts5(" + strColumns +
                    ", content='', detail=none, tokenize='vesk');" +
                    "INSERT INTO temp.fresh(rowid, " + strColumns + ") " + table.pszRows + ";" +
                    "CREATE VIRTUAL TABLE temp.kept_terms USING fts5vocab(main, " + strTable +
                    ", instance);" +
                    "CREATE VIRTUAL TABLE temp.fresh_terms USING fts5vocab(temp, fresh, instance)")
                       .c_str());
        nDifferences += db.QueryInt(
            "WITH kept AS (SELECT term, doc, count(*) FROM kept_terms GROUP BY term, doc),"
            " fresh AS (SELECT term, doc, count(*) FROM fresh_terms GROUP BY term, doc)"
            " SELECT (SELECT count(*) FROM (SELECT * FROM kept EXCEPT SELECT * FROM fresh))"
            " + (SELECT count(*) FROM (SELECT * FROM fresh EXCEPT SELECT * FROM kept))");
        db.Execute(
            "DROP TABLE temp.kept_terms; DROP TABLE temp.fresh_terms; DROP TABLE temp.fresh");
    }
    return nDifferences;
}

}  // namespace vesk::test
