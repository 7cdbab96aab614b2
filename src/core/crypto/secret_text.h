#pragma once
// A growable byte buffer for secrets (passwords, texts being encrypted):
// growing wipes the old storage, and the destructor wipes the current one.

#include <cstddef>
#include <memory>
#include <string_view>

namespace ciphra {

class SecretText {
public:
    SecretText() = default;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText();

    void Append(const char* bytes, std::size_t n);
    void RemoveLast() noexcept { size_ -= size_ > 0 ? 1 : 0; }
    void Clear() noexcept;
    std::string_view View() const noexcept { return {data_.get(), size_}; }
    std::size_t Size() const noexcept { return size_; }
    bool Empty() const noexcept { return size_ == 0; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace ciphra
