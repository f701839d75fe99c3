#pragma once

#include <memory>
#include <new>
#include <utility>

namespace XALFcl {

// The standard allocator, except that elements made without a value are
// left uninitialised: a vector of bytes that is resized only to be filled by
// a read or a copy does not clear them first.
template <class T>
class CRawAllocator : public std::allocator<T> {
public:
    template <class U>
    struct rebind {
        using other = CRawAllocator<U>;
    };

    CRawAllocator() = default;
    template <class U>
    CRawAllocator(const CRawAllocator<U>&) noexcept {}

    template <class U>
    void construct(U* at) {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};

} // namespace XALFcl
