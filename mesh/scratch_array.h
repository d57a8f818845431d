// Working storage kept from call to call, so that repeated work on meshes of
// one size touches memory that is already mapped. It grows when asked for
// more, gives back what it holds when asked for far less, never copies its
// contents over, and leaves new elements uninitialised.
#pragma once

#include <cstddef>
#include <memory>

#include "mesh/prefault.h"

namespace dozu {

template <typename T>
class ScratchArray {
public:
    // Room for n elements; what was there before is unspecified.
    T* take(size_t n) {
        if (n > capacity_ || capacity_ / 4 > n + kKeep) {
            data_.reset();
            capacity_ = 0;
            data_ = std::make_unique_for_overwrite<T[]>(n ? n : 1);
            capacity_ = n;
            prefault(data_.get(), n * sizeof(T));
        }
        return data_.get();
    }
    T* data() { return data_.get(); }
    size_t capacity() const { return capacity_; }

private:
    // Small arrays are kept whatever the next size.
    static constexpr size_t kKeep = (size_t(1) << 20) / sizeof(T);

    std::unique_ptr<T[]> data_;
    size_t capacity_ = 0;
};

}  // namespace dozu
