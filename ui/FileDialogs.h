// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The parameter file's open and save dialogs. Each keeps its settings between
// uses and proposes the file last chosen in it; the dialog itself runs behind
// a small interface so tests can answer it.

#include <QString>

class QWidget;

namespace rvz {

struct TFileDialog {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString filter = QStringLiteral("Servo files(*.svo)");
    QString defaultExt = QStringLiteral("svo");
    QString fileName;  // proposed next time; the chosen file after a confirmed run
};

TFileDialog MakeOpenDialog1();  // proposes "ervo.svo"; the file must exist
TFileDialog MakeSaveDialog1();  // proposes "Servo"; asks before replacing a file

class TFileDialogRunner {
public:
    virtual ~TFileDialogRunner() = default;
    // Runs the dialog. True when the user confirmed a file, which is then in
    // dialog.fileName; false when cancelled, with dialog unchanged.
    virtual bool Execute(TFileDialog& dialog, QWidget* parent) = 0;
};

// The platform's file dialogs.
class TQtFileDialogRunner final : public TFileDialogRunner {
public:
    bool Execute(TFileDialog& dialog, QWidget* parent) override;
};

}  // namespace rvz
