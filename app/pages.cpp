// The working picture, the eight pages and the two views.
#include "app/sstvform.h"
#include "app/statuscolours.h"

#include "app/guard.h"

#include <QAction>
#include <QMenu>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace {

QImage Stretched(const QImage &source, QSize size)
{
    return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB888);
}
} // namespace

void TSSTVForm::BindPages()
{
    for (int i = 0; i < 4; ++i) {
        connect(RxButtons[i], &QToolButton::clicked, this, [this, i] {
            Guarded([this, i] { RxPageButtonClick(i); });
        });
        connect(TxButtons[i], &QToolButton::clicked, this, [this, i] {
            Guarded([this, i] { TxPageButtonClick(i); });
        });
    }
    // Only the button just checked reacts, as a click does.
    connect(RadioButton3, &QRadioButton::clicked, this, Handler(this, &TSSTVForm::RadioButton3Click));
    connect(SmallPic, &QRadioButton::clicked, this, Handler(this, &TSSTVForm::SmallPicClick));
}

void TSSTVForm::CommitWorkingPicture()
{
    if (TxPageShown)
        DrawPictureAt00(TxPages[TxPageIndex], Image1);
    ReloadLargeView();
    UpdateViewSize();
    LoadPict1->setEnabled(true);
    LoadThumbs1->setEnabled(true);
    SendTo->setEnabled(StationSelected);
    SendToRX->setEnabled(LastRxKnown);
    SendToIP->setEnabled(true);
    TxPageShown = true;
}

void TSSTVForm::ReloadLargeView()
{
    ImageEnView1->Assign(Image1);
}

void TSSTVForm::EnterReceiveView()
{
    CommitWorkingPicture();
    ReloadLargeView();
    UpdateViewSize();
    ReleaseTxButtons();
    SendTo->setEnabled(false);
    SendToRX->setEnabled(false);
    SendToIP->setEnabled(false);
    LoadPict1->setEnabled(false);
    LoadThumbs1->setEnabled(false);
    SkipTxCommit = true;
}

void TSSTVForm::ReleaseRxButtons()
{
    for (QToolButton *b : RxButtons)
        b->setChecked(false);
}

void TSSTVForm::ReleaseTxButtons()
{
    for (QToolButton *b : TxButtons)
        b->setChecked(false);
    TxPageShown = false;
}

// A group of toggle buttons where at most one is down: Qt has already
// toggled the clicked one, so only the others need to go up.
static void KeepOnlyDown(const std::array<QToolButton *, 4> &group, int n)
{
    for (int i = 0; i < 4; ++i)
        if (i != n)
            group[i]->setChecked(false);
}

void TSSTVForm::TxPageButtonClick(int n)
{
    KeepOnlyDown(TxButtons, n);
    CommitWorkingPicture();
    ReleaseRxButtons();
    TxPageIndex = uint8_t(n);
    for (int i = 0; i < 4; ++i)
        SetPageCaptionColour(TxButtons[i], i == n ? QColor(Qt::red) : QColor(Qt::black));
    DrawPictureAt00(Image1, TxPages[n]);
    ImageEnView1->Assign(TxPages[n]);
    UpdateViewSize();
}

void TSSTVForm::RxPageButtonClick(int n)
{
    KeepOnlyDown(RxButtons, n);
    EnterReceiveView();
    RxPageIndex = uint8_t(n);
    DrawPictureAt00(Image1, RxPages[n]);
    ImageEnView1->Assign(RxPages[n]);
    for (int i = 0; i < 4; ++i)
        SetPageCaptionColour(RxButtons[i], i == n ? QColor(Qt::blue) : QColor(Qt::black));
    UpdateViewSize();
}

void TSSTVForm::UpdateViewSize()
{
    if (SmallPic->isChecked()) {
        Image3 = Stretched(Image1, Image3.size());
        ImageEnView2->Assign(Image3);
        SizeLabel->setText(QStringLiteral("320 by 256 Pixels"));
        SizeLabel->adjustSize();
        ImageEnView1->hide();
        ImageEnView2->show();
        ImageEnView1->update();
        Edit1->setEnabled(false);
        for (QMenu *m : {ImageMenu, TestCards1, Text1})
            m->setEnabled(!SmallZoomed);
    } else {
        SizeLabel->setText(QStringLiteral("512 by 384 Pixels"));
        SizeLabel->adjustSize();
        ImageEnView1->show();
        ImageEnView2->hide();
        ImageEnView1->update();
        for (QMenu *m : {Edit1, ImageMenu, TestCards1, Text1})
            m->setEnabled(!LargeZoomed);
    }
}

void TSSTVForm::FitPageToWorkingPicture(QImage &page)
{
    DrawPictureAt00(Image1, Stretched(page, Image1.size()));
    page = QImage(Image1.width(), Image1.height(), QImage::Format_RGB888);
    DrawPictureAt00(page, Image1);
}

void TSSTVForm::RadioButton3Click()
{
    UpdateViewSize();
}

void TSSTVForm::SmallPicClick()
{
    UpdateViewSize();
}
