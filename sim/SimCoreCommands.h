#pragma once

class CSimCommandRegistry;

// The commands every unit understands whatever its command sets: identity, error queue, interface
// settings, channel selection and stored-value access (keyed and raw).
//
// Stored values: ":GET? key" answers integers in decimal, floats as the shortest decimal that reads
// back the same, arrays and strings as hexadecimal bytes; ":PUT key,value" takes a decimal number or,
// for floats, "#E" and the 32-bit pattern; ":PUTARRAY key,offset,length,hexbytes". The prefixed forms
// (":TEC:USER", ":LAS:FACT", ...) reach only keys of their own section; the bare form reaches all.
// "!!READ address, count, area" answers count bytes (1-64) as hexadecimal without separators;
// "!!WRITE address, byte, area" stores one byte; area 7 is the user area, 8 the factory area.
// "ERRSTR?" answers the texts of the queued errors joined by "," ("No error" when empty).
void RegisterSimCoreCommands(CSimCommandRegistry& registry);
