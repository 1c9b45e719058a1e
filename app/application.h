#pragma once
#include <QApplication>

// The application object: its notify() is the last catch point for errors
// that escape an event handler, so no error ever ends the event loop.
class TApplication : public QApplication {
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// The program's start-up: splash, title, main window, the other windows
// hidden, and the settings dialog. Shows the error box and returns false when
// start-up fails. Needs a QApplication.
bool StartTelvoria();
// Releases every window StartTelvoria created.
void FinishTelvoria();
// The entry point's body: start-up, event loop, always 0.
int RunTelvoria(int argc, char **argv);
