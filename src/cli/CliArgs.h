#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// Command arguments: positional words, options that take a value and bare flags.
class CCliArgs {
public:
    CCliArgs(std::set<std::string> valueOptions, std::set<std::string> flags)
        : m_valueOptions(std::move(valueOptions)), m_flags(std::move(flags)) {}

    // False on an unknown option, an option without its value or an option given twice;
    // Error() then says which.
    bool Parse(const std::vector<std::string>& args);
    const std::string& Error() const { return m_error; }

    const std::vector<std::string>& Positional() const { return m_positional; }
    bool Has(const std::string& option) const {
        return m_values.count(option) > 0 || m_seenFlags.count(option) > 0;
    }
    const std::string* Value(const std::string& option) const;

private:
    std::set<std::string> m_valueOptions;
    std::set<std::string> m_flags;
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_seenFlags;
    std::string m_error;
};

// The line that says what is wrong with an option's value.
std::string BadOptionValue(const std::string& option, const std::string& value,
                           const std::string& allowed);
// Prints the problem (when there is one) and the command's usage on stderr; gives the exit
// code of a usage error.
int UsageError(const std::string& problem, const char* usage);
