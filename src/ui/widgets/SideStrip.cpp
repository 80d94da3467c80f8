#include "ui/widgets/SideStrip.h"

#include <QLinearGradient>
#include <QPainter>

CSideStrip::CSideStrip(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    setObjectName("sideStrip");
    setMinimumHeight(120);
}

void CSideStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor(28, 64, 112));
    gradient.setColorAt(1.0, QColor(70, 130, 190));
    painter.fillRect(rect(), gradient);
    QFont font = painter.font();
    font.setBold(true);
    font.setPointSize(13);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.translate(width() / 2.0, height() - 12);
    painter.rotate(-90);
    const int textHeight = painter.fontMetrics().height();
    painter.drawText(QRect(0, -textHeight / 2, height() - 24, textHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     m_text);
}
