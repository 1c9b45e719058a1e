#pragma once
#include <QDialog>

class TSetPen : public QDialog {
    Q_OBJECT
public:
    explicit TSetPen(QWidget *parent = nullptr);
};

extern TSetPen *SetPen;
