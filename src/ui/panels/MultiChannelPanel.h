#pragma once

#include "ui/panels/BasePanel.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

class CMultiLaser;
class CMultiTec;
class QGridLayout;
class QGroupBox;

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
    // A block frame's title from the number of the channel it drives.
    using TitleFormat = std::function<QString(int channelNumber)>;

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

    int BlockCount() const { return static_cast<int>(m_blocks.size()); }
    // The block frame of the k-th block of its kind (k counts from 0); null when there is none.
    QGroupBox* BlockFrame(EKind kind, int k) const;
    // Channels of the kind found present on the instrument; every slot while disconnected.
    int PresentChannels(EKind kind) const;
    // The one-based number of the channel the k-th block of its kind drives: the channel's own number
    // once discovery has run (channels are compacted, so a gap shifts the blocks), else k + 1.
    int ChannelNumber(EKind kind, int k) const;

protected:
    struct SBlock
    {
        EKind kind;
        int k; // index of the channel within its kind, counted from 0 over the present channels
        QGroupBox* frame;
    };

    CMultiChannelPanel(const SUiContext& context, IPanelHost& host, int index, int typeCode,
                       QWidget* parent = nullptr);

    // Derived constructors add their blocks in order (each kind counted from 0), then call FinishInit.
    SBlock& AddBlock(EKind kind, const TitleFormat& title, int row, int column);
    // The command sent before the base panel's "LOCAL" at disconnect; empty for none.
    virtual std::string DisconnectCommand() const { return {}; }
    // Makes the block's channel the selected one of its kind on the instrument.
    void SelectChannel(EKind kind, int k) const;
    CMultiTec* MultiTec() const { return m_multiTec; }
    CMultiLaser* MultiLaser() const { return m_multiLaser; }
    const std::vector<SBlock>& Blocks() const { return m_blocks; }

private:
    void ShowPresentBlocks();

    QGridLayout* m_grid = nullptr;
    std::vector<SBlock> m_blocks;
    std::vector<TitleFormat> m_titles;
    CMultiTec* m_multiTec = nullptr;
    CMultiLaser* m_multiLaser = nullptr;
};
