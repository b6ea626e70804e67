// SPDX-License-Identifier: GPL-3.0-or-later
// The tool's pictures: the designed bitmaps at 1x, sharp ones drawn for a
// sharper screen, and the window and dialog choosing by their screen. Run at
// the screen's own scale and again with QT_SCALE_FACTOR=2.
#include <QCryptographicHash>
#include <QLabel>
#include <QtTest>

#include <functional>

#include "Comm.h"
#include "Main.h"
#include "Msgex.h"
#include "Pictures.h"
#include "Reg.h"
#include "ScriptedFileDialogs.h"
#include "SimulatedAdapter.h"

namespace rvz {

using Drawing = std::function<QPixmap(int scale)>;

namespace {

QImage Pixels(const QPixmap& pixmap) { return pixmap.toImage().convertToFormat(QImage::Format_ARGB32); }

// Largest difference of any channel, averaged over the picture.
double MeanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return sum / (a.width() * a.height());
}

}  // namespace

class PicturesTest : public QObject {
    Q_OBJECT
private slots:
    void pictures_data()
    {
        QTest::addColumn<Drawing>("draw");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("designedSha256");
        QTest::newRow("warning") << Drawing(DrawWarningIcon) << QSize(32, 32)
                                 << QByteArray("4106bf92ea4eeb9038af7ce79a73ec0d6e760a6bf024f82d4ad0522e9e64b1da");
        QTest::newRow("information") << Drawing(DrawInformationIcon) << QSize(32, 32)
                                     << QByteArray("ab8360871377983252d6e761e20e8c4afe6141e90c7289742efdd87618a86c5e");
        QTest::newRow("servo") << Drawing(DrawServoPicture) << QSize(150, 107)
                               << QByteArray("8c6247e67fb908ec3b7aeaf37cd46a3f7e1db055e081c07595e37073684bae6a");
    }

    void pictures()
    {
        QFETCH(Drawing, draw);
        QFETCH(QSize, size);
        const QImage designed = Pixels(draw(1));
        QCOMPARE(designed.size(), size);
#ifdef Q_OS_LINUX
        // The bitmaps of the released versions, byte for byte, on a screen
        // of their own density (the text's font is hinted for the screen, and
        // other systems' fonts draw it a little otherwise).
        if (qApp->devicePixelRatio() == 1) {
            const QByteArray bytes(reinterpret_cast<const char*>(designed.constBits()), designed.sizeInBytes());
            QTEST(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(), "designedSha256");
        }
#endif
        for (int scale : {2, 3}) {
            const QPixmap sharp = draw(scale);
            QCOMPARE(sharp.deviceIndependentSize().toSize(), size);
            QCOMPARE(sharp.devicePixelRatio(), qreal(scale));
            const QImage pixels = Pixels(sharp);
            // The same picture ...
            const QImage reduced = pixels.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QVERIFY2(MeanDifference(reduced, designed) < 12, qPrintable(QString::number(MeanDifference(reduced, designed))));
            // ... drawn anew, not the designed bitmap blown up.
            const QImage blownUp = designed.scaled(size * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QVERIFY2(MeanDifference(pixels, blownUp) > 2, qPrintable(QString::number(MeanDifference(pixels, blownUp))));
        }
    }

    void windowAndDialogDrawForTheirScreen()
    {
        SimulatedAdapter sim(true);
        ManualLinkClock clock;
        TComm comm(sim, clock);
        TPreferences preferences;
        test::ScriptedFileDialogs dialogs;
        const QTemporaryDir dir;
        TServoForm form(TServoFormServices{comm, preferences, dir.filePath("prefs.dat").toStdString(), dialogs});
        TMsgExForm dialog(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        dialog.SetMessage("Read Config", 2, 1);

        const int scale = PictureScale(form.devicePixelRatioF());
        const QPixmap picture = form.findChild<QLabel*>("Image1")->pixmap();
        QCOMPARE(picture.devicePixelRatio(), qreal(scale));
        QCOMPARE(Pixels(picture), Pixels(DrawServoPicture(scale)));
        QCOMPARE(form.findChild<QLabel*>("Image1")->size(), QSize(159, 122));

        const QPixmap icon = dialog.Image1()->pixmap();
        QCOMPARE(icon.devicePixelRatio(), qreal(scale));
        QCOMPARE(Pixels(icon), Pixels(DrawInformationIcon(scale)));
        QCOMPARE(dialog.Image1()->size(), QSize(32, 32));
        form.close();
    }
};

}  // namespace rvz

QTEST_MAIN(rvz::PicturesTest)
#include "PicturesTest.moc"
