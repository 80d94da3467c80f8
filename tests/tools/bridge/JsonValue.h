#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Just enough JSON for a test to read a description document the way a consumer would: strict
// syntax, objects, arrays, strings (with \u escapes of the basic plane), numbers, literals.
struct SJsonValue
{
    enum class Kind
    {
        Null,
        Boolean,
        Number,
        String,
        Array,
        Object
    };

    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<SJsonValue> items;
    std::map<std::string, SJsonValue> members;

    // nullopt unless the whole text is one JSON value.
    static std::optional<SJsonValue> Parse(std::string_view text);
    // The member, or a null value when this is no object or has no such member.
    const SJsonValue& operator[](const std::string& name) const;
    bool Has(const std::string& name) const { return members.count(name) != 0; }
};
