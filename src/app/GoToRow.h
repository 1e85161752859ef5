#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CDumpSession;

// Jumping to a row by its number in the table (the grid's "#"), wherever the current
// view (filtered, or put into another order) shows it.

// The question asked: "行番号(1 - N)" with N the table's row count.
std::u16string MakeGoToRowPrompt(uint64_t tableRowCount);

// A row number as typed: digits (full-width ones too), thousands separators allowed, spaces
// around it ignored. False when the text is not such a number or does not fit.
bool ParseRowNumber(const std::u16string& text, uint64_t& number);

// Where the row typed as answer is shown, or the message to show instead.
struct GoToRowTarget {
    bool found = false;
    size_t viewIndex = 0;  // position in the view
    size_t pageStart = 0;  // start of the page that holds it
    std::u16string message;
};
// Looks the row up through the session's view, so any view order works. The page is the
// one of pageSize rows, counted from the first view row, that holds it.
GoToRowTarget FindGoToRowTarget(const CDumpSession& session, const std::u16string& answer,
                                size_t pageSize);
