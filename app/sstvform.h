#pragma once
// The main window. It owns the pictures, the controls, the sockets and the
// state of the run. Its methods are defined in the folder of the subsystem
// that owns them (app/, directory/, exchange/, editor/); each is thin glue
// over a core that knows no widget.
#include "app/pictureview.h"
#include "directory/directorycore.h"
#include "exchange/receiver.h"

#include <QColor>
#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <cstdint>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QRadioButton;
class QPushButton;
class QTableWidget;
class QTcpServer;
class QTcpSocket;
class QTimer;
class QToolButton;

class TSSTVForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TSSTVForm(QWidget *parent = nullptr);
    ~TSSTVForm() override;

    // Window events.
    void FormCreate();
    void FormShow();
    void Exit1Click();
    void About1Click();

    // Pictures and pages.
    void CommitWorkingPicture();
    void ReloadLargeView();
    void EnterReceiveView();
    void ReleaseRxButtons();
    void ReleaseTxButtons();
    void UpdateViewSize();
    void FitPageToWorkingPicture(QImage &page);
    void RxPageButtonClick(int n); // SpeedButton1Click .. SpeedButton4Click
    void TxPageButtonClick(int n); // SpeedButton5Click .. SpeedButton8Click
    void RadioButton3Click();
    void SmallPicClick();

    // Station settings.
    void Callsign1Click();

    // The station list addressed as the grid it stands for: row 0 is the
    // heading row, rows 1.. the stations; columns 0 callsign, 1 address,
    // 2 information. Reading outside the grid gives an empty text.
    QString CallListCell(int col, int row) const;
    void SetCallListCell(int col, int row, const QString &text);
    int CallListRowCount() const; // heading row included
    void SetCallListRowCount(int rows); // at least 2

    // Directory service: opens one exchange when on line and none is under
    // way; the wait handles events until no exchange is under way.
    void StartDirectoryRequest();
    void WaitWhileDirectoryBusy();

    // Editor: the test card drawn into transmit page 1 at start.
    void DrawStartCard();

    // The view's picture: the working picture drawn on by the editor and sent.
    QImage Image1;
    // The small copy of the working picture.
    QImage Image3;

    // Main window state.
    uint8_t TxPageIndex = 0;
    char CallsignBuf[12] = {};
    bool LoadSourceIsFile = false;
    bool PictureLoaded = false;
    bool DirectoryBusy = false;
    bool Receiving = false;
    bool HDPicture = false;
    bool StationSelected = false;
    bool LastRxKnown = false;
    bool TxPageShown = false;
    bool SkipTxCommit = false;
    bool LargeZoomed = false;
    bool SmallZoomed = false;
    QString LastLoadedFile;
    std::array<QImage, 4> RxPages;
    std::array<QImage, 4> TxPages;
    int32_t ShapeStartX = 0, ShapeStartY = 0, ShapeEndX = 0, ShapeEndY = 0;
    bool RubberBandActive = false;
    bool PastePending = false;
    bool TextPending = false;
    bool PenDown = false;
    bool LoggingOut = false;
    bool MonitorMode = false;

    // Run-wide values the other subsystems share with the window.
    QString LastRxAddress;
    QString SelectedAddress;
    QString RxPageCaption;
    int32_t LastPointerX = 0, LastPointerY = 0;
    int32_t StationCount = 0;
    int32_t TxSize = 0;
    int32_t SaveCounter = 0;
    uint8_t RxPageIndex = 0;
    uint8_t RxPageCursor = 0;

    // Controls, named as the operator's manual and the handlers know them.
    QWidget *Client = nullptr;
    QLabel *Label1 = nullptr;
    QTableWidget *CallList1 = nullptr;
    QPlainTextEdit *LogMemo = nullptr;
    QFrame *Shape1 = nullptr, *Shape2 = nullptr, *Shape3 = nullptr, *Shape4 = nullptr;
    TPictureView *ImageEnView1 = nullptr;
    TPictureView *ImageEnView2 = nullptr;
    QLabel *SizeLabel = nullptr;
    QWidget *RulerBox1 = nullptr, *RulerBox2 = nullptr;
    QLabel *ConnectedTo = nullptr;

    QFrame *Panel1 = nullptr, *Panel2 = nullptr, *Panel3 = nullptr;
    QFrame *Panel4 = nullptr, *Panel5 = nullptr, *Panel6 = nullptr;
    QPushButton *ConnectButton = nullptr, *DisconnectButton = nullptr;
    QPushButton *RefreshButton = nullptr, *MonitorButton = nullptr;
    std::array<QToolButton *, 4> RxButtons{}; // SpeedButton1 .. SpeedButton4
    std::array<QToolButton *, 4> TxButtons{}; // SpeedButton5 .. SpeedButton8
    QPushButton *SendToIP = nullptr;
    QLabel *Server = nullptr;
    QLineEdit *IPAddress = nullptr;
    QLineEdit *IP_Address = nullptr;
    QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr;
    QLabel *RXLabel = nullptr, *STBYLabel = nullptr;
    QLineEdit *Connected = nullptr;
    QRadioButton *RadioButton3 = nullptr, *SmallPic = nullptr;
    QCheckBox *AutoSave = nullptr;
    QPushButton *SendTo = nullptr, *SendToRX = nullptr;
    QLineEdit *Selected = nullptr, *TXStatus = nullptr, *LastRX = nullptr;

    QTimer *Timer1 = nullptr;
    QTcpSocket *MySocket = nullptr;
    QTcpServer *SSTVServer = nullptr;
    QTcpServer *HDSSTVServer = nullptr;
    QTcpSocket *SSTVClient = nullptr;

    // Menus and their items.
    QMenu *File = nullptr, *Setup1 = nullptr, *View1 = nullptr, *Edit1 = nullptr;
    QMenu *ImageMenu = nullptr, *Flop1 = nullptr, *TestCards1 = nullptr, *Text1 = nullptr;
    QMenu *Draw1 = nullptr, *Help1 = nullptr;
    QAction *LoadPict1 = nullptr, *LoadThumbs1 = nullptr, *Reload1 = nullptr, *Save1 = nullptr;
    QAction *SaveAs1 = nullptr, *AquireSource1 = nullptr, *Capture1 = nullptr, *Exit1 = nullptr;
    QAction *Callsign1 = nullptr;
    QAction *ZoomFit1 = nullptr, *ZoomSelected1 = nullptr, *Ruler1 = nullptr;
    QAction *Copy2 = nullptr, *Copy1 = nullptr, *Cut1 = nullptr, *Paste1 = nullptr;
    QAction *PasteAll1 = nullptr, *PasteSelected1 = nullptr, *FillSelected1 = nullptr;
    QAction *Undo1 = nullptr, *Sharpen1 = nullptr, *Process1 = nullptr, *Negative1 = nullptr;
    QAction *Horizontal1 = nullptr, *Vertical1 = nullptr, *Efects1 = nullptr;
    QAction *Test1 = nullptr, *GreyScale1 = nullptr, *ResolutionBars1 = nullptr;
    QAction *ColourBars1 = nullptr, *AddGreyscale1 = nullptr, *FillFrame1 = nullptr;
    QAction *AddCallsign1 = nullptr, *AddText1 = nullptr, *AddHeader1 = nullptr, *AddFooter1 = nullptr;
    QAction *FreeHand1 = nullptr, *Line1 = nullptr, *Rectangle1 = nullptr, *Circle1 = nullptr;
    QAction *SetPen1 = nullptr;
    QAction *About1 = nullptr;

    // ---- Picture files and thumbnails (app/files_form.cpp) ----
    // Reads a picture (the file name, or the chosen scanner or camera when
    // LoadSourceIsFile is false) into the selected transmit page and the
    // working picture. A failure changes nothing and throws TError.
    void LoadWorkingPicture(const QString &name);
    // Points the reader and writer at the page shown and returns it.
    QImage &AttachShownPage();
    void LoadPict1Click();
    void LoadThumbs1Click();
    void Reload1Click();
    void Save1Click();
    void SaveAs1Click();
    void AquireSource1Click();
    void Capture1Click();
    // The two names of saved pictures: the save path, the separator, then
    // RxPageCaption "-" page number ".JPG", or the text of Connected "_"
    // SaveCounter ".JPG". Parts that come from peers are made safe as file
    // names. Neither changes SaveCounter.
    QString ReceivePageSaveName() const;
    QString AutomaticSaveName() const;
    // The automatic save of a received page: writes it as JPEG (quality 50)
    // under AutomaticSaveName(), then increases SaveCounter; throws TError
    // "Cannot create file %s" (SaveCounter unchanged) when it cannot.
    void SaveAutomatically(const QImage &page);
    // The scanner or camera chosen with "Aquire Source" (empty: the first one).
    QString CaptureDevice;
    QImage *AttachedPage = nullptr;
    class QFileDialog *OpenImageEnDialog1 = nullptr;
    class QFileDialog *SaveImageEnDialog1 = nullptr;

    // ---- Directory service (directory/) ----
    void ConnectButtonClick();
    void MonitorButtonClick();
    void RefreshButtonClick();
    void DisconnectButtonClick();
    void Timer1Timer();
    void LogOut();
    // Socket events of one exchange: connection up (the request goes out),
    // data arrived (collected), the service closed (the reply is read).
    void MySocketConnect();
    void MySocketRead();
    void MySocketClosed();
    void SSTVServerError();
    // The grid's current cell moved to (ACol, ARow), ARow counting the
    // heading row as 0, or the operator clicked it.
    void CallList1SelectCell(int ACol, int ARow);

    // The list's texts, rows beyond those shown included; the grid shows
    // its first rows.
    TStationList StationTexts;
    // The list's background colour as last set.
    QColor CallListColour;
    // How long an exchange may take before it is abandoned as a failure.
    int DirectoryTimeoutMs = 20000;
    // Beeps sounded for a directory failure, for the tests' ears.
    int DirectoryBeeps = 0;
    // The service named at Connect or Monitor; repeats go to the same one.
    QString DirectoryHost;
    uint16_t DirectoryPort = 80;
    // An exchange is open (connecting, waiting for the reply).
    bool DirectoryExchangeOpen = false;
    // The first exchange of a Connect or Monitor has not ended yet.
    bool DirectoryFirstExchange = false;
    TReplyCollector DirectoryReply;
    QTimer *DirectoryTimeout = nullptr;

    void BeginDirectoryExchange();
    void EndDirectoryExchange();
    void DirectoryConnectionUp();
    void DirectoryFailed();
    void ProcessDirectoryReply();
    void ShowStationTexts();
    void SetCallListColour(const QColor &colour);
    void StartConnecting(bool monitor);

    // ---- Picture exchange (exchange/) ----
    // The dotted-address test of the send commands.
    virtual bool IsIPAddress(const QString &text) const;
    void SendToClick();   // to the station chosen in the list
    void SendToIPClick(); // to the typed address
    void SendToRXClick(); // to the sender of the last received picture
    // Encodes the working picture in the current send mode into TxStream and
    // sends it to the destination set last; the outcome shows in TXStatus.
    void SendPicture();
    // The destination of the next SendPicture: a dotted address used as it
    // is, or a host name looked up when the connection opens.
    void SetSendDestination(const QString &destination, bool dottedAddress);
    // The last encoded outgoing picture, exactly the bytes on the wire.
    QByteArray TxStream;
    QString SendDestination;
    bool SendDestinationIsAddress = true;

    // Receiving: PictureReceiver serves SSTVServer and HDSSTVServer, each
    // connection with its own bytes; the handlers below are the window's
    // side of its signals, for both listeners alike.
    exchange::TPictureReceiver *PictureReceiver = nullptr;
    void SSTVServerClientConnect(int id, const QString &peer, exchange::PictureKind kind);
    void SSTVServerClientRead(int id);
    void SSTVServerClientDisconnect(const exchange::Reception &reception);
    void SSTVClientError(const exchange::Reception &reception); // a dropped connection
    void BeginReceive(int id);
    // Shows in Connected the callsign listed for the address (LastRxAddress
    // when none is given), or "Unknown".
    void LookupSender();
    void LookupSender(const QString &address);
    void EndReceive(const exchange::Reception &reception);
    void FileReceivedPicture(const exchange::Reception &reception);
    // Puts the decoded picture into the page; false when there is none.
    bool DecodeReceived(const exchange::Reception &reception, QImage &page);
    // Replaces the receiver with one of these limits; only between
    // receptions (tests shorten the silence limit).
    void SetReceiveLimits(const exchange::ReceiverLimits &limits);
    // Connections begun and not yet ended, and ended ones waiting to be
    // filed: pictures are filed one at a time, in the order they ended.
    QList<int> OpenReceptions;
    QList<exchange::Reception> PendingReceptions;
    bool FilingReception = false;
    // Errors met while filing, shown once the filing is over.
    QStringList ReceiveErrors;
    // Receptions ended (filed or dropped) and failure beeps, for the tests.
    int ReceptionsEnded = 0;
    int ReceiveBeeps = 0;

    // ---- Editor (editor/) ----
    // The drawing state of Image1 (pen, brush, font): one for the whole run,
    // shared by cards, text and drawing tools.
    class TCanvas &Canvas();
    std::shared_ptr<class TCanvas> Image1Canvas;

    // Cards: each ends with the card finish, which stores the picture.
    void Test1Click();
    void GreyScale1Click();
    void ResolutionBars1Click();
    void ColourBars1Click();
    void AddGreyscale1Click();
    void DrawTestCard();
    void AddGreyScaleStrip();
    void CardFinish();

    // Text: shown, not stored, until a later commit.
    void AddCallsign1Click();
    void AddText1Click();
    void AddHeader1Click();
    void AddFooter1Click();
    void PlaceFreeText(int x, int y);
    void DrawTextPreview(QPainter &painter, int x, int y);

    // Drawing tools and the large view's mouse and paint handlers.
    void FreeHand1Click();
    void Line1Click();
    void Rectangle1Click();
    void Circle1Click();
    void ToolItemClick(QAction *item);
    void SetPen1Click();
    bool ShapeToolChecked() const;
    void DrawShape(int x1, int y1, int x2, int y2);
    void RubberBandTo(int x, int y);
    void ImageEnView1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void ImageEnView1MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void ImageEnView1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void ImageEnView1Paint(QPainter &painter);

    // Edit, image and view commands
    // Connects and enables the Edit, Image and View items, Fill Frame and
    // the rulers; called at the end of BindEditor.
    void BindEditCommands();
    // The large view's picture processor and where it points.
    class TPictureProcessor &Proc();
    void TargetWorkingPicture();
    void TargetDisplayCopy();
    // The display copy as the view shows it, drawn onto the working picture.
    void DrawViewOntoWorkingPicture();
    // The clipboard's picture as 24 bits, or a null picture when there is
    // none (or one too large to take).
    QImage ClipboardPicture() const;
    void PutOnClipboard(const QImage &picture);
    void Copy2Click();
    void Copy1Click();
    void Cut1Click();
    void Paste1Click();
    void PasteAll1Click();
    void PasteSelected1Click();
    void FillSelected1Click();
    // Paste placement inside the large view's handlers: the press places the
    // armed paste (returns whether it took the press); the move previews it
    // over a fresh copy of the working picture; the paint draws it with the
    // painter only, so it never asks for another repaint.
    bool PasteMouseDown(int x, int y);
    void PastePreviewAt(int x, int y);
    void DrawPastePreview(QPainter &painter, int x, int y);
    void Undo1Click();
    void Sharpen1Click();
    void Negative1Click();
    void Horizontal1Click();
    void Vertical1Click();
    void Process1Click();
    void Efects1Click();
    void RunPreviews(int set); // a TPreviewSet
    void FillFrame1Click();
    void ZoomFit1Click();
    void ZoomSelected1Click();
    void Ruler1Click();
    std::shared_ptr<class TPictureProcessor> PictureProc;
    // The main colour dialog: Fill Frame and Fill Selected colour.
    class QColorDialog *ColorDialog1 = nullptr;
    QColor ColorDialog1Colour = QColor(0, 0, 0);
    // The clipboard picture the armed paste previews.
    QImage PastePreviewPicture;

    // Set by the ending once the application has been told to terminate.
    bool Terminated() const { return TerminateRequested; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildControls();
    void BuildMenu();
    void NameControls();
    void SetPageCaptionColour(QToolButton *button, const QColor &colour);
    void EndProgram();

    // Each subsystem binds its own handlers to the controls it serves and
    // enables the menu items it has built.
    void BindPages();
    void BindFiles();
    void BindDirectory();
    void BindExchange();
    void BindEditor();

    bool ShownOnce = false;
    bool TerminateRequested = false;
};

// One program-wide instance per window class.
extern TSSTVForm *SSTVForm;
