#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets or clears an environment variable for one test and puts the old state back.
class ScopedEnv {
public:
    explicit ScopedEnv(const char* name) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
    }
    ~ScopedEnv() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const std::string& value) { ::setenv(m_name, value.c_str(), 1); }
    void Unset() { ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
