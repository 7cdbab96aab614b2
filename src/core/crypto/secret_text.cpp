#include "core/crypto/secret_text.h"

#include <algorithm>
#include <cstring>

#include "core/crypto/wipe.h"

namespace ciphra {

SecretText::~SecretText()
{
    if (data_) {
        SecureWipe(data_.get(), capacity_);
    }
}

void SecretText::Append(const char* bytes, std::size_t n)
{
    if (size_ + n > capacity_) {
        const std::size_t capacity = std::max<std::size_t>(64, 2 * (size_ + n));
        auto grown = std::make_unique<char[]>(capacity);
        if (size_ > 0) {
            std::memcpy(grown.get(), data_.get(), size_);
        }
        if (data_) {
            SecureWipe(data_.get(), capacity_);
        }
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    if (n > 0) {
        std::memcpy(data_.get() + size_, bytes, n);
    }
    size_ += n;
}

void SecretText::Clear() noexcept
{
    if (data_) {
        SecureWipe(data_.get(), capacity_);
    }
    size_ = 0;
}

} // namespace ciphra
