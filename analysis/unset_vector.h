// A vector whose resize leaves the new elements unset, for buffers that are
// written in full right after they grow: zeroing them first costs as much as
// the writing.
#pragma once

#include <memory>
#include <new>
#include <vector>

namespace analysis {

template <typename T>
struct UnsetAllocator : std::allocator<T> {
    UnsetAllocator() = default;
    template <typename U>
    explicit UnsetAllocator(const UnsetAllocator<U>& /*other*/) noexcept
    {
    }

    // Default-initialised: for doubles and floats, left as they are. With
    // a value, std::allocator_traits constructs as it does for any allocator.
    template <typename U>
    void construct(U* at) noexcept
    {
        ::new (static_cast<void*>(at)) U;
    }
};

template <typename T>
using UnsetVector = std::vector<T, UnsetAllocator<T>>;

}  // namespace analysis
