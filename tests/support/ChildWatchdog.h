#pragma once

#include <functional>
#include <optional>
#include <string>

// Runs body in a forked child and returns the text it gave back, or nothing when it did not
// end within seconds (the child is killed then) or died: a hang fails the test instead of
// holding the whole run.
std::optional<std::string> RunInChild(const std::function<std::string()>& body, int seconds);
