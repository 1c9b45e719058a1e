// "Aquire Source" and "Capture" on a machine without any scanner or camera.
#include "formfixture.h"

#include "app/sstvform.h"

#include <QAction>
#include <QtTest>

class TestCaptureNoDevice : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("SANE_CONFIG_DIR", QByteArray(TELVORIA_TEST_SANE_NONE_DIR)); }

    void bothCommandsSayThereIsNoDevice()
    {
        FormFixture fx;
        TSSTVForm *f = fx.Form();
        const QImage page = f->TxPages[0];
        ModalAnswerer answer;
        f->AquireSource1->trigger();
        QTRY_COMPARE(answer.Count(), 1);
        f->Capture1->trigger();
        QTRY_COMPARE(answer.Count(), 2);
        QCOMPARE(answer.Texts(), QStringList(2, QStringLiteral("No scanner or camera was found.")));
        QCOMPARE(answer.Titles(), QStringList(2, QStringLiteral("Telvoria")));
        QCOMPARE(f->TxPages[0], page);
        QVERIFY(!f->PictureLoaded && !f->Reload1->isEnabled());
    }
};

QTEST_MAIN(TestCaptureNoDevice)
#include "test_capture_nodevice.moc"
