#include "app/sstvform.h"
#include "app/statuscolours.h"

#include "app/guard.h"
#include "app/listenaddress.h"
#include "app/windows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QToolButton>

TSSTVForm *SSTVForm = nullptr;

namespace {

QFont PixelFont(int pixels, bool bold)
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void Fill(QWidget *w, const QColor &colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

template <class W>
W *Place(W *w, int x, int y, int width, int height)
{
    w->setGeometry(x, y, width, height);
    return w;
}

QLabel *AddLabel(QWidget *parent, const QString &text, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

// A panel with its title label at the top, flanked by thin black lines.
QFrame *AddPanel(QWidget *parent, const QString &title, const QColor &colour, int x, int y, int w, int h)
{
    auto *panel = Place(new QFrame(parent), x, y, w, h);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Fill(panel, colour);
    if (!title.isEmpty()) {
        auto *label = new QLabel(title, panel);
        label->adjustSize();
        const int lx = (w - label->width()) / 2;
        label->move(lx, 1);
        for (const QRect line : {QRect(4, 8, lx - 8, 1), QRect(lx + label->width() + 4, 8, w - lx - label->width() - 8, 1)}) {
            auto *rule = Place(new QFrame(panel), line.x(), line.y(), std::max(0, line.width()), 1);
            Fill(rule, Qt::black);
        }
    }
    return panel;
}

QLineEdit *AddStatus(QWidget *parent, const QString &text, const QColor &colour, int x, int y, int w, int h)
{
    auto *e = Place(new QLineEdit(text, parent), x, y, w, h);
    e->setReadOnly(true);
    e->setFont(PixelFont(15, true));
    e->setFocusPolicy(Qt::NoFocus);
    SetTextColour(e, colour);
    return e;
}

QToolButton *AddPageButton(QWidget *parent, int n, int x, int w)
{
    auto *b = Place(new QToolButton(parent), x, 18, w, 25);
    b->setText(QStringLiteral("Page %1").arg(n));
    b->setCheckable(true);
    b->setAutoRaise(false);
    return b;
}
} // namespace

TSSTVForm::TSSTVForm(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Telvoria - Internet SSTV Transceiver V1.8a"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    Image1 = QImage(512, 384, QImage::Format_RGB888);
    Image1.fill(Qt::black);
    Image3 = QImage(320, 256, QImage::Format_RGB888);
    Image3.fill(Qt::black);
    BuildControls();
    BuildMenu();
    setFixedSize(790, 546 + menuBar()->sizeHint().height());
    move(193, 114);

    NameControls();
    BindPages();
    BindFiles();
    BindDirectory();
    BindExchange();
    BindEditor();
    connect(Exit1, &QAction::triggered, this, Handler(this, &TSSTVForm::Exit1Click));
    connect(About1, &QAction::triggered, this, Handler(this, &TSSTVForm::About1Click));
    connect(Callsign1, &QAction::triggered, this, Handler(this, &TSSTVForm::Callsign1Click));

    FormCreate();
}

TSSTVForm::~TSSTVForm()
{
    if (SSTVForm == this)
        SSTVForm = nullptr;
}

void TSSTVForm::BuildControls()
{
    Client = new QWidget(this);
    Client->setFixedSize(790, 546);
    setCentralWidget(Client);
    QWidget *c = Client;

    Label1 = AddLabel(c, QStringLiteral("SSTV Stations On Line "), 64, 0);

    CallList1 = Place(new QTableWidget(1, 3, c), 6, 16, 258, 385);
    CallList1->verticalHeader()->hide();
    CallList1->verticalHeader()->setDefaultSectionSize(15);
    CallList1->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    CallList1->horizontalHeader()->setFixedHeight(15);
    CallList1->horizontalHeader()->setHighlightSections(false);
    CallList1->horizontalHeader()->setMinimumSectionSize(0);
    CallList1->setColumnWidth(0, 65);
    CallList1->setColumnWidth(1, 2);
    CallList1->setColumnWidth(2, 628);
    CallList1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CallList1->setSelectionMode(QAbstractItemView::SingleSelection);
    CallList1->setCursor(Qt::PointingHandCursor);
    CallList1->setShowGrid(true);
    CallList1->setStyleSheet(QStringLiteral(
        "QTableWidget { background-color: rgb(192,192,192); color: black; gridline-color: gray; }"
        "QHeaderView::section { background-color: rgb(255,255,225); color: black; border: 0px;"
        " border-right: 1px solid gray; border-bottom: 1px solid gray; padding: 0px; }"));

    LogMemo = Place(new QPlainTextEdit(c), 6, 16, 259, 390);
    LogMemo->setPlainText(QString());
    LogMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogMemo->hide();

    Shape1 = Place(new QFrame(c), 271, 14, 514, 4);
    Shape2 = Place(new QFrame(c), 271, 402, 514, 4);
    Shape3 = Place(new QFrame(c), 268, 14, 4, 392);
    Shape4 = Place(new QFrame(c), 784, 14, 4, 392);
    for (QFrame *s : {Shape1, Shape2, Shape3, Shape4})
        Fill(s, Colours::SkyBlue);

    ImageEnView1 = Place(new TPictureView(c), 272, 18, 512, 384);
    ImageEnView1->Assign(Image1);
    ImageEnView2 = Place(new TPictureView(c), 368, 82, 320, 256);
    ImageEnView2->Assign(Image3);
    ImageEnView2->hide();

    SizeLabel = AddLabel(c, QStringLiteral("512 by 384 Pixels"), 488, 0);
    SizeLabel->setFont(QFont(QStringLiteral("MS Sans Serif"), 6));
    SizeLabel->adjustSize();

    RulerBox1 = Place(new QWidget(c), 272, 0, 520, 15);
    RulerBox2 = Place(new QWidget(c), 254, 18, 15, 390);
    RulerBox1->hide();
    RulerBox2->hide();
    ConnectedTo = AddLabel(c, QString(), 120, 392);

    // Bottom row, upper band.
    Panel3 = AddPanel(c, QStringLiteral("Server Functions"), Colours::Cream, 8, 410, 257, 49);
    ConnectButton = Place(new QPushButton(QStringLiteral("Connect"), Panel3), 8, 18, 49, 25);
    DisconnectButton = Place(new QPushButton(QStringLiteral("Disconnect"), Panel3), 64, 18, 65, 25);
    DisconnectButton->setEnabled(false);
    RefreshButton = Place(new QPushButton(QStringLiteral("Refresh"), Panel3), 136, 18, 49, 25);
    RefreshButton->setEnabled(false);
    MonitorButton = Place(new QPushButton(QStringLiteral("Monitor"), Panel3), 192, 18, 57, 25);

    Panel1 = AddPanel(c, QStringLiteral("Received Pictures"), Colours::SkyBlue, 270, 410, 260, 49);
    const int rxLeft[4] = {5, 68, 131, 194};
    for (int i = 0; i < 4; ++i)
        RxButtons[i] = AddPageButton(Panel1, i + 1, rxLeft[i], 62);

    Panel2 = AddPanel(c, QStringLiteral("Transmit Pictures"), Colours::MoneyGreen, 536, 410, 249, 49);
    const int txLeft[4] = {16, 72, 128, 184};
    for (int i = 0; i < 4; ++i)
        TxButtons[i] = AddPageButton(Panel2, i + 1, txLeft[i], 49);
    TxButtons[0]->setChecked(true);
    SetPageCaptionColour(TxButtons[0], Qt::red);

    // Bottom row, lower band.
    Panel6 = AddPanel(c, QStringLiteral("Direct send to IP Address"), Colours::InfoTip, 8, 464, 257, 81);
    SendToIP = Place(new QPushButton(QStringLiteral("Send To ->"), Panel6), 8, 16, 60, 25);
    Server = AddLabel(Panel6, QStringLiteral("IP Address"), 72, 22);
    Server->setFont(PixelFont(11, true));
    Server->adjustSize();
    IPAddress = Place(new QLineEdit(QStringLiteral("Type in IP Address"), Panel6), 136, 18, 113, 21);
    IPAddress->setMaxLength(15);
    IP_Address = Place(new QLineEdit(QStringLiteral("127.0.0.1"), Panel6), 152, 18, 97, 21);
    IP_Address->hide();
    AddLabel(Panel6, QStringLiteral("Picture Send Mode"), 80, 44);
    RadioButton1 = Place(new QRadioButton(QStringLiteral("Large (512 x 384)"), Panel6), 16, 62, 120, 17);
    RadioButton2 = Place(new QRadioButton(QStringLiteral("Small (320 x 256)"), Panel6), 144, 62, 110, 17);
    RadioButton1->setChecked(true);

    Panel5 = AddPanel(c, QStringLiteral("Receive Status"), Colours::InactiveBorder, 270, 464, 260, 81);
    RXLabel = AddLabel(Panel5, QStringLiteral("Receiving From ->"), 4, 20);
    RXLabel->setFont(PixelFont(16, true));
    SetTextColour(RXLabel, Colours::Highlight);
    RXLabel->adjustSize();
    RXLabel->hide();
    STBYLabel = AddLabel(Panel5, QStringLiteral("Standby"), 40, 20);
    STBYLabel->setFont(PixelFont(16, true));
    STBYLabel->adjustSize();
    Connected = AddStatus(Panel5, QStringLiteral("OFF LINE"), Colours::Green, 152, 18, 97, 24);
    AddLabel(Panel5, QStringLiteral("Picture View Size"), 16, 44);
    RadioButton3 = Place(new QRadioButton(QStringLiteral("Large"), Panel5), 16, 62, 60, 17);
    SmallPic = Place(new QRadioButton(QStringLiteral("Small"), Panel5), 84, 62, 60, 17);
    RadioButton3->setChecked(true);
    AutoSave = Place(new QCheckBox(QStringLiteral("Auto Save"), Panel5), 160, 56, 90, 17);

    Panel4 = AddPanel(c, QString(), Colours::InfoTip, 536, 464, 249, 81);
    {
        auto *t1 = AddLabel(Panel4, QStringLiteral("Transmit"), 0, 1);
        auto *t2 = AddLabel(Panel4, QStringLiteral("Status"), 0, 1);
        const int total = t1->width() + 4 + t2->width();
        t1->move((249 - total) / 2, 1);
        t2->move(t1->x() + t1->width() + 4, 1);
        for (const QRect line : {QRect(4, 8, t1->x() - 8, 1), QRect(t2->x() + t2->width() + 4, 8, 249 - t2->x() - t2->width() - 8, 1)}) {
            auto *rule = Place(new QFrame(Panel4), line.x(), line.y(), std::max(0, line.width()), 1);
            Fill(rule, Qt::black);
        }
    }
    SendTo = Place(new QPushButton(QStringLiteral("Send To ->"), Panel4), 5, 17, 65, 25);
    SendTo->setEnabled(false);
    Selected = AddStatus(Panel4, QString(), Qt::red, 70, 18, 88, 24);
    Selected->setMaxLength(8);
    TXStatus = AddStatus(Panel4, QStringLiteral("Off Line"), Qt::blue, 160, 18, 81, 24);
    SendToRX = Place(new QPushButton(QStringLiteral("Send To  Last Received ->"), Panel4), 5, 48, 153, 25);
    SendToRX->setEnabled(false);
    LastRX = AddStatus(Panel4, QString(), Colours::Fuchsia, 158, 49, 84, 24);

    // Components without a place on screen.
    Timer1 = new QTimer(this);
    Timer1->setInterval(170000);
    Timer1->start();
    MySocket = new QTcpSocket(this);
    SSTVServer = new QTcpServer(this);
    HDSSTVServer = new QTcpServer(this);
    SSTVClient = new QTcpSocket(this);
}

void TSSTVForm::BuildMenu()
{
    QMenuBar *bar = menuBar();
    auto item = [](QMenu *menu, const QString &caption) { return menu->addAction(caption); };

    File = bar->addMenu(QStringLiteral("File"));
    LoadPict1 = item(File, QStringLiteral("Load"));
    LoadThumbs1 = item(File, QStringLiteral("Load Thumbs"));
    Reload1 = item(File, QStringLiteral("Reload"));
    Save1 = item(File, QStringLiteral("Save"));
    SaveAs1 = item(File, QStringLiteral("Save As"));
    AquireSource1 = item(File, QStringLiteral("Aquire Source"));
    Capture1 = item(File, QStringLiteral("Capture"));
    Exit1 = item(File, QStringLiteral("Exit"));

    Setup1 = bar->addMenu(QStringLiteral("Setup"));
    Callsign1 = item(Setup1, QStringLiteral("Callsign"));

    View1 = bar->addMenu(QStringLiteral("View"));
    ZoomFit1 = item(View1, QStringLiteral("Zoom Fit"));
    ZoomSelected1 = item(View1, QStringLiteral("Zoom Selected"));
    Ruler1 = item(View1, QStringLiteral("Ruler"));
    Ruler1->setCheckable(true);

    Edit1 = bar->addMenu(QStringLiteral("Edit"));
    Copy2 = item(Edit1, QStringLiteral("Copy"));
    Copy1 = item(Edit1, QStringLiteral("Copy All"));
    Cut1 = item(Edit1, QStringLiteral("Cut"));
    Paste1 = item(Edit1, QStringLiteral("Paste"));
    PasteAll1 = item(Edit1, QStringLiteral("Paste All"));
    PasteSelected1 = item(Edit1, QStringLiteral("Paste Selected"));
    FillSelected1 = item(Edit1, QStringLiteral("Fill Selected"));

    ImageMenu = bar->addMenu(QStringLiteral("Image"));
    Undo1 = item(ImageMenu, QStringLiteral("Undo"));
    Sharpen1 = item(ImageMenu, QStringLiteral("Sharpen"));
    Process1 = item(ImageMenu, QStringLiteral("Process"));
    Negative1 = item(ImageMenu, QStringLiteral("Negative"));
    Flop1 = ImageMenu->addMenu(QStringLiteral("Flip"));
    Horizontal1 = item(Flop1, QStringLiteral("Horizontal"));
    Vertical1 = item(Flop1, QStringLiteral("Vertical"));
    Efects1 = item(ImageMenu, QStringLiteral("Effects"));

    TestCards1 = bar->addMenu(QStringLiteral("Cards"));
    Test1 = item(TestCards1, QStringLiteral("Test"));
    GreyScale1 = item(TestCards1, QStringLiteral("Grey Scale"));
    ResolutionBars1 = item(TestCards1, QStringLiteral("Resolution Bars"));
    ColourBars1 = item(TestCards1, QStringLiteral("Colour Bars"));
    AddGreyscale1 = item(TestCards1, QStringLiteral("Add Grey scale"));
    FillFrame1 = item(TestCards1, QStringLiteral("Fill Frame"));

    Text1 = bar->addMenu(QStringLiteral("Text"));
    AddCallsign1 = item(Text1, QStringLiteral("Add Callsign"));
    AddText1 = item(Text1, QStringLiteral("Add Text"));
    AddHeader1 = item(Text1, QStringLiteral("Add Header"));
    AddFooter1 = item(Text1, QStringLiteral("AddFooter"));

    Draw1 = bar->addMenu(QStringLiteral("Draw"));
    FreeHand1 = item(Draw1, QStringLiteral("Free Hand"));
    Line1 = item(Draw1, QStringLiteral("Line"));
    Rectangle1 = item(Draw1, QStringLiteral("Rectangle"));
    Circle1 = item(Draw1, QStringLiteral("Circle"));
    SetPen1 = item(Draw1, QStringLiteral("Set Pen"));
    for (QAction *a : {FreeHand1, Line1, Rectangle1, Circle1})
        a->setCheckable(true);

    Help1 = bar->addMenu(QStringLiteral("Help"));
    About1 = item(Help1, QStringLiteral("About"));

    // Items whose commands are not built are shown but cannot be chosen; the
    // subsystem that builds a command enables its item in its Bind step.
    for (QMenu *menu : {File, View1, Edit1, ImageMenu, Flop1, TestCards1, Text1, Draw1})
        for (QAction *a : menu->actions())
            if (!a->menu() && a != Exit1)
                a->setEnabled(false);
}

void TSSTVForm::NameControls()
{
    // Object names are the control names, so tools and tests can find them.
    const std::pair<QObject *, const char *> named[] = {
        {Client, "Client"}, {Label1, "Label1"}, {CallList1, "CallList1"}, {LogMemo, "LogMemo"},
        {Shape1, "Shape1"}, {Shape2, "Shape2"}, {Shape3, "Shape3"}, {Shape4, "Shape4"},
        {ImageEnView1, "ImageEnView1"}, {ImageEnView2, "ImageEnView2"}, {SizeLabel, "SizeLabel"}, {RulerBox1, "RulerBox1"},
        {RulerBox2, "RulerBox2"}, {ConnectedTo, "ConnectedTo"}, {Panel1, "Panel1"}, {Panel2, "Panel2"},
        {Panel3, "Panel3"}, {Panel4, "Panel4"}, {Panel5, "Panel5"}, {Panel6, "Panel6"},
        {ConnectButton, "ConnectButton"}, {DisconnectButton, "DisconnectButton"}, {RefreshButton, "RefreshButton"}, {MonitorButton, "MonitorButton"},
        {SendToIP, "SendToIP"}, {Server, "Server"}, {IPAddress, "IPAddress"}, {IP_Address, "IP_Address"},
        {RadioButton1, "RadioButton1"}, {RadioButton2, "RadioButton2"}, {RXLabel, "RXLabel"}, {STBYLabel, "STBYLabel"},
        {Connected, "Connected"}, {RadioButton3, "RadioButton3"}, {SmallPic, "SmallPic"}, {AutoSave, "AutoSave"},
        {SendTo, "SendTo"}, {SendToRX, "SendToRX"}, {Selected, "Selected"}, {TXStatus, "TXStatus"},
        {LastRX, "LastRX"}, {Timer1, "Timer1"}, {MySocket, "MySocket"}, {SSTVServer, "SSTVServer"},
        {HDSSTVServer, "HDSSTVServer"}, {SSTVClient, "SSTVClient"}, {File, "File"}, {Setup1, "Setup1"},
        {View1, "View1"}, {Edit1, "Edit1"}, {ImageMenu, "ImageMenu"}, {Flop1, "Flop1"},
        {TestCards1, "TestCards1"}, {Text1, "Text1"}, {Draw1, "Draw1"}, {Help1, "Help1"},
        {LoadPict1, "LoadPict1"}, {LoadThumbs1, "LoadThumbs1"}, {Reload1, "Reload1"}, {Save1, "Save1"},
        {SaveAs1, "SaveAs1"}, {AquireSource1, "AquireSource1"}, {Capture1, "Capture1"}, {Exit1, "Exit1"},
        {Callsign1, "Callsign1"}, {ZoomFit1, "ZoomFit1"}, {ZoomSelected1, "ZoomSelected1"}, {Ruler1, "Ruler1"},
        {Copy2, "Copy2"}, {Copy1, "Copy1"}, {Cut1, "Cut1"}, {Paste1, "Paste1"},
        {PasteAll1, "PasteAll1"}, {PasteSelected1, "PasteSelected1"}, {FillSelected1, "FillSelected1"}, {Undo1, "Undo1"},
        {Sharpen1, "Sharpen1"}, {Process1, "Process1"}, {Negative1, "Negative1"}, {Horizontal1, "Horizontal1"},
        {Vertical1, "Vertical1"}, {Efects1, "Efects1"}, {Test1, "Test1"}, {GreyScale1, "GreyScale1"},
        {ResolutionBars1, "ResolutionBars1"}, {ColourBars1, "ColourBars1"}, {AddGreyscale1, "AddGreyscale1"}, {FillFrame1, "FillFrame1"},
        {AddCallsign1, "AddCallsign1"}, {AddText1, "AddText1"}, {AddHeader1, "AddHeader1"}, {AddFooter1, "AddFooter1"},
        {FreeHand1, "FreeHand1"}, {Line1, "Line1"}, {Rectangle1, "Rectangle1"}, {Circle1, "Circle1"},
        {SetPen1, "SetPen1"}, {About1, "About1"},
    };
    for (const auto &[object, name] : named)
        object->setObjectName(QLatin1String(name));
    for (int i = 0; i < 4; ++i) {
        RxButtons[i]->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        TxButtons[i]->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 5));
    }
}

void TSSTVForm::SetPageCaptionColour(QToolButton *button, const QColor &colour)
{
    SetTextColour(button, colour);
}

// The heading row is the grid's fixed header, so it stays in view when the
// list scrolls; station rows are the table's rows.
QString TSSTVForm::CallListCell(int col, int row) const
{
    if (col < 0 || col > 2 || row < 0)
        return QString();
    const QTableWidgetItem *item =
        row == 0 ? CallList1->horizontalHeaderItem(col) : CallList1->item(row - 1, col);
    return item ? item->text() : QString();
}

void TSSTVForm::SetCallListCell(int col, int row, const QString &text)
{
    if (col < 0 || col > 2 || row < 0 || row >= CallListRowCount())
        return;
    if (row == 0) {
        CallList1->setHorizontalHeaderItem(col, new QTableWidgetItem(text));
        return;
    }
    if (QTableWidgetItem *item = CallList1->item(row - 1, col))
        item->setText(text);
    else
        CallList1->setItem(row - 1, col, new QTableWidgetItem(text));
}

int TSSTVForm::CallListRowCount() const
{
    return CallList1->rowCount() + 1;
}

void TSSTVForm::SetCallListRowCount(int rows)
{
    CallList1->setRowCount(std::max(2, rows) - 1);
}

void TSSTVForm::FormCreate()
{
    // The station list: heading row and the one row saying we are off line.
    SetCallListCell(0, 0, QStringLiteral("Callsign"));
    SetCallListCell(2, 0, QStringLiteral("Information"));
    SetCallListCell(0, 1, QString());
    SetCallListCell(2, 1, QStringLiteral("NOT Connected !"));
    // The pages: receive 1 to 4, then transmit 1 to 4, black.
    for (QImage &page : RxPages) {
        page = QImage(Image1.width(), Image1.height(), QImage::Format_RGB888);
        page.fill(Qt::black);
    }
    for (QImage &page : TxPages) {
        page = QImage(Image1.width(), Image1.height(), QImage::Format_RGB888);
        page.fill(Qt::black);
    }
}

void TSSTVForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!ShownOnce) {
        ShownOnce = true;
        Guarded([this] { FormShow(); });
    }
}

void TSSTVForm::FormShow()
{
    RxPageCursor = 3;
    TxPageIndex = 0;
    TxPageShown = true;
    SkipTxCommit = false;
    PictureLoaded = false;
    LargeZoomed = false;
    SmallZoomed = false;
    const QHostAddress address = ListenAddress();
    if (!SSTVServer->listen(address, 27222))
        throw TError(SSTVServer->errorString());
    if (!HDSSTVServer->listen(address, 27223))
        throw TError(HDSSTVServer->errorString());
    SaveCounter = 1;
}

void TSSTVForm::Exit1Click()
{
    EndProgram();
}

void TSSTVForm::closeEvent(QCloseEvent *event)
{
    if (!TerminateRequested)
        Guarded([this] { EndProgram(); });
    event->accept();
}

void TSSTVForm::EndProgram()
{
    if (TerminateRequested)
        return;
    if (RefreshButton->isEnabled()) {
        LoggingOut = true;
        StartDirectoryRequest();
        WaitWhileDirectoryBusy();
    }
    TerminateRequested = true;
    // Without a running event loop (the ending came during start-up) the
    // entry point sees Terminated() and does not start one.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void TSSTVForm::About1Click()
{
    AboutBox->exec();
}
