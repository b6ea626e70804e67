// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtTexts.h"

#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include "Strs.h"

namespace rvz {

namespace {

// The translator installed now, a child of the application so that it goes
// with it, and the file it was loaded from.
QPointer<QTranslator> installedTranslator;
QString installedFile;

void RemoveInstalled()
{
    if (installedTranslator) {
        QCoreApplication::removeTranslator(installedTranslator);
        delete installedTranslator;
    }
    installedFile.clear();
}

}  // namespace

QString QtTextsFile(std::int32_t language)
{
    switch (LanguageColumn(language)) {
    case 0:
        return QStringLiteral("qtbase_zh_TW.qm");
    case 1:
        return QStringLiteral("qtbase_zh_CN.qm");
    default:
        return {};
    }
}

QStringList QtTextsFolders()
{
    return {QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

QString InstallQtTexts(std::int32_t language, const QStringList& folders)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return {};
    const QString name = QtTextsFile(language);
    if (!name.isEmpty()) {
        auto translator = std::make_unique<QTranslator>();
        for (const QString& folder : folders) {
            if (folder.isEmpty())
                continue;
            const QString path = QFileInfo(QDir(folder), name).absoluteFilePath();
            // Only this very file: QTranslator would fall back to a shorter
            // name (qtbase_zh.qm, qtbase.qm) of another language.
            if (!QFileInfo(path).isFile())
                continue;
            if (installedTranslator && path == installedFile)
                return path;
            // A file Qt cannot read is passed over for the next folder's.
            if (!translator->load(path))
                continue;
            RemoveInstalled();
            translator->setParent(application);
            QCoreApplication::installTranslator(translator.get());
            installedTranslator = translator.release();
            installedFile = path;
            return path;
        }
    }
    RemoveInstalled();
    return {};
}

}  // namespace rvz
