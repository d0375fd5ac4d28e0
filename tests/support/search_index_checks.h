#pragma once

#include "post_search.h"
#include "sqlite_db.h"

#include <cstdint>
#include <string>

namespace vesk::test {

// Takes the search index out of a library, as a library made before it had none; followed by the
// steps that undo the versions before.
inline constexpr char kDropSearchIndex[] =
    "DROP TRIGGER post_text_added; DROP TRIGGER post_text_changed; DROP TRIGGER post_text_gone;"
    "DROP TRIGGER change_text_added; DROP TRIGGER change_text_gone;"
    "DROP TRIGGER thread_text_added; DROP TRIGGER thread_text_changed;"
    "DROP TRIGGER thread_text_gone; DROP TABLE post_text; DROP TABLE change_text;"
    "DROP TABLE thread_text;";

// How far the index is from what the library keeps, by a scan of every post, edit and title: the
// rows missing, differing or left over (0 when in step), after the index's own integrity check
// and the file's.
inline std::int64_t IndexDifferences(const std::string& strPath) {
    Database db(strPath, false, 5000);
    DefineSearchFunctions(db);
    Statement integrity = db.Prepare("PRAGMA integrity_check");
    if (!integrity.Step() || integrity.Bytes(0) != "ok") {
        return -1;
    }
    integrity.Reset();
    for (const char* pszTable : {"post_text", "change_text", "thread_text"}) {
        db.Execute(("INSERT INTO " + std::string(pszTable) + "(" + pszTable +
                    ") VALUES ('integrity-check')")
                       .c_str());
    }
    return db.QueryInt(
        "SELECT (SELECT count(*) FROM post p LEFT JOIN post_text s ON s.rowid = p.id"
        "  WHERE s.body IS NOT vesk_text(p.body) OR s.author IS NOT vesk_field(p.author))"
        " + (SELECT count(*) FROM post_text WHERE rowid NOT IN (SELECT id FROM post))"
        " + (SELECT count(*) FROM change c LEFT JOIN change_text s ON s.rowid = c.id"
        "  WHERE c.kind = 1 AND s.body IS NOT vesk_text(c.body))"
        " + (SELECT count(*) FROM change_text WHERE rowid NOT IN"
        "  (SELECT id FROM change WHERE kind = 1))"
        " + (SELECT count(*) FROM thread t LEFT JOIN thread_text s ON s.rowid = t.id"
        "  WHERE s.title IS NOT vesk_field(t.title))"
        " + (SELECT count(*) FROM thread_text WHERE rowid NOT IN (SELECT id FROM thread))");
}

}  // namespace vesk::test
