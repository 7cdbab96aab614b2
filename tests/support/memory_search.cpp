#include "support/memory_search.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>

#include "core/crypto/wipe.h"

namespace ciphra::test {
namespace {

constexpr std::size_t StackSpan = 256 * 1024;

struct Marker {
    const char* Name;
    unsigned char Bytes[20];
    std::size_t Size;
};

// Kept in static storage: neither on the stack nor on the heap searched.
Marker markers[8];
std::size_t markerCount = 0;
std::atomic<bool> searchingFreedBlocks{false};
std::atomic<int> freedBlockHit{-1};

// The first marker found in `area` and where (at *offset), or -1.
__attribute__((no_sanitize("address"))) int FindMarker(const unsigned char* area, std::size_t size,
                                                       std::size_t* offset = nullptr)
{
    for (std::size_t m = 0; m < markerCount; ++m) {
        const Marker& marker = markers[m];
        for (std::size_t i = 0; i + marker.Size <= size; ++i) {
            std::size_t j = 0;
            while (j < marker.Size && area[i + j] == marker.Bytes[j]) {
                ++j;
            }
            if (j == marker.Size) {
                if (offset != nullptr) {
                    *offset = i;
                }
                return static_cast<int>(m);
            }
        }
    }
    return -1;
}

// Zeroes the stack below the caller, so that what is found there afterwards
// was left by the code.
__attribute__((noinline)) void ClearStackBelow()
{
    unsigned char area[StackSpan];
    SecureWipe(area, sizeof area);
}

// Searches the stack below the caller; *depth tells how far down a find is.
__attribute__((noinline, no_sanitize("address"))) int StackHit(std::size_t* depth)
{
    const auto* top = static_cast<const unsigned char*>(__builtin_frame_address(0));
    std::size_t offset = 0;
    const int hit = FindMarker(top - StackSpan, StackSpan, &offset);
    *depth = StackSpan - offset;
    return hit;
}

} // namespace

void AddSecretMarker(const char* name, const void* bytes, std::size_t size)
{
    Marker& marker = markers[markerCount++];
    marker.Name = name;
    marker.Size = size < sizeof marker.Bytes ? size : sizeof marker.Bytes;
    std::memcpy(marker.Bytes, bytes, marker.Size);
}

bool HaveSecretMarkers()
{
    return markerCount > 0;
}

__attribute__((noinline)) std::string SecretsLeftBehind(const std::function<void()>& code)
{
    ClearStackBelow();
    freedBlockHit = -1;
    searchingFreedBlocks = true;
    code();
    searchingFreedBlocks = false;
    std::size_t depth = 0;
    const int onStack = StackHit(&depth);
    if (onStack >= 0) {
        return "on the stack, " + std::to_string(depth) + " bytes down: " + markers[onStack].Name;
    }
    const int freed = freedBlockHit.exchange(-1);
    return freed >= 0 ? std::string("in a freed block: ") + markers[freed].Name : "";
}

// Out of line, so that the compiler does not pair malloc with delete.
__attribute__((noinline)) void* AcquireBlock(std::size_t size)
{
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

__attribute__((noinline)) void ReleaseBlock(void* block) noexcept
{
    if (block != nullptr && searchingFreedBlocks) {
        const int hit =
            FindMarker(static_cast<const unsigned char*>(block), malloc_usable_size(block));
        if (hit >= 0) {
            freedBlockHit = hit;
        }
    }
    std::free(block);
}

} // namespace ciphra::test

void* operator new(std::size_t size)
{
    return ciphra::test::AcquireBlock(size);
}

void* operator new[](std::size_t size)
{
    return ciphra::test::AcquireBlock(size);
}

void operator delete(void* block) noexcept
{
    ciphra::test::ReleaseBlock(block);
}

void operator delete[](void* block) noexcept
{
    ciphra::test::ReleaseBlock(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    ciphra::test::ReleaseBlock(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    ciphra::test::ReleaseBlock(block);
}
