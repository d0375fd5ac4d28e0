#pragma once

#include <map>
#include <string>
#include <vector>

namespace vesk::test {

struct ProcessResult {
    int nExitCode = -1;
    std::string strOut;
    std::string strErr;
};

// Runs a program to its end, in strWorkDir, with the current environment plus extra variables,
// and collects what it printed. bErrOnTerminal: its stderr is a pseudo-terminal, as a user's.
ProcessResult RunProcess(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& extraEnv = {},
                         const std::string& strWorkDir = {}, bool bErrOnTerminal = false);

// A fresh directory under the system's temporary directory, removed with its files at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& strName) const { return m_strPath + "/" + strName; }

private:
    std::string m_strPath;
};

std::string ReadFile(const std::string& strPath);

}  // namespace vesk::test
