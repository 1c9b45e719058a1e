// Receiving pictures as the window sees it. The receiver core collects and
// decodes every connection on its own; the window shows who is sending,
// files each picture into the next receive page, answers it and saves it.
//
// Filing lets events run (the wait for the directory, the answer's send), so
// a connection may end while another picture is being filed. Pictures are
// therefore filed one at a time, in the order their connections ended: one
// that ends meanwhile waits its turn instead of being filed in the middle of
// another. Errors met while filing (an answer that cannot be encoded, a save
// that cannot be written) do not stop the filing; their boxes are shown
// once it is over, so a box left open holds up no picture.
#include "app/guard.h"
#include "app/setupdlg.h"
#include "app/sstvform.h"
#include "app/statuscolours.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace {




// The entry of "Auto Respond" that answers with the transmit page of the
// receive page that took the previous picture.
constexpr int kSequentialEntry = 4;

} // namespace

void TSSTVForm::SetReceiveLimits(const exchange::ReceiverLimits &limits)
{
    using exchange::TPictureReceiver;
    // The old receiver takes its connections with it.
    delete PictureReceiver;
    OpenReceptions.clear();
    Receiving = false;
    PictureReceiver = new TPictureReceiver(limits, this);
    PictureReceiver->Attach(SSTVServer, HDSSTVServer);
    connect(PictureReceiver, &TPictureReceiver::Started, this,
            [this](int id, const QString &peer, exchange::PictureKind kind) {
                Guarded([&] { SSTVServerClientConnect(id, peer, kind); });
            });
    connect(PictureReceiver, &TPictureReceiver::DataArrived, this,
            [this](int id, qint64) { Guarded([&] { SSTVServerClientRead(id); }); });
    connect(PictureReceiver, &TPictureReceiver::Finished, this, [this](const exchange::Reception &r) {
        Guarded([&] {
            if (r.Dropped)
                SSTVClientError(r);
            else
                SSTVServerClientDisconnect(r);
        });
    });
}

void TSSTVForm::SSTVServerClientConnect(int id, const QString &peer, exchange::PictureKind kind)
{
    OpenReceptions << id;
    LastRxAddress = peer;
    HDPicture = kind == exchange::PictureKind::Large;
    BeginReceive(id);
}

void TSSTVForm::BeginReceive(int id)
{
    Receiving = true;
    // A transmit page shown now is stored back before a received picture
    // replaces the working picture.
    SkipTxCommit = !TxPageShown;
    if (DirectoryBusy)
        WaitWhileDirectoryBusy();
    // The connection may have ended, and its picture been filed, during the
    // wait; the filing has shown its sender and outcome then.
    if (!OpenReceptions.contains(id))
        return;
    LookupSender();
    if (!ConnectButton->isEnabled() && !MonitorMode) {
        LastRX->setText(Connected->text());
        SendToRX->setEnabled(true);
        LastRxKnown = true;
    }
    RXLabel->show();
    STBYLabel->hide();
}

void TSSTVForm::LookupSender()
{
    LookupSender(LastRxAddress);
}

void TSSTVForm::LookupSender(const QString &address)
{
    ShowStatus(Connected, QStringLiteral("Unknown"), Colours::Green);
    const int last = std::min<int>(StationCount, CallListRowCount() - 1);
    for (int row = 0; row <= last; ++row) {
        if (CallListCell(1, row) == address) {
            Connected->setText(CallListCell(0, row));
            return;
        }
    }
}

void TSSTVForm::SSTVServerClientRead(int)
{
    STBYLabel->hide();
    // Blinks while data arrives.
    RXLabel->setVisible(!RXLabel->isVisible());
}

void TSSTVForm::SSTVServerClientDisconnect(const exchange::Reception &reception)
{
    OpenReceptions.removeAll(reception.Id);
    PendingReceptions << reception;
    if (FilingReception)
        return; // filed by the filing under way, once its own picture is done
    FilingReception = true;
    while (!PendingReceptions.isEmpty()) {
        const exchange::Reception next = PendingReceptions.takeFirst();
        try {
            EndReceive(next);
        } catch (const TError &e) {
            ReceiveErrors << e.message();
        } catch (const std::exception &e) {
            ReceiveErrors << QString::fromLocal8Bit(e.what());
        }
    }
    FilingReception = false;
    const QStringList errors = std::exchange(ReceiveErrors, {});
    for (const QString &message : errors)
        QTimer::singleShot(0, this, [message] { ShowErrorBox(message); });
}

void TSSTVForm::SSTVClientError(const exchange::Reception &reception)
{
    // A dropped connection ends like any other, in its turn.
    SSTVServerClientDisconnect(reception);
}

void TSSTVForm::EndReceive(const exchange::Reception &reception)
{
    Receiving = PictureReceiver && PictureReceiver->OpenConnections() > 0;
    // Another connection still under way keeps the indicator.
    if (!Receiving) {
        RXLabel->hide();
        STBYLabel->show();
    }
    if (reception.Dropped) {
        // Too large, silent too long, or a socket error: no picture to file.
        ShowStatus(Connected, QStringLiteral("Failed"), Qt::red);
        ++ReceiveBeeps;
        QApplication::beep();
        ++ReceptionsEnded;
        return;
    }
    SendTo->setEnabled(false);
    SendToRX->setEnabled(false);
    SendToIP->setEnabled(false);
    LastRxKnown = true;
    LoadPict1->setEnabled(false);
    LoadThumbs1->setEnabled(false);
    FileReceivedPicture(reception);
    ++ReceptionsEnded;
}

void TSSTVForm::FileReceivedPicture(const exchange::Reception &reception)
{
    const QString peer = reception.Peer;
    // The picture filed now is the last one received, whatever connection
    // began since: its sender is the one answered and shown.
    LastRxAddress = peer;
    HDPicture = reception.Kind == exchange::PictureKind::Large;
    const bool stationMode = !ConnectButton->isEnabled() && !MonitorMode;
    LookupSender(peer);
    if (stationMode)
        LastRX->setText(Connected->text());

    // Decided now: a connection that begins while this filing lets events run
    // (the answer's send, the wait for the list) sets the flag anew for its
    // own picture, not for this one.
    bool skipCommit = SkipTxCommit;

    // The automatic answer goes out before the picture is decoded, also for
    // a picture that fails.
    QImage beforeAnswer;
    if (SetupDlg->AutoTX->isChecked()) {
        // The edits of a transmit page on show are stored before the answer
        // page takes the working picture's place.
        if (!skipCommit && TxPageShown)
            CommitWorkingPicture();
        SkipTxCommit = skipCommit = true;
        beforeAnswer = Image1.copy();
        const int entry = SetupDlg->AutoTXPage->currentIndex();
        if (entry >= 0 && entry < 4)
            DrawPictureAt00(Image1, TxPages[size_t(entry)]);
        else if (entry == kSequentialEntry)
            DrawPictureAt00(Image1, TxPages[RxPageCursor & 3]);
        SetSendDestination(peer, true);
        try {
            SendPicture();
        } catch (const TError &e) {
            ReceiveErrors << e.message();
        }
    }

    RxPageCursor = uint8_t((RxPageCursor + 1) & 3);
    const int k = RxPageCursor;

    if (LastRX->text() == QLatin1String("Unknown")) {
        StartDirectoryRequest();
        WaitWhileDirectoryBusy();
        LookupSender(peer);
        LastRX->setText(Connected->text());
    }

    if (!skipCommit)
        CommitWorkingPicture();

    QImage &page = RxPages[size_t(k)];
    if (!DecodeReceived(reception, page)) {
        ShowStatus(Connected, QStringLiteral("Failed"), Qt::red);
        ++ReceiveBeeps;
        QApplication::beep();
        RxPageCursor = uint8_t((RxPageCursor + 3) & 3);
        // An answer page put into the working picture does not stay there:
        // it would be stored into the selected transmit page later.
        if (!beforeAnswer.isNull()) {
            DrawPictureAt00(Image1, beforeAnswer);
            ReloadLargeView();
            UpdateViewSize();
        }
        return;
    }
    FitPageToWorkingPicture(page);
    RxButtons[size_t(k)]->setChecked(true);
    if (ConnectButton->isEnabled() || MonitorMode)
        RxButtons[size_t(k)]->setText(QStringLiteral("Page %1").arg(k + 1));
    else
        RxButtons[size_t(k)]->setText(LastRX->text());

    ReloadLargeView();
    UpdateViewSize();
    PictureLoaded = true;
    ReleaseTxButtons();
    SkipTxCommit = true;
    if (AutoSave->isChecked()) {
        if (ConnectButton->isEnabled() || MonitorMode)
            ShowStatus(Connected, QStringLiteral("Image"), Colours::Green);
        // A save that fails leaves the picture in its page and the counter
        // where it was; the reception itself has succeeded.
        try {
            SaveAutomatically(page);
        } catch (const TError &e) {
            ReceiveErrors << e.message();
        }
    }
    ShowStatus(Connected, QStringLiteral("Received"), Colours::Green);
}

bool TSSTVForm::DecodeReceived(const exchange::Reception &reception, QImage &page)
{
    const bool ok = bool(reception.Result);
    if (ok)
        page = reception.Result.Picture->convertToFormat(QImage::Format_RGB888);
    ReleaseRxButtons();
    return ok;
}
