#pragma once

#include "session/ByteRowStore.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brivox {

// How copied bytes are written: "41 42 0D"; "AB." (bytes outside 32..126 as "."); a C
// initialiser "{0x41, 0x42, 0x0D}".
enum class CopyFormat { Hex, Text, CArray };

// Which cells of consecutive rows: a mask a row (bit n for cell n), from the first row on.
struct CCellSelection {
    int firstRow = 0;
    std::vector<uint16_t> masks;
};

// Every cell of the first rowCount rows.
CCellSelection WholeRows(int rowCount);

// A row of a list by its index, null where there is none.
using RowLookup = std::function<const CByteRow*(int row)>;

// The selected bytes, a line a row that holds any of them. Where the rows are of both kinds
// (TX and RX) each line keeps its row's label, "TX 41 42", and a C initialiser is made a row; of
// one kind, a C initialiser takes every row, a line each.
std::string TrafficText(const RowLookup& rows, const CCellSelection& cells, CopyFormat format);

// The bytes of the rows in the order they went over the line: a TX row and the RX row after it
// share their columns (a reply continues after its request's bytes), so they interleave.
std::string TrafficBytes(const RowLookup& rows, int rowCount);

// A saved list as text: the lines of a hex copy of every row, after a first line that tells
// how many older bytes the list had already dropped, when it had.
std::string SavedTrafficText(const RowLookup& rows, int rowCount, int64_t droppedBytes);

// The cells of a row that hold a byte.
uint16_t FilledCells(const CByteRow& row);

} // namespace brivox
