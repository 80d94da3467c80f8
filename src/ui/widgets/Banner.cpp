#include "ui/widgets/Banner.h"

#include <QLinearGradient>
#include <QPainter>

CBanner::CBanner(QWidget* parent) : QWidget(parent)
{
    setObjectName("banner");
    setFixedHeight(Height);
}

void CBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0.0, QColor(20, 48, 90));
    gradient.setColorAt(1.0, QColor(90, 150, 205));
    painter.fillRect(rect(), gradient);
    painter.setPen(Qt::white);
    QFont title = painter.font();
    title.setPointSize(width() < 360 ? 14 : 20);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(18, 0, width() - 36, height()), Qt::AlignLeft | Qt::AlignVCenter,
                     "Tamrix Control");
    // A window narrower than the whole title keeps the name and drops the line under it.
    if (width() < 2 * painter.fontMetrics().horizontalAdvance("Tamrix Control"))
        return;
    QFont sub = painter.font();
    sub.setPointSize(10);
    sub.setBold(false);
    painter.setFont(sub);
    painter.drawText(QRect(18, 0, width() - 36, height() - 6), Qt::AlignRight | Qt::AlignBottom,
                     "Laser and temperature controllers");
}
