#pragma once

#include <QWidget>

// The strip across the top of the main window: the program's name on the house colours.
class CBanner : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Height = 56;

    explicit CBanner(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
