// The words a person types for a value (an anaglyph method, a stereo layout,
// a view mode) and the value each stands for: one table per kind, read in
// both directions and listed in messages the same way for every kind.
#ifndef TESSELIN_APP_NAMES_NAMED_VALUES_H
#define TESSELIN_APP_NAMES_NAMED_VALUES_H

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tesselin {

template <typename Value>
struct Named {
    std::string_view name;
    Value value;
};

// A table is written as std::to_array<Named<Kind>>({{"name", Kind::Value}, ...}).
template <typename Value, std::size_t N>
using NameTable = std::array<Named<Value>, N>;

// The value called name (case matters), or none.
template <typename Value, std::size_t N>
constexpr std::optional<Value> ValueNamed(const NameTable<Value, N> &table, std::string_view name)
{
    for (const Named<Value> &entry : table)
        if (entry.name == name)
            return entry.value;
    return std::nullopt;
}

// The name of value, or "?" for one the table lacks.
template <typename Value, std::size_t N>
constexpr std::string_view NameIn(const NameTable<Value, N> &table, Value value)
{
    for (const Named<Value> &entry : table)
        if (entry.value == value)
            return entry.name;
    return "?";
}

// The names in table order, for messages: "a, b, c", or "a, b or c" with
// last as " or ".
template <typename Value, std::size_t N>
std::string NamesIn(const NameTable<Value, N> &table, std::string_view last = ", ")
{
    std::string list;
    for (std::size_t i = 0; i < N; i++)
        (list += i == 0 ? "" : i + 1 == N ? last : ", ") += table[i].name;
    return list;
}

} // namespace tesselin

#endif
