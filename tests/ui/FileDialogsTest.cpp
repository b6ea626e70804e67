// The parameter file dialogs as the platform's file dialog runs them.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include "FileDialogs.h"

namespace rvz {

class FileDialogsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // Presses the dialog's accept once it is up. A dialog that refuses (a
    // file that must exist and does not) says so in a message box, which is
    // closed; the dialog is then cancelled.
    static void AcceptWhenShown()
    {
        QTimer::singleShot(50, [] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return AcceptWhenShown();
            QTimer::singleShot(100, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->done(0);
            });
            QPointer<QFileDialog> shown(dialog);
            static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
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
