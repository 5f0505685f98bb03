#pragma once
// The table runner of the world tests: one body runs each row of a table of
// cases, every failure inside it marked with the row's `what`. A failed
// ASSERT ends the row, and the next row runs.
#include <gtest/gtest.h>

namespace worldtest {

template <class Rows, class Body>
void ForEachCase(const Rows& rows, Body body) {
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        body(row);
    }
}

} // namespace worldtest
