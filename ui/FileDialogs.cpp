#include "FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace rvz {

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
    QFileDialog platformDialog(parent);
    const bool saving = dialog.kind == TFileDialog::Kind::Save;
    platformDialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Open takes only an existing file; Save an existing folder, and it asks
    // before an existing file is replaced.
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
