#pragma once

#include "ui/panels/PanelHost.h"

#include <map>
#include <string>
#include <vector>

// Records what a panel asks of its window, for tests that drive one panel alone.
class CFakePanelHost : public IPanelHost
{
public:
    struct SReplacement
    {
        int index;
        int typeCode;
        std::string descriptor;
        bool autoConnect;
    };

    void LayoutPanels() override { ++layouts; }
    bool IsAnotherPanelExpanded(const CBasePanel*) const override { return anotherExpanded; }
    void RemovePanelLater(int index) override { removed.push_back(index); }
    void ReplacePanelLater(int index, int typeCode, const std::string& descriptor, bool autoConnect) override
    {
        replacements.push_back({index, typeCode, descriptor, autoConnect});
    }

    int PanelHoldingPort(int portNumber, const CBasePanel*) const override
    {
        const auto holder = holders.find(portNumber);
        return holder == holders.end() ? -1 : holder->second;
    }
    void PortHoldersChanged() override { ++holderChanges; }

    int layouts = 0;
    int holderChanges = 0;
    // Port number -> index of the panel said to hold it.
    std::map<int, int> holders;
    bool anotherExpanded = false;
    std::vector<int> removed;
    std::vector<SReplacement> replacements;
};
