#include "editor/ruler.h"

#include <QFont>
#include <QPainter>

TRuler::TRuler(Qt::Orientation orientation, QWidget *parent) : QWidget(parent), Along(orientation)
{
    QFont f(QStringLiteral("MS Serif"));
    f.setPixelSize(8);
    setFont(f);
}

void TRuler::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Light));
    p.setPen(palette().color(QPalette::WindowText));
    const bool across = Along == Qt::Horizontal;
    const int length = across ? width() : height();
    const int depth = across ? height() : width();
    for (int u = 0; u < length; u += 10) {
        const bool labelled = u % 40 == 0;
        const int tick = labelled ? depth / 2 : depth / 4;
        if (across) {
            p.drawLine(u, depth - tick, u, depth - 1);
            if (labelled)
                p.drawText(QPoint(u + 2, 8), QString::number(u));
        } else {
            p.drawLine(depth - tick, u, depth - 1, u);
            if (labelled) {
                // Vertical labels run down the ruler.
                p.save();
                p.translate(8, u + 2);
                p.rotate(90);
                p.drawText(QPoint(0, 0), QString::number(u));
                p.restore();
            }
        }
    }
}
