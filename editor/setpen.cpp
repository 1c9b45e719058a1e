#include "editor/setpen.h"

TSetPen *SetPen = nullptr;

TSetPen::TSetPen(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Pen Select"));
}
