// Port descriptors as typed by a person or stored by a panel: the lenient and the exact parser, and
// the number rules. An exact descriptor must also pass the lenient parser with the same fields.
#include "FuzzInput.h"
#include "comm/PortDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CFuzzInput input(data, size);
    const std::string_view text = input.Text();
    const auto lenient = PortDescriptor::Parse(text);
    const auto exact = PortDescriptor::ParseExact(text);
    if (exact && (!lenient || lenient->kind != exact->kind || lenient->first != exact->first))
        __builtin_trap();
    if (lenient)
    {
        (void)PortDescriptor::ToInt(lenient->first);
        (void)PortDescriptor::ToInt(lenient->second);
    }
    (void)PortDescriptor::ToInt(text);
    return 0;
}
