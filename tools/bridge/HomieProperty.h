#pragma once

#include <string>

// One property of a Homie node as its description announces it. Ids are topic levels: [a-z0-9-],
// no hyphen at either end.
struct SHomieProperty
{
    enum class Type
    {
        Float,
        Boolean,
        Enum,
        String
    };

    std::string id;
    std::string name;
    Type type = Type::Float;
    std::string format; // "min:max" for a float, the values joined by "," for an enum
    std::string unit;   // empty when the value has none
    bool settable = false;
    bool retained = true; // false for events (an instrument error), published once as they happen

    static const char* TypeName(Type type);
};
