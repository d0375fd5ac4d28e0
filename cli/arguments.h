#pragma once

#include "result_page.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The options a command takes: those with a value (--name VALUE or --name=VALUE) and flags.
struct ArgumentSpec {
    std::map<std::string_view, std::string*> values;
    std::map<std::string_view, bool*> flags;
};

// Reads the arguments after the program's name: options into the targets the ArgumentSpec names,
// the rest into words, in order. The options given are added to given. What is wrong, or empty.
std::string ReadArguments(int argc, char** argv, const ArgumentSpec& spec,
                          std::vector<std::string>& words, std::set<std::string>& given);

// The filter of a mode (all, starter or names) and a name list typed in UTF-8 (GB2312 in the
// filter). What is wrong with them, or empty; bEmptyNames when the name list is empty.
std::string MakeFilter(const std::string& strMode, const std::string& strNames, bool bNamesGiven,
                       PostFilter& filter, bool& bEmptyNames);

// A thread address as typed (UTF-8), checked as the go button checks it: its GB2312 bytes, or
// nothing when it is rejected.
std::optional<std::string> AcceptedThreadAddress(const std::string& strTyped,
                                                 const std::string& strBase);

void PrintLine(std::string_view message);

// Writes a result page to the file; when it cannot, says so on stderr, as the window's message
// does, and gives false.
bool WritePage(const std::string& strPath, std::string_view text);

// A command's start, as every command of ours makes it. strWrong: what reading its arguments found
// wrong, or empty. With nothing wrong and --help given, the usage and the help go to stdout (exit
// 0); with something wrong, it and the usage to stderr (exit 2); else run's exit code.
int StartCommand(std::string_view name, std::string_view usage, std::string_view help,
                 const std::string& strWrong, bool bHelp, const std::function<int()>& run);

}  // namespace vesk
