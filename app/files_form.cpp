// Picture files, thumbnails and capture: the File menu's load and save
// commands are built here.
#include "app/sstvform.h"

void TSSTVForm::BindFiles()
{
}
