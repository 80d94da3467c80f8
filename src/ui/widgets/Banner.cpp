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
    title.setPointSize(20);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(18, 0, width() - 36, height()), Qt::AlignLeft | Qt::AlignVCenter,
                     "Tamrix Control");
    QFont sub = painter.font();
    sub.setPointSize(10);
    sub.setBold(false);
    painter.setFont(sub);
    painter.drawText(QRect(18, 0, width() - 36, height() - 6), Qt::AlignRight | Qt::AlignBottom,
                     "Laser and temperature controllers");
}
