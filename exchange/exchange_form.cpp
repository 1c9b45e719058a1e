// Sending and receiving pictures as the window sees it.
#include "app/sstvform.h"

void TSSTVForm::BindExchange()
{
}
