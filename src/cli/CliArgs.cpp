#include "cli/CliArgs.h"

bool CCliArgs::Parse(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (m_valueOptions.count(arg) > 0) {
            if (i + 1 >= args.size()) return false;
            m_values[arg] = args[++i];
        } else if (m_flags.count(arg) > 0) {
            m_seenFlags.insert(arg);
        } else if (arg.size() > 1 && arg[0] == '-') {
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
