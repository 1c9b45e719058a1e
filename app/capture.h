#pragma once
// Scanner and camera acquisition through SANE. No widget: the window lets the
// operator choose among ListCaptureDevices() and calls AcquirePicture.
#include <QImage>
#include <QList>
#include <QString>

struct TCaptureDevice {
    QString Name;        // what AcquirePicture takes, e.g. "test:0"
    QString Description; // vendor, model and kind, for the operator
};

// The devices SANE finds now. Throws TError when SANE cannot start.
QList<TCaptureDevice> ListCaptureDevices();

// Acquires one picture from the named device, as Format_RGB888. Throws TError
// when the device cannot be opened or fails during the scan, or sends a
// picture larger than 8192 by 8192 or of a form the program does not read.
QImage AcquirePicture(const QString &deviceName);
