#include "instrument/tec/TecTypes.h"

SSensorTypeInfo GetSensorTypeInfo(int code)
{
    switch (code)
    {
    case SensorThermistor100uA:
        return {"Therm, 100uA", 0.01, 45.0, "k\u03A9"};
    case SensorThermistor10uA:
        return {"Therm, 10uA", 0.1, 450.0, "k\u03A9"};
    case SensorLM335:
        return {"LM335", 1730.0, 4730.0, "mV"};
    case SensorAD590:
        return {"AD590", 173.0, 473.0, "\u00B5A"};
    case SensorRTD:
        return {"RTD", 20.0, 192.0, "\u03A9"};
    case SensorRTD4Wire:
        return {"RTD, 4-wire", 20.0, 192.0, "\u03A9"};
    case SensorThermistor1mA:
        return {"Therm, 1mA", 0.001, 4.5, "k\u03A9"};
    default:
        return {"", -1.0, -1.0, ""};
    }
}

int SensorMaskBit(int code)
{
    // Not in code order: the 1 mA thermistor (7) holds bit 2.
    switch (code)
    {
    case 1:
        return 0;
    case 2:
        return 1;
    case 7:
        return 2;
    case 3:
        return 3;
    case 4:
        return 4;
    case 5:
        return 5;
    case 6:
        return 6;
    case 8:
        return 7;
    default:
        return -1;
    }
}
