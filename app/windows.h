#pragma once
// The program's smaller windows: the splash and the about box.
#include <QDialog>
#include <QTimer>
#include <QWidget>

class TSplash1 : public QWidget {
    Q_OBJECT
public:
    TSplash1();
    void Timer1Timer();
    QTimer *Timer1 = nullptr;

protected:
    void paintEvent(QPaintEvent *) override;
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
};

// The title picture of the splash and the about box (339 by 145).
QImage TitlePicture();

extern TSplash1 *Splash1;
extern TAboutBox *AboutBox;
