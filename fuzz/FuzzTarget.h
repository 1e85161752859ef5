#pragma once

// One fuzz target is one function over an input. In the libFuzzer build each target file
// becomes an executable of its own; the tests compile every target file into one program
// that replays the inputs kept in tests/fuzz-corpus/<target>/.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using FuzzFunction = void (*)(const uint8_t* data, size_t size);

struct FuzzTargetEntry {
    const char* name;
    FuzzFunction run;
};

// Every target compiled into this program, in no particular order.
std::vector<FuzzTargetEntry>& FuzzTargets();

struct FuzzRegistrar {
    FuzzRegistrar(const char* name, FuzzFunction run) { FuzzTargets().push_back({name, run}); }
};

#ifdef KALVEX_LIBFUZZER
#define KALVEX_FUZZ_TARGET(name)                                              \
    static void Fuzz_##name(const uint8_t* data, size_t size);                \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
        Fuzz_##name(data, size);                                              \
        return 0;                                                             \
    }                                                                         \
    static void Fuzz_##name(const uint8_t* data, size_t size)
#else
#define KALVEX_FUZZ_TARGET(name)                                      \
    static void Fuzz_##name(const uint8_t* data, size_t size);        \
    static const FuzzRegistrar g_register_##name(#name, Fuzz_##name); \
    static void Fuzz_##name(const uint8_t* data, size_t size)
#endif

namespace fuzz {

// Writes the input to this process's scratch file with the given suffix and returns its
// path; the readers under test take paths.
std::u16string WriteInput(const uint8_t* data, size_t size, const char* suffix);

// Opens the dump at path, scans it, loads up to maxTables tables into the row store and
// decodes every row of each: what a user does with a file, end to end.
void OpenScanLoad(const std::u16string& path, size_t maxTables);

}  // namespace fuzz
