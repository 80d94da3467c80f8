#pragma once

#include <QWidget>

// The coloured strip at a panel's left edge, with the kind of instrument written upwards, so a
// collapsed panel still says what it is.
class CSideStrip : public QWidget
{
    Q_OBJECT

public:
    CSideStrip(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};
