// SPDX-License-Identifier: GPL-3.0-or-later
// Spin buttons bound to an edit field.
#include <QLineEdit>
#include <QtTest>

#include "UpDown.h"

namespace rvz {

// A field with spin buttons bound to it.
struct BoundField {
    BoundField(const QString& text, int minimum, int maximum, int increment) : field(text)
    {
        upDown.SetAssociate(&field);
        upDown.SetRange(minimum, maximum);
        upDown.SetIncrement(increment);
    }
    QLineEdit field;
    TUpDown upDown;
};

class UpDownTest : public QObject {
    Q_OBJECT
private slots:
    void steps_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("shown");
        QTest::newRow("up by increment") << "1500" << +1 << "1510";
        QTest::newRow("down by increment") << "1500" << -1 << "1490";
        QTest::newRow("stops at maximum") << "1600" << +1 << "1600";
        QTest::newRow("near maximum does not pass it") << "1595" << +1 << "1600";
        QTest::newRow("stops at minimum") << "1400" << -1 << "1400";
        QTest::newRow("typed above range comes back to it") << "3000" << +1 << "1600";
        QTest::newRow("typed below range comes back to it") << "100" << +1 << "1410";
        QTest::newRow("non-number starts from position") << "abc" << +1 << "1510";
        QTest::newRow("thousands separator tolerated") << "1,450" << -1 << "1440";
    }

    void steps()
    {
        QFETCH(QString, typed);
        QFETCH(int, direction);
        BoundField bound(typed, 1400, 1600, 10);
        bound.upDown.SetPosition(1500);
        bound.upDown.Step(direction);
        QTEST(bound.field.text(), "shown");
    }

    void typedTextIsNeverLimited()
    {
        BoundField bound("", 1400, 1600, 10);
        for (const char* typed : {"$5DC", "99999", "-7", "x"}) {
            bound.field.clear();
            QTest::keyClicks(&bound.field, typed);
            QCOMPARE(bound.field.text(), QString(typed));
        }
    }

    void arrowKeysInFieldStep()
    {
        BoundField bound("60", 4, 130, 2);
        QLineEdit& field = bound.field;
        QTest::keyClick(&field, Qt::Key_Up);
        QCOMPARE(field.text(), QString("62"));
        QTest::keyClick(&field, Qt::Key_Down);
        QTest::keyClick(&field, Qt::Key_Down);
        QCOMPARE(field.text(), QString("58"));
        QTest::keyClick(&field, Qt::Key_Left);  // other keys pass through
        QCOMPARE(field.text(), QString("58"));
    }

    void boundsMoveAtRunTime()
    {
        BoundField bound("1000", 900, 1500, 10);
        bound.upDown.SetMax(1005);
        bound.upDown.Step(+1);
        QCOMPARE(bound.field.text(), QString("1005"));
        bound.upDown.Step(+1);
        QCOMPARE(bound.field.text(), QString("1005"));
    }

    void arrowButtonsStep()
    {
        BoundField bound("1500", 1400, 1600, 20);
        QLineEdit& field = bound.field;
        TUpDown& upDown = bound.upDown;
        upDown.resize(16, 24);
        upDown.show();
        QTest::mouseClick(upDown.childAt(8, 5), Qt::LeftButton);
        QCOMPARE(field.text(), QString("1520"));
        QTest::mouseClick(upDown.childAt(8, 19), Qt::LeftButton);
        QCOMPARE(field.text(), QString("1500"));
    }
};

}  // namespace rvz

QTEST_MAIN(rvz::UpDownTest)
#include "UpDownTest.moc"
