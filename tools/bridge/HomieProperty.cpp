#include "HomieProperty.h"

const char* SHomieProperty::TypeName(Type type)
{
    switch (type)
    {
    case Type::Float:
        return "float";
    case Type::Boolean:
        return "boolean";
    case Type::Enum:
        return "enum";
    case Type::String:
        return "string";
    }
    return "string";
}
