#include "app/VersionText.h"

#include "app/ProgramVersion.h"
#include "dump/InflateStream.h"

std::string VersionText(const char* program) {
    return std::string(program) + " " + kProgramVersionUtf8 + "\ninflate: " + InflateLibraryName() +
           "\n";
}
