#include "process.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

extern char** environ;

namespace vesk::test {

TempDir::TempDir() {
    std::string strTemplate =
        (std::filesystem::temp_directory_path() / "vesk-test-XXXXXX").string();
    if (mkdtemp(strTemplate.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    m_strPath = strTemplate;
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_strPath, error);
}

std::string ReadFile(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

ProcessResult RunProcess(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& extraEnv,
                         const std::string& strWorkDir, bool bErrOnTerminal) {
    TempDir output;
    const std::string strOut = output.File("stdout");
    const std::string strErr = output.File("stderr");
    // Everything the child needs is made before fork: other threads may hold locks then.
    std::map<std::string, std::string> env;
    for (char** p = environ; *p != nullptr; ++p) {
        const std::string strEntry = *p;
        const std::size_t nEq = strEntry.find('=');
        env[strEntry.substr(0, nEq)] = nEq == std::string::npos ? "" : strEntry.substr(nEq + 1);
    }
    for (const auto& [strName, strValue] : extraEnv) {
        env[strName] = strValue;
    }
    std::vector<std::string> envEntries;
    for (const auto& [strName, strValue] : env) {
        envEntries.push_back(strName + "=" + strValue);
    }
    std::vector<char*> envp;
    for (std::string& strEntry : envEntries) {
        envp.push_back(strEntry.data());
    }
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (const std::string& strArg : args) {
        argv.push_back(const_cast<char*>(strArg.c_str()));
    }
    argv.push_back(nullptr);
    const int nOut = open(strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int nErr = open(strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int nTerminal = -1;
    if (bErrOnTerminal) {
        close(nErr);
        if (openpty(&nTerminal, &nErr, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("cannot open a pseudo-terminal");
        }
    }

    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("cannot fork");
    }
    if (pid == 0) {
        if ((!strWorkDir.empty() && chdir(strWorkDir.c_str()) != 0) || dup2(nOut, 1) < 0 ||
            dup2(nErr, 2) < 0) {
            _exit(127);
        }
        if (nTerminal >= 0) {
            close(nTerminal);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(nOut);
    close(nErr);
    ProcessResult result;
    // The terminal is read as the program writes (it would wait when full) until it closes.
    char buffer[4096];
    for (ssize_t nRead = 0;
         nTerminal >= 0 && (nRead = read(nTerminal, buffer, sizeof buffer)) > 0;) {
        result.strErr.append(buffer, static_cast<std::size_t>(nRead));
    }
    if (nTerminal >= 0) {
        close(nTerminal);
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    result.nExitCode = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    result.strOut = ReadFile(strOut);
    result.strErr += bErrOnTerminal ? std::string() : ReadFile(strErr);
    return result;
}

}  // namespace vesk::test
