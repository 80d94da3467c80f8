#pragma once

#include "ui/panels/BasePanel.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CLaserBlock;
class CMultiLaser;
class CMultiTec;
class CSettingsSheet;
class CTecBlock;
class CTrendRecordBar;
class QGridLayout;
class QHBoxLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The common part of the panels whose instrument carries several laser and/or TEC channels on one
// connection: one block per channel slot, built once and laid out in a grid, each block selecting its
// own channel on the instrument right before every group of reads or writes. Only the channels that
// discovery found present are shown while connected; a disconnected panel shows every slot.
class CMultiChannelPanel : public CBasePanel
{
    Q_OBJECT

public:
    enum class EKind
    {
        Laser,
        Tec
    };
    // A title from the number of the channel the block drives.
    using TitleFormat = std::function<QString(int channelNumber)>;

    // How a block looks: its frame's title, the title of its set-point group (none keeps the block's
    // own), and what the block offers.
    struct SBlockLook
    {
        TitleFormat frameTitle;
        TitleFormat setPointTitle;
        QString outputTitle;        // laser blocks: the output group's title (empty keeps the block's)
        bool settingsButton = true; // "TEC Settings..."/"AutoTune..." or "Laser Settings..."
        bool pulseModes = false;    // laser blocks: "Pulse", "Ext Trig", "Burst" and "QCW Adjust ..."
        bool auxSensors = false;    // TEC blocks: rows for further sensors
        TitleFormat outputName;     // the channel in messages; none: "Laser 2", "TEC 1"
    };

    void SetInstrument(CInstrBase* instrument) override;
    void UpdateControls() override;
    CTEC* GetTEC() const override;
    CLaser* GetLaser() const override;
    void ResetReadings() override;
    void Refresh() override;
    // Sends the panel's own disconnect command first (errors reported), then the base disconnect; every
    // block's cached set point is forgotten so that the next connection rewrites every field.
    void Disconnect() override;
    // Enter: the "Set" action of the block whose set-point field has the keyboard focus, else nothing.
    void OnSetPoint() override;
    // Each present channel's output that is on, by the channel's name in messages.
    QStringList OutputsOn() const override;
    void SwitchOutputsOff() override;

    // The frame around the k-th block of its kind (k counts from 0); null when there is none.
    QGroupBox* BlockFrame(EKind kind, int k) const;
    CTecBlock* TecBlock(int k) const;
    CLaserBlock* LaserBlock(int k) const;
    // The settings sheet of the k-th block of its kind, captioned with its channel, not yet loaded or
    // shown (the block's settings button runs it modally; tests and screenshots drive it directly).
    std::unique_ptr<CSettingsSheet> MakeSettingsSheet(EKind kind, int k);

    // "Trend" (every present channel's reading, T for the TEC channels and the mode's quantity for the
    // lasers) and "Record..." (every present channel into one CSV file, one row per refresh).
    CTrendWindow* TrendWindow() const override;
    CTrendRecordBar* Tools() const { return m_tools; }

    // Channels of the kind found present on the instrument; every slot while disconnected.
    int PresentChannels(EKind kind) const;
    // The one-based number of the channel the k-th block of its kind drives: the channel's own number
    // once discovery has run (present channels are compacted, so a gap shifts the blocks), else k + 1.
    int ChannelNumber(EKind kind, int k) const;

protected:
    struct SBlock
    {
        EKind kind;
        int k; // the channel's index within its kind, counted over the present channels
        SBlockLook look;
        QGroupBox* frame = nullptr;
        CTecBlock* tec = nullptr;
        CLaserBlock* laser = nullptr;

        QWidget* Widget() const;
        QLineEdit* SetPointEdit() const;
    };

    CMultiChannelPanel(const SUiContext& context, IPanelHost& host, int index, int typeCode,
                       QWidget* parent = nullptr);

    // Derived constructors add their blocks in order (each kind counted from 0), then call FinishInit.
    // slotCount: the model's number of channel slots of the kind.
    void AddBlock(EKind kind, int slotCount, const SBlockLook& look, int row, int column);
    // The command sent before the base panel's "LOCAL" at disconnect; empty for none.
    virtual std::string DisconnectCommand() const { return {}; }
    CMultiTec* MultiTec() const { return m_multiTec; }
    CMultiLaser* MultiLaser() const { return m_multiLaser; }
    const std::vector<SBlock>& Blocks() const { return m_blocks; }
    // Adds a button to the row of panel-wide buttons above the blocks.
    void AddPanelButton(QPushButton* button);
    // Moves that row into a free cell of the blocks' grid, where it takes no height of its own.
    void MovePanelButtonsToGrid(int row, int column);
    // The TEC blocks read the tolerance again once a settings sheet has ended.
    void ReloadTolerances();

private:
    std::function<void()> SettingsOpener(EKind kind, int k);
    void RunSettingsSheet(EKind kind, int k);
    void FeedTrend();
    int Slots(EKind kind) const;
    bool IsPresent(const SBlock& block) const;
    void ShowPresentBlocks();

    QHBoxLayout* m_buttonRow = nullptr;
    CTrendRecordBar* m_tools = nullptr;
    QGridLayout* m_grid = nullptr;
    std::vector<SBlock> m_blocks;
    CMultiTec* m_multiTec = nullptr;
    CMultiLaser* m_multiLaser = nullptr;
    bool m_previousUserFlag = false;
};
