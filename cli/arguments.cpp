#include "arguments.h"

#include "code_page.h"
#include "exit_codes.h"
#include "request_checks.h"
#include "text_cut.h"

#include <cstdio>

namespace vesk {

std::string ReadArguments(int argc, char** argv, const ArgumentSpec& spec,
                          std::vector<std::string>& words, std::set<std::string>& given) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::optional<std::string_view> value;
        if (arg.starts_with("--")) {
            if (const std::size_t nEq = arg.find('='); nEq != std::string_view::npos) {
                value = arg.substr(nEq + 1);
                arg = arg.substr(0, nEq);
            }
        }
        if (const auto it = spec.values.find(arg); it != spec.values.end()) {
            if (!value && i + 1 >= argc) {
                return std::string(arg) + " 要一个值";
            }
            *it->second = value ? std::string(*value) : std::string(argv[++i]);
            given.emplace(arg);
        } else if (const auto flag = spec.flags.find(arg); flag != spec.flags.end() && !value) {
            *flag->second = true;
            given.emplace(arg);
        } else if (arg.starts_with("-") && arg != "-") {
            return "没有这个选项：" + std::string(arg);
        } else {
            words.emplace_back(arg);
        }
    }
    return {};
}

std::string MakeFilter(const std::string& strMode, const std::string& strNames, bool bNamesGiven,
                       PostFilter& filter, bool& bEmptyNames) {
    bEmptyNames = false;
    if (strMode != "all" && strMode != "starter" && strMode != "names") {
        return "没有这种模式：" + strMode + "（可用 all、starter 或 names）";
    }
    if (bNamesGiven && strMode != "names") {
        return "--names 只能与 --mode names 一起使用";
    }
    filter.mode = strMode == "all"       ? PostFilter::Mode::kAll
                  : strMode == "starter" ? PostFilter::Mode::kStarter
                                         : PostFilter::Mode::kNames;
    if (filter.mode != PostFilter::Mode::kNames) {
        return {};
    }
    const std::string strHalfWidth = WithHalfWidthCommas(strNames);
    const std::string_view names = TrimWhiteSpace(strHalfWidth);
    if (names.empty()) {
        bEmptyNames = true;
        return std::string(kNameListEmptyMessage);
    }
    std::optional<std::string> gbkNames = Utf8ToGbk(names);
    if (!gbkNames) {
        return "名单里有 GB2312 无法表示的字";
    }
    filter.strNameList = *std::move(gbkNames);
    return {};
}

std::optional<std::string> AcceptedThreadAddress(const std::string& strTyped,
                                                 const std::string& strBase) {
    std::optional<std::string> url = Utf8ToGbk(TrimWhiteSpace(strTyped));
    if (!url || !IsThreadAddressAccepted(*url, HostPrefixOf(strBase))) {
        return std::nullopt;
    }
    return url;
}

void PrintLine(std::string_view message) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
}

bool WritePage(const std::string& strPath, std::string_view text) {
    if (WriteResultFile(strPath, text)) {
        return true;
    }
    std::fprintf(stderr, "%.*s%s\n", static_cast<int>(kCreateFileFailedMessage.size()),
                 kCreateFileFailedMessage.data(), strPath.c_str());
    return false;
}

int StartCommand(std::string_view name, std::string_view usage, std::string_view help,
                 const std::string& strWrong, bool bHelp, const std::function<int()>& run) {
    if (!strWrong.empty()) {
        std::fprintf(stderr, "%.*s：%s\n%.*s", static_cast<int>(name.size()), name.data(),
                     strWrong.c_str(), static_cast<int>(usage.size()), usage.data());
        return kExitRejected;
    }
    if (bHelp) {
        std::fwrite(usage.data(), 1, usage.size(), stdout);
        std::fwrite(help.data(), 1, help.size(), stdout);
        return kExitDone;
    }
    return run();
}

}  // namespace vesk
