#include "editor/addtext.h"

TAddText *AddText = nullptr;

TAddText::TAddText(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("AddText"));
}
