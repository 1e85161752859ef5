#include "cli/CliArgs.h"

#include "cli/CliOutput.h"

bool CCliArgs::Parse(const std::vector<std::string>& args) {
    m_error.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (m_valueOptions.count(arg) > 0) {
            if (i + 1 >= args.size()) {
                m_error = arg + " の値がありません。";
                return false;
            }
            const std::string& value = args[++i];
            // A second value would silently win over the first; a script meant one of them.
            if (!m_values.emplace(arg, value).second) {
                m_error = arg + " が重複しています(" + value + ")。1回だけ指定してください。";
                return false;
            }
        } else if (m_flags.count(arg) > 0) {
            if (!m_seenFlags.insert(arg).second) {
                m_error = arg + " が重複しています。1回だけ指定してください。";
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            m_error = "不明なオプションです(" + arg + ")。";
            return false;
        } else {
            m_positional.push_back(arg);
        }
    }
    return true;
}

const std::string* CCliArgs::Value(const std::string& option) const {
    auto it = m_values.find(option);
    return it == m_values.end() ? nullptr : &it->second;
}

std::string BadOptionValue(const std::string& option, const std::string& value,
                           const std::string& allowed) {
    return option + " の値が不正です(" + value + ")。指定できる値: " + allowed;
}

int UsageError(const std::string& problem, const char* usage) {
    if (!problem.empty()) PrintErrUtf8(problem + "\n");
    PrintErrUtf8(usage);
    return kExitUsage;
}
