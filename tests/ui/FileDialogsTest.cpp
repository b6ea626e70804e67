// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file dialogs as the platform's file dialog runs them.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include "FileDialogs.h"

namespace rvz {

class FileDialogsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // Once the dialog is up, types name into it (unless empty) and accepts
    // it as its own button does. A message box the dialog raises is recorded
    // in boxes and answered with answer; a dialog still up after that is
    // cancelled. The answer is tied to the dialog, so it never reaches a
    // later test's boxes.
    static void AcceptWhenShown(const QString& name = {}, QMessageBox::StandardButton answer = QMessageBox::Ok,
                                QStringList* boxes = nullptr)
    {
        QTimer::singleShot(50, [=] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return AcceptWhenShown(name, answer, boxes);
            if (!name.isEmpty())
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
            QTimer::singleShot(100, dialog, [=] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box)
                    return;
                if (boxes)
                    boxes->append(box->text());
                if (QAbstractButton* button = box->button(answer))
                    button->click();
                else
                    box->done(0);
            });
            QPointer<QFileDialog> shown(dialog);
            static_cast<QDialog*>(dialog)->accept();
            if (shown && shown->isVisible())
                shown->reject();
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QDir::setCurrent(dir.path());
    }

    void savingTheFirstProposalAddsTheExtension()
    {
        TFileDialog dialog = MakeSaveDialog1();
        TQtFileDialogRunner runner;
        AcceptWhenShown();
        QVERIFY(runner.Execute(dialog, nullptr));
        QCOMPARE(dialog.fileName, dir.filePath("Servo.svo"));
    }

    void openingRequiresAnExistingFile()
    {
        TFileDialog dialog = MakeOpenDialog1();
        TQtFileDialogRunner runner;
        AcceptWhenShown();
        QVERIFY(!runner.Execute(dialog, nullptr));
        QCOMPARE(dialog.fileName, QString("ervo.svo"));

        QFile file(dir.filePath("ervo.svo"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        AcceptWhenShown();
        QVERIFY(runner.Execute(dialog, nullptr));
        QCOMPARE(dialog.fileName, dir.filePath("ervo.svo"));
    }

    void savingRequiresAnExistingFolder()
    {
        TFileDialog dialog = MakeSaveDialog1();
        TQtFileDialogRunner runner;
        QStringList boxes;
        AcceptWhenShown(dir.filePath("no-such-folder/x.svo"), QMessageBox::Ok, &boxes);
        QVERIFY(!runner.Execute(dialog, nullptr));
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].contains("no-such-folder\nDirectory not found"));
        QCOMPARE(dialog.fileName, QString("Servo"));
    }

    void savingAsksBeforeReplacingAFile()
    {
        QFile file(dir.filePath("old.svo"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        TFileDialog dialog = MakeSaveDialog1();
        TQtFileDialogRunner runner;
        QStringList boxes;
        AcceptWhenShown(file.fileName(), QMessageBox::No, &boxes);
        QVERIFY(!runner.Execute(dialog, nullptr));
        AcceptWhenShown(file.fileName(), QMessageBox::Yes, &boxes);
        QVERIFY(runner.Execute(dialog, nullptr));
        QCOMPARE(dialog.fileName, file.fileName());
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes[1].contains("replace"));
    }

    void confirmedFileIsProposedNextTime()
    {
        TFileDialog dialog = MakeSaveDialog1();
        dialog.fileName = dir.filePath("kept.svo");
        TQtFileDialogRunner runner;
        AcceptWhenShown();
        QVERIFY(runner.Execute(dialog, nullptr));
        QCOMPARE(dialog.fileName, dir.filePath("kept.svo"));
    }
};

}  // namespace rvz

QTEST_MAIN(rvz::FileDialogsTest)
#include "FileDialogsTest.moc"
