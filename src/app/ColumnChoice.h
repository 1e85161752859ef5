#pragma once

#include <cstddef>
#include <vector>

// The column chooser's rules: a column is checked when the grid shows it, and the choice
// comes back in table order whatever order the grid used.

// checked[i] is true when position i occurs in visible; positions out of range are ignored.
std::vector<bool> CheckedColumns(size_t columnCount, const std::vector<int>& visible);

// The positions of the checked columns, in table order; empty when none is checked.
std::vector<int> ChosenColumns(const std::vector<bool>& checked);
