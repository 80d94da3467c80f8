#pragma once

class CInstrBase;

// The instrument object of the class that models an identified unit, from the codes of its
// identification record; null when no model matches (familyCode 0: nothing identified). The caller
// owns the new object; nothing is connected.
CInstrBase* CreateInstrumentObject(int familyCode, int modelCode, int variantCode, int versionMajor);
