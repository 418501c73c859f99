// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "counting_allocator.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long long> g_liveBytes{0};
std::atomic<long long> g_liveBlocks{0};
std::atomic<long long> g_allocations{0};

// Each block carries its size in front, aligned as operator new must align.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* countedAlloc(std::size_t size) noexcept {
    void* block = std::malloc(size + kHeader);
    if (!block)
        return nullptr;
    *static_cast<std::size_t*>(block) = size;
    g_liveBytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed);
    g_liveBlocks.fetch_add(1, std::memory_order_relaxed);
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return static_cast<char*>(block) + kHeader;
}

void countedFree(void* p) noexcept {
    if (!p)
        return;
    void* block = static_cast<char*>(p) - kHeader;
    g_liveBytes.fetch_sub(static_cast<long long>(*static_cast<std::size_t*>(block)),
                          std::memory_order_relaxed);
    g_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

void* countedNew(std::size_t size) {
    if (void* p = countedAlloc(size))
        return p;
    throw std::bad_alloc();
}

} // namespace

namespace rotavel::testing {

HeapCounts heapCounts() {
    return {g_allocations.load(), g_liveBytes.load(), g_liveBlocks.load()};
}

} // namespace rotavel::testing

void* operator new(std::size_t size) {
    return countedNew(size);
}
void* operator new[](std::size_t size) {
    return countedNew(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return countedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return countedAlloc(size);
}
void operator delete(void* p) noexcept {
    countedFree(p);
}
void operator delete[](void* p) noexcept {
    countedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    countedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    countedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    countedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    countedFree(p);
}
