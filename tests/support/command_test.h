#pragma once

#include "demo_forum.h"
#include "process.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vesk::test {

// A command-line program of ours run against the demo forum on 127.0.0.1, in a fresh folder
// that also holds its library.
class CommandTest : public ::testing::Test {
protected:
    // bWithLibrary: the program is given the folder's library with --db.
    explicit CommandTest(bool bWithLibrary = true) : m_bWithLibrary(bWithLibrary) {}
    void SetUp() override { ASSERT_TRUE(forum.Start()); }

    // The program and its arguments, after the library (when it takes one) and the forum.
    std::vector<std::string> Args(const char* pszProgram, std::vector<std::string> args) const {
        std::vector<std::string> head{pszProgram};
        if (m_bWithLibrary) {
            head.insert(head.end(), {"--db", Db()});
        }
        head.insert(head.end(), {"--base", forum.BaseAddress()});
        args.insert(args.begin(), head.begin(), head.end());
        return args;
    }
    ProcessResult Run(const char* pszProgram, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {}) const {
        return RunProcess(Args(pszProgram, args), env, dir.Path());
    }
    std::string Url(const std::string& strTail) const {
        return forum.BaseAddress() + "/" + strTail;
    }
    std::string Db() const { return dir.File("library.sqlite3"); }
    // The value of a line "key TAB value" of a summary, as its bytes; "<missing>" when no line
    // has the key.
    static std::string Value(const std::string& strSummary, const std::string& strKey) {
        const std::string strLines = "\n" + strSummary;
        const std::size_t nStart = strLines.find("\n" + strKey + "\t");
        if (nStart == std::string::npos) {
            return "<missing>";
        }
        const std::size_t nValue = nStart + strKey.size() + 2;
        return strLines.substr(nValue, strLines.find('\n', nValue) - nValue);
    }

    demo::DemoForum forum;
    TempDir dir;

private:
    bool m_bWithLibrary;
};

}  // namespace vesk::test
