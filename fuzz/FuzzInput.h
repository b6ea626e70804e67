// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a fuzzer's input as a script of small values. An exhausted input
// reads as zeros, so every input is a valid script.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>

namespace rvz::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_rest(data, size) {}

    bool Empty() const { return m_rest.empty(); }

    std::uint8_t Byte()
    {
        if (m_rest.empty())
            return 0;
        const std::uint8_t byte = m_rest.front();
        m_rest = m_rest.subspan(1);
        return byte;
    }

    template <typename T>
    T Integral()
    {
        static_assert(std::is_integral_v<T>);
        std::uint8_t bytes[sizeof(T)]{};
        for (auto& byte : bytes)
            byte = Byte();
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    // A length byte (at most maxLength), then that many bytes.
    std::string String(std::size_t maxLength = 64)
    {
        const std::size_t length = std::min<std::size_t>(Byte(), maxLength);
        std::string text;
        for (std::size_t i = 0; i < length && !m_rest.empty(); ++i)
            text += static_cast<char>(Byte());
        return text;
    }

    std::span<const std::uint8_t> Rest()
    {
        const auto rest = m_rest;
        m_rest = {};
        return rest;
    }

private:
    std::span<const std::uint8_t> m_rest;
};

// A property that must hold; a violation aborts, so the fuzzer keeps the input.
#define RVZ_FUZZ_REQUIRE(condition)                                                                   \
    do {                                                                                             \
        if (!(condition)) {                                                                          \
            std::fprintf(stderr, "property violated at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                            \
        }                                                                                            \
    } while (false)

}  // namespace rvz::fuzz
