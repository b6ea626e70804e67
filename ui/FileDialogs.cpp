// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace rvz {

namespace {

// The platform's dialog with the one check it lacks when saving: the chosen
// file's folder must exist. Without it a mistyped folder closes the dialog as
// if all were well. (It asks before replacing a file by itself.)
class TPathCheckingFileDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        if (acceptMode() == AcceptSave && !selectedFiles().isEmpty()) {
            const QFileInfo chosen(selectedFiles().constFirst());
            if (!chosen.isDir() && !chosen.absoluteDir().exists()) {
                // Qt's own words for it, which its translations carry into
                // the language shown.
                QMessageBox::warning(
                    this, windowTitle(),
                    QFileDialog::tr("%1\nDirectory not found.\nPlease verify the correct directory name was given.")
                        .arg(QDir::toNativeSeparators(chosen.absolutePath())));
                return;
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

TFileDialog MakeOpenDialog1()
{
    TFileDialog dialog;
    dialog.kind = TFileDialog::Kind::Open;
    dialog.fileName = QStringLiteral("ervo.svo");
    return dialog;
}

TFileDialog MakeSaveDialog1()
{
    TFileDialog dialog;
    dialog.kind = TFileDialog::Kind::Save;
    dialog.fileName = QStringLiteral("Servo");
    return dialog;
}

bool TQtFileDialogRunner::Execute(TFileDialog& dialog, QWidget* parent)
{
    TPathCheckingFileDialog platformDialog(parent);
    const bool saving = dialog.kind == TFileDialog::Kind::Save;
    platformDialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Open takes only an existing file; Save any name in an existing folder.
    platformDialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    platformDialog.setNameFilter(dialog.filter);
    platformDialog.setDefaultSuffix(dialog.defaultExt);
    const QFileInfo proposed(dialog.fileName);
    if (proposed.isAbsolute())
        platformDialog.setDirectory(proposed.absolutePath());
    platformDialog.selectFile(proposed.fileName());

    if (platformDialog.exec() != QDialog::Accepted || platformDialog.selectedFiles().isEmpty())
        return false;
    dialog.fileName = platformDialog.selectedFiles().constFirst();
    return true;
}

}  // namespace rvz
