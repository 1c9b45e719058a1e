// The picture editor as the window sees it: the drawing state of the working
// picture, the Cards menu, and the binding of every editor handler.
#include "app/sstvform.h"

#include "app/ansitext.h"
#include "app/guard.h"
#include "app/settingsfile.h"
#include "app/setupdlg.h"
#include "editor/canvas.h"
#include "editor/cards.h"

#include <QAction>
#include <QLineEdit>
#include <QPainter>

#include <cstring>

TCanvas &TSSTVForm::Canvas()
{
    return *Image1Canvas;
}

void TSSTVForm::BindEditor()
{
    // Pen white, width 1, brush white and solid: the state before the first drawing.
    Image1Canvas = std::make_shared<TCanvas>(&Image1);

    const std::pair<QAction *, void (TSSTVForm::*)()> items[] = {
        {Test1, &TSSTVForm::Test1Click},
        {GreyScale1, &TSSTVForm::GreyScale1Click},
        {ResolutionBars1, &TSSTVForm::ResolutionBars1Click},
        {ColourBars1, &TSSTVForm::ColourBars1Click},
        {AddGreyscale1, &TSSTVForm::AddGreyscale1Click},
        {AddCallsign1, &TSSTVForm::AddCallsign1Click},
        {AddText1, &TSSTVForm::AddText1Click},
        {AddHeader1, &TSSTVForm::AddHeader1Click},
        {AddFooter1, &TSSTVForm::AddFooter1Click},
        {FreeHand1, &TSSTVForm::FreeHand1Click},
        {Line1, &TSSTVForm::Line1Click},
        {Rectangle1, &TSSTVForm::Rectangle1Click},
        {Circle1, &TSSTVForm::Circle1Click},
        {SetPen1, &TSSTVForm::SetPen1Click},
    };
    for (const auto &[action, handler] : items) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, Handler(this, handler));
    }
    for (QAction *tool : {FreeHand1, Line1, Rectangle1, Circle1})
        tool->setCheckable(true);

    connect(ImageEnView1, &TPictureView::MouseDown, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
                Guarded([&] { ImageEnView1MouseDown(b, m, x, y); });
            });
    connect(ImageEnView1, &TPictureView::MouseMove, this, [this](Qt::KeyboardModifiers m, int x, int y) {
        Guarded([&] { ImageEnView1MouseMove(m, x, y); });
    });
    connect(ImageEnView1, &TPictureView::MouseUp, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
                Guarded([&] { ImageEnView1MouseUp(b, m, x, y); });
            });
    ImageEnView1->PaintHook = [this](QPainter &p) { Guarded([&] { ImageEnView1Paint(p); }); };
    BindEditCommands();
}

// Every card ends the same way: shown, stored into the transmit page, sized.
void TSSTVForm::CardFinish()
{
    ReloadLargeView();
    CommitWorkingPicture();
    UpdateViewSize();
}

void TSSTVForm::DrawTestCard()
{
    if (SetupDlg) {
        const QByteArray call = StringToAnsi(SetupDlg->EditCall->text()).left(StationConfig::MaxCallsign);
        std::memset(CallsignBuf, 0, sizeof CallsignBuf);
        std::memcpy(CallsignBuf, call.constData(), size_t(call.size()));
    }
    DrawStartCard();
}

// The test card from the callsign already in CallsignBuf; the settings
// dialog calls this while it is being created.
void TSSTVForm::DrawStartCard()
{
    const QString call = AnsiToString(QByteArray(CallsignBuf, int(strnlen(CallsignBuf, sizeof CallsignBuf))));
    ::DrawTestCard(Canvas(), call);
    AddGreyScaleStrip();
    CardFinish();
}

void TSSTVForm::AddGreyScaleStrip()
{
    ::AddGreyScaleStrip(Canvas());
    CardFinish();
}

void TSSTVForm::Test1Click()
{
    DrawTestCard();
}

void TSSTVForm::GreyScale1Click()
{
    DrawGreyScale(Canvas());
    CardFinish();
}

void TSSTVForm::ResolutionBars1Click()
{
    DrawResolutionBars(Canvas());
    CardFinish();
}

void TSSTVForm::ColourBars1Click()
{
    DrawColourBars(Canvas());
    CardFinish();
}

void TSSTVForm::AddGreyscale1Click()
{
    AddGreyScaleStrip();
}
