// SPDX-License-Identifier: GPL-3.0-or-later
// The result dialog: its words, icon, size and keys.
#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "Msgex.h"

namespace rvz {

class MsgexTest : public QObject {
    Q_OBJECT
private slots:
    void wordsOutcome_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("information");
        QTest::newRow("read succeeded") << "Read Config" << 2 << 1 << "Infomation" << "Read Config:Succeed!" << "Ok" << true;
        QTest::newRow("write failed") << "Write Config" << 2 << 0 << "Warning" << "Write Config:Fault!" << "Ok" << false;
        QTest::newRow("mismatch") << "Initialize" << 2 << 2 << "Warning"
                                  << "Initialize:Usb adapter is not compatible with the software, please contact supplier for support."
                                  << "Ok" << false;
        QTest::newRow("traditional") << QString::fromUtf8("讀配置") << 0 << 1 << QString::fromUtf8("提示")
                                     << QString::fromUtf8("讀配置:成功！") << QString::fromUtf8("確定") << true;
        QTest::newRow("simplified fault") << QString::fromUtf8("写配置") << 1 << 0 << QString::fromUtf8("警告")
                                          << QString::fromUtf8("写配置:出错！") << QString::fromUtf8("确定") << false;
        QTest::newRow("empty text") << "" << 2 << 0 << "Warning" << ":Fault!" << "Ok" << false;
    }

    void wordsOutcome()
    {
        QFETCH(QString, text);
        QFETCH(int, language);
        QFETCH(int, outcome);
        QFETCH(bool, information);
        TMsgExForm dialog(nullptr);
        dialog.SetMessage(text, language, outcome);
        QTEST(dialog.windowTitle(), "caption");
        QTEST(dialog.MsgLabel()->text(), "message");
        QTEST(dialog.OkBtn()->text(), "button");
        QCOMPARE(dialog.Image1()->pixmap().toImage(), dialog.IconFor(information ? 1 : 0).toImage());
        // A screen reader reads it as an alert, named by its caption, and reads its message.
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(&dialog);
        QVERIFY(spoken);
        QCOMPARE(spoken->role(), QAccessible::AlertMessage);
        QTEST(spoken->text(QAccessible::Name), "caption");
        QTEST(QAccessible::queryAccessibleInterface(dialog.MsgLabel())->text(QAccessible::Name), "message");
    }

    void secondReportKeepsNothingOfTheFirst()
    {
        TMsgExForm dialog(nullptr);
        dialog.SetMessage("Read Config", 2, 1);
        dialog.SetMessage(QString::fromUtf8("寫配置"), 0, 0);
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8("警告"));
        QCOMPARE(dialog.MsgLabel()->text(), QString::fromUtf8("寫配置:出錯！"));
        QCOMPARE(dialog.Image1()->pixmap().toImage(), dialog.IconFor(0).toImage());
    }

    void layoutIsFixedAndMessageStaysOnOneLine()
    {
        TMsgExForm dialog(nullptr);
        dialog.SetMessage("Initialize", 2, 2);
        QCOMPARE(dialog.size(), QSize(308, 98));
        QCOMPARE(dialog.MsgLabel()->pos(), QPoint(72, 24));
        QVERIFY(!dialog.MsgLabel()->wordWrap());
        QVERIFY(dialog.MsgLabel()->height() < 30);
        QCOMPARE(dialog.Image1()->geometry(), QRect(24, 16, 32, 32));
        QCOMPARE(dialog.OkBtn()->geometry(), QRect(120, 56, 81, 25));
        QVERIFY(dialog.OkBtn()->isDefault());
        QCOMPARE(dialog.IconFor(0).size(), QSize(32, 32));
        QCOMPARE(dialog.IconFor(1).size(), QSize(32, 32));
        QVERIFY(dialog.IconFor(0).toImage() != dialog.IconFor(1).toImage());
    }

    void iconsAreTransparentAroundTheSymbol()
    {
        TMsgExForm dialog(nullptr);
        for (int outcome : {0, 1}) {
            const QImage icon = dialog.IconFor(outcome).toImage();
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(icon.pixel(31, 0)), 0);
            QVERIFY(qAlpha(icon.pixel(16, 16)) > 200);
        }
    }

    void escapeLeavesItOpenAndEnterClosesIt()
    {
        TMsgExForm dialog(nullptr);
        dialog.SetMessage("Read Config", 2, 1);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QTest::keyClick(dialog.OkBtn(), Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void centresOnTheMainWindow()
    {
        QWidget mainWindow;
        mainWindow.setGeometry(100, 100, 577, 332);
        mainWindow.show();
        TMsgExForm dialog(&mainWindow);
        dialog.SetMessage("Read Config", 2, 1);
        dialog.show();
        const QPoint offset = dialog.frameGeometry().center() - mainWindow.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 1, "the dialog is not centred on the main window");
    }
};

}  // namespace rvz

QTEST_MAIN(rvz::MsgexTest)
#include "MsgexTest.moc"
