#pragma once
// The thumbnail browser "Load Thumbnails".
#include <QDialog>

class TThumbs : public QDialog {
    Q_OBJECT
public:
    explicit TThumbs(QWidget *parent = nullptr);
};

extern TThumbs *Thumbs;
