// The picture editor as the window sees it: cards, text, drawing, edit and
// image commands.
#include "app/sstvform.h"

void TSSTVForm::BindEditor()
{
}

void TSSTVForm::DrawStartCard()
{
    // The start card is drawn once the test cards exist.
}
