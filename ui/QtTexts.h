// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt's own texts (its file dialogs, the standard buttons, an edit's context
// menu) in the window's language: Qt's translation of itself, installed in
// the application for the Chinese languages and removed for English.

#include <cstdint>

#include <QString>
#include <QStringList>

namespace rvz {

// The file of Qt's texts a language reads: qtbase_zh_TW.qm for 0,
// qtbase_zh_CN.qm for 1, none (the empty name) for English and every other
// index, as the language menu reads them.
QString QtTextsFile(std::int32_t language);

// Where the file is looked for, first to last: the folder "translations"
// beside the executable (where the Windows download ships it), then Qt's
// own translations folder (/usr/share/qt6/translations on Debian).
QStringList QtTextsFolders();

// Installs the language's file from the first folder that holds one Qt can
// read, in place of the one installed before, and returns its path. English,
// or a file found nowhere, leaves Qt's texts in English and returns the
// empty path; nothing is reported. The file already installed is kept as
// it is. Without an application object it does nothing.
QString InstallQtTexts(std::int32_t language, const QStringList& folders = QtTextsFolders());

}  // namespace rvz
