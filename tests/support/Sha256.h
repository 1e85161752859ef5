#pragma once

#include <string>

// SHA-256 of bytes as 64 lower-case hex digits (what sha256sum prints).
std::string Sha256Hex(const std::string& bytes);
