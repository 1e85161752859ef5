#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dump/DumpModel.h"

// One line of the properties window: the control's id, its label and its value.
struct PropertyLine {
    int id;
    std::u16string label;
    std::u16string value;
};

// The eight properties of a dump, top to bottom.
std::vector<PropertyLine> BuildPropertyLines(const DumpInfo& info, uint64_t tableCount);
