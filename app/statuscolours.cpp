#include "app/statuscolours.h"

#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>

void SetTextColour(QWidget *widget, const QColor &colour)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Text, colour);
    pal.setColor(QPalette::ButtonText, colour);
    widget->setPalette(pal);
}

void ShowStatus(QLineEdit *field, const QString &text, const QColor &colour)
{
    SetTextColour(field, colour);
    field->setText(text);
}

void DrawPictureAt00(QImage &target, const QImage &source)
{
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, source);
}
