// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

// Linking `rotavel_counting_allocator` into a test program replaces the global operator new and
// delete with versions that count, so a test can show that something allocates nothing, or that
// the heap does not grow.
namespace rotavel::testing {

struct HeapCounts {
    long long allocations = 0; // operator new calls so far
    long long liveBytes = 0;   // bytes from operator new not yet deleted
    long long liveBlocks = 0;  // blocks from operator new not yet deleted
};

HeapCounts heapCounts();

} // namespace rotavel::testing
