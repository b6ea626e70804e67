// SPDX-License-Identifier: GPL-3.0-or-later
// Applying and switching languages against a small test window.
#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "LanguageSwitch.h"
#include "QtTexts.h"
#include "Reg.h"

namespace rvz {

// The least a window offers: three menu items, a caption and its components.
class TestWindow : public QWidget, public TLanguageWindow {
public:
    TestWindow()
    {
        auto* group = new QActionGroup(this);
        for (const char* name : {"pChineseTW", "pChinese", "pEnglish"}) {
            auto* item = new QAction("designed", this);
            item->setObjectName(name);
            item->setCheckable(true);
            group->addAction(item);
            items.append(item);
        }
        items[0]->setChecked(true);
        Add(new QLabel(QString::fromUtf8("死区："), this), "DBLabel");
        Add(new QPushButton("designed", this), "ReadBtn");
        Add(new QLabel("V1.1", this), "Label1");
        Add(new QLineEdit("1500", this), "NeuEdit");
        Add(new QLabel(QString::fromUtf8("μs"), this), "StaticText1");
        Add(new QObject(this), "OkBtn");  // a row but no caption property
        for (QAction* item : items)
            components.append(item);
    }
    QAction* LanguageItem(int column) const override { return items.value(column); }
    void SetCaption(const QString& caption) override { setWindowTitle(caption); }
    int ComponentCount() const override { return static_cast<int>(components.size()); }
    QObject* Component(int index) const override { return components.value(index); }
    void CaptionsApplied() override { ++captionsApplied; }

    QString Caption(const char* name) const
    {
        return findChild<QObject*>(name)->property("text").toString();
    }
    void Add(QObject* component, const char* name)
    {
        component->setObjectName(name);
        components.append(component);
    }

    QList<QAction*> items;
    QList<QObject*> components;
    int captionsApplied = 0;
};

// Qt's own text of the file dialog's folder box, in the language installed.
QString LookIn()
{
    return QCoreApplication::translate("QFileDialog", "Look in:");
}

const QString kLookInTraditional = QString::fromUtf8("尋找於：");
const QString kLookInSimplified = QString::fromUtf8("查找范围：");

class LanguageSwitchTest : public QObject {
    Q_OBJECT

    // Where the language's file of Qt's texts was found first; empty if nowhere.
    static QString FoundQtTexts(int language)
    {
        for (const QString& folder : QtTextsFolders()) {
            const QString path = QDir(folder).filePath(QtTextsFile(language));
            if (QFile::exists(path))
                return path;
        }
        return {};
    }

    // Qt's translations of itself come from qt6-translations-l10n: a machine
    // without them skips what needs them, but CI must have them.
    static bool QtTranslationsMissing() { return FoundQtTexts(0).isEmpty() || FoundQtTexts(1).isEmpty(); }

#define REQUIRE_QT_TRANSLATIONS()                                                                           \
    do {                                                                                                    \
        if (QtTranslationsMissing()) {                                                                      \
            const char* why = "Qt's qtbase_zh_TW.qm or qtbase_zh_CN.qm (package qt6-translations-l10n) is " \
                              "neither beside the test nor in Qt's translations folder";                    \
            if (qEnvironmentVariableIsSet("CI"))                                                            \
                QFAIL(why);                                                                                 \
            QSKIP(why);                                                                                     \
        }                                                                                                   \
    } while (false)

private slots:
    // Every test starts and ends with Qt's texts in English.
    void init() { InstallQtTexts(2); }
    void cleanup() { InstallQtTexts(2); }

    void appliesEachLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("checked");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("englishItem");
        QTest::newRow("traditional") << 0 << 0 << QString::fromUtf8("死區：") << QString::fromUtf8("讀配置")
                                     << QString::fromUtf8("英語/English");
        QTest::newRow("simplified") << 1 << 1 << QString::fromUtf8("死区:") << QString::fromUtf8("读配置")
                                    << QString::fromUtf8("英语/English");
        QTest::newRow("english") << 2 << 2 << "Dead Band:" << "Read Config" << "English";
        QTest::newRow("out of range reads english") << 7 << 2 << "Dead Band:" << "Read Config" << "English";
        QTest::newRow("negative reads english") << -1 << 2 << "Dead Band:" << "Read Config" << "English";
    }

    void appliesEachLanguage()
    {
        QFETCH(int, language);
        QFETCH(int, checked);
        TestWindow window;
        SetLanguage(window, language);
        QCOMPARE(window.windowTitle(), QString("Rivivev Uvezi"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(window.items[i]->isChecked(), i == checked);
        QTEST(window.Caption("DBLabel"), "label");
        QTEST(window.Caption("ReadBtn"), "button");
        QTEST(window.items[2]->text(), "englishItem");
        QCOMPARE(window.captionsApplied, 1);
    }

    void englishMenuNamesEachLanguageInItsOwnEncoding()
    {
        TestWindow window;
        SetLanguage(window, 2);
        QCOMPARE(window.items[0]->text(), QString::fromUtf8("Chinese/繁體中文"));
        QCOMPARE(window.items[1]->text(), QString::fromUtf8("Chinese/简体中文"));
    }

    void componentsWithoutRowsKeepTheirCaptions()
    {
        TestWindow window;
        SetLanguage(window, 1);
        SetLanguage(window, 2);
        QCOMPARE(window.Caption("Label1"), QString("V1.1"));
        QCOMPARE(window.Caption("NeuEdit"), QString("1500"));
        QCOMPARE(window.Caption("StaticText1"), QString::fromUtf8("μs"));
        QVERIFY(!window.findChild<QObject*>("OkBtn")->property("text").isValid());
    }

    void applyingTwiceGivesSameCaptions()
    {
        TestWindow window;
        SetLanguage(window, 0);
        const QString first = window.Caption("DBLabel") + window.Caption("ReadBtn") + window.items[1]->text();
        SetLanguage(window, 0);
        QCOMPARE(window.Caption("DBLabel") + window.Caption("ReadBtn") + window.items[1]->text(), first);
    }

    void pickingCurrentLanguageChangesNothing()
    {
        TestWindow window;
        TPreferences preferences;
        preferences.Language = 2;
        PickLanguage(window, preferences, 2);
        QVERIFY(!preferences.Changed);
        QCOMPARE(window.captionsApplied, 0);
        QCOMPARE(window.Caption("DBLabel"), QString::fromUtf8("死区："));
    }

    void switchingAwayAndBackLeavesChangedSet()
    {
        TestWindow window;
        TPreferences preferences;
        preferences.Language = 2;
        PickLanguage(window, preferences, 1);
        QCOMPARE(preferences.Language, 1);
        QVERIFY(preferences.Changed);
        QCOMPARE(window.Caption("ReadBtn"), QString::fromUtf8("读配置"));
        PickLanguage(window, preferences, 2);
        QCOMPARE(preferences.Language, 2);
        QVERIFY(preferences.Changed);
        QCOMPARE(window.Caption("ReadBtn"), QString("Read Config"));
    }

    void qtTextsFollowTheLanguage()
    {
        REQUIRE_QT_TRANSLATIONS();
        TestWindow window;
        QCOMPARE(LookIn(), QString("Look in:"));
        SetLanguage(window, 0);
        QCOMPARE(LookIn(), kLookInTraditional);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
        SetLanguage(window, 1);
        QCOMPARE(LookIn(), kLookInSimplified);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Save"), QString::fromUtf8("保存"));
        SetLanguage(window, 2);
        QCOMPARE(LookIn(), QString("Look in:"));
        SetLanguage(window, 0);
        SetLanguage(window, 7);
        QCOMPARE(LookIn(), QString("Look in:"));
    }

    void anEarlierFolderWins()
    {
        REQUIRE_QT_TRANSLATIONS();
        // Beside the executable, a Traditional file that holds Simplified texts.
        QTemporaryDir beside;
        QVERIFY(QFile::copy(FoundQtTexts(1), beside.filePath(QtTextsFile(0))));
        const QStringList folders{beside.path(), QFileInfo(FoundQtTexts(0)).path()};
        QCOMPARE(InstallQtTexts(0, folders), QFileInfo(beside.filePath(QtTextsFile(0))).absoluteFilePath());
        QCOMPARE(LookIn(), kLookInSimplified);
    }

    void aMissingFileLeavesQtsTextsEnglish()
    {
        QTemporaryDir empty;
        const QStringList nowhere{empty.path(), empty.filePath("absent"), QString()};
        QVERIFY(InstallQtTexts(0, nowhere).isEmpty());
        QCOMPARE(LookIn(), QString("Look in:"));
        // Nor does the language installed before stay: another language's
        // texts would be wrong, English is not.
        if (!QtTranslationsMissing()) {
            QVERIFY(!InstallQtTexts(0).isEmpty());
            QCOMPARE(LookIn(), kLookInTraditional);
            QVERIFY(InstallQtTexts(1, nowhere).isEmpty());
            QCOMPARE(LookIn(), QString("Look in:"));
        }
    }

};

#undef REQUIRE_QT_TRANSLATIONS

}  // namespace rvz

QTEST_MAIN(rvz::LanguageSwitchTest)
#include "LanguageSwitchTest.moc"
