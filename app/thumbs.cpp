#include "app/thumbs.h"

TThumbs *Thumbs = nullptr;

TThumbs::TThumbs(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Load Thumbnails"));
}
