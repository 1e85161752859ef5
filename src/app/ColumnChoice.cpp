#include "app/ColumnChoice.h"

std::vector<bool> CheckedColumns(size_t columnCount, const std::vector<int>& visible) {
    std::vector<bool> checked(columnCount, false);
    for (int position : visible) {
        if (position >= 0 && static_cast<size_t>(position) < columnCount) checked[position] = true;
    }
    return checked;
}

std::vector<int> ChosenColumns(const std::vector<bool>& checked) {
    std::vector<int> chosen;
    for (size_t i = 0; i < checked.size(); ++i) {
        if (checked[i]) chosen.push_back(static_cast<int>(i));
    }
    return chosen;
}
