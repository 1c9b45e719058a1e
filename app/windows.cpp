#include "app/windows.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

TSplash1 *Splash1 = nullptr;
TAboutBox *AboutBox = nullptr;

QImage TitlePicture()
{
    QImage img(339, 145, QImage::Format_RGB888);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 145);
    g.setColorAt(0, QColor(10, 30, 90));
    g.setColorAt(1, QColor(40, 110, 200));
    p.fillRect(img.rect(), g);
    // A test-card strip: eight colour bars along the bottom.
    const QColor bars[] = {Qt::white, Qt::yellow, Qt::cyan, Qt::green,
                           Qt::magenta, Qt::red, Qt::blue, Qt::black};
    for (int i = 0; i < 8; ++i)
        p.fillRect(QRectF(i * 339.0 / 8, 120, 339.0 / 8 + 1, 25), bars[i]);
    QFont big(QStringLiteral("Liberation Sans"));
    big.setPixelSize(44);
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 8, 339, 70), Qt::AlignCenter, QStringLiteral("Telvoria"));
    QFont small(QStringLiteral("Liberation Sans"));
    small.setPixelSize(14);
    p.setFont(small);
    p.drawText(QRect(0, 72, 339, 40), Qt::AlignCenter, QStringLiteral("Internet SSTV Transceiver"));
    return img;
}

TSplash1::TSplash1() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Quorvel"));
    setFixedSize(342 + 8, 147 + 8); // 4-pixel border around the client area
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    Timer1 = new QTimer(this);
    Timer1->setInterval(3000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TSplash1::Timer1Timer);
    Timer1->start();
}

void TSplash1::Timer1Timer()
{
    hide();
}

void TSplash1::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(192, 192, 192));
    p.drawImage(QRect(4, 4, 342, 147), TitlePicture());
}

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    const QString title = QStringLiteral("Telvoria Internet SSTV Transceiver V1.8a");
    setWindowTitle(title);
    setFixedSize(336, 257);
    auto *picture = new QLabel(this);
    picture->setPixmap(QPixmap::fromImage(TitlePicture()));
    picture->setGeometry(0, 0, 339, 145);
    auto *bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 150, 320, 70);
    auto *name = new QLabel(title, bevel);
    name->setGeometry(8, 6, 304, 16);
    auto *credit = new QLabel(QStringLiteral("Written by the Telvoria developers"), bevel);
    credit->setGeometry(8, 26, 304, 16);
    auto *mail = new QLabel(QStringLiteral("E-mail: telvoria@example.org, support@example.org"), bevel);
    mail->setGeometry(8, 46, 304, 16);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(130, 226, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}
