#pragma once
// A static pixel scale along the large view: one unit per pixel, a tick
// every 10 units and a label every 40. It follows neither zoom nor scroll.
#include <QWidget>

class TRuler : public QWidget {
    Q_OBJECT
public:
    TRuler(Qt::Orientation orientation, QWidget *parent = nullptr);
    Qt::Orientation Orientation() const { return Along; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Orientation Along;
};
