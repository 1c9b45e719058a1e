#pragma once
#include <QDialog>

class TAddText : public QDialog {
    Q_OBJECT
public:
    explicit TAddText(QWidget *parent = nullptr);
};

extern TAddText *AddText;
