// The directory service as the window sees it.
#include "app/sstvform.h"

#include <QCoreApplication>

void TSSTVForm::BindDirectory()
{
}

void TSSTVForm::StartDirectoryRequest()
{
    // No directory exchange can be under way before the station goes on line.
}

void TSSTVForm::WaitWhileDirectoryBusy()
{
    while (DirectoryBusy)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}
