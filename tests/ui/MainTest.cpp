// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven as a user would: clicks, typed text and keys, over
// the simulated adapter.
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "Comm.h"
#include "ErrorBox.h"
#include "Main.h"
#include "ModalWatcher.h"
#include "Msgex.h"
#include "Reg.h"
#include "ScriptedFileDialogs.h"
#include "SimulatedAdapter.h"
#include "UpDown.h"

namespace rvz {

using test::ModalWatcher;
using test::ScriptedFileDialogs;
using Bytes = std::vector<std::uint8_t>;

// Passes every call on to the simulated adapter, telling the test of each
// command written.
class ObservedBridge final : public UsbBridge {
public:
    explicit ObservedBridge(UsbBridge& bridge) : m_bridge(bridge) {}
    std::function<void()> onWrite;

    BridgeStatus GetNumDevices(std::uint32_t* count) override { return m_bridge.GetNumDevices(count); }
    BridgeStatus Open(std::uint32_t index, BridgeHandle* handle) override { return m_bridge.Open(index, handle); }
    BridgeStatus Close(BridgeHandle handle) override { return m_bridge.Close(handle); }
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> to, std::uint32_t* received) override
    {
        return m_bridge.Read(handle, to, received);
    }
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> from, std::uint32_t* written) override
    {
        if (onWrite)
            onWrite();
        return m_bridge.Write(handle, from, written);
    }
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t transmit, std::uint8_t receive) override
    {
        return m_bridge.FlushBuffers(handle, transmit, receive);
    }
    BridgeStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override
    {
        return m_bridge.SetTimeouts(readMs, writeMs);
    }

private:
    UsbBridge& m_bridge;
};

const Bytes kStartingRecord{0x00, 0x23, 0x00, 0x00, 0x00, 0x00, 0x01, 0x4E,
                            0x9C, 0x80, 0x0D, 0x00, 0x00, 0x00, 0x05, 0xDC};

class MainTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SimulatedAdapter> sim;
    std::unique_ptr<ObservedBridge> bridge;
    std::unique_ptr<ManualLinkClock> clock;
    std::unique_ptr<TComm> comm;
    TPreferences preferences;
    QString preferencesFile;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<TServoForm> form;
    std::unique_ptr<TMsgExForm> msgEx;
    std::unique_ptr<ModalWatcher> watcher;

    void Start(bool adapterAttached = true)
    {
        sim->Plug();
        if (!adapterAttached)
            sim->Unplug();
        form = std::make_unique<TServoForm>(
            TServoFormServices{*comm, preferences, preferencesFile.toStdString(), dialogs});
        msgEx = std::make_unique<TMsgExForm>(form.get());
        form->SetResultDialog(msgEx.get());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    template <typename T = QWidget>
    T* Find(const char* name) const
    {
        T* widget = form->findChild<T*>(name);
        if (!widget)
            qFatal("no control named %s", name);
        return widget;
    }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }

    void Type(const char* field, const QString& text)
    {
        QLineEdit* edit = Edit(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), text);
    }

    bool ButtonsEnabled() const
    {
        const bool read = Button("ReadBtn")->isEnabled();
        if (Button("WriteBtn")->isEnabled() != read || Button("InitBtn")->isEnabled() != read)
            qFatal("the adapter buttons disagree");
        return read;
    }

    int CommandsLike(const Bytes& command) const
    {
        int count = 0;
        for (const auto& sent : sim->ReceivedCommands())
            count += sent == command ? 1 : 0;
        return count;
    }

    static bool IsRed(const QLineEdit* field) { return field->palette().color(QPalette::Text) == QColor(255, 0, 0); }

    static QAccessibleInterface* Spoken(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

    // Every control that is on screen and means something to a user, with
    // what a screen reader says of it.
    static void CollectSpoken(QAccessibleInterface* node, QStringList& unnamed, int& named)
    {
        static const QSet<QAccessible::Role> kMeaningful{QAccessible::EditableText, QAccessible::SpinBox,
                                                         QAccessible::ComboBox,     QAccessible::PushButton,
                                                         QAccessible::ButtonMenu,   QAccessible::Graphic};
        if (node->state().invisible)
            return;
        if (kMeaningful.contains(node->role())) {
            if (node->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << (node->object() ? node->object()->objectName() : QString()) + "/" +
                               QString::number(node->role());
            else
                ++named;
        }
        for (int i = 0; i < node->childCount(); ++i)
            CollectSpoken(node->child(i), unnamed, named);
    }

private slots:
    void initTestCase() { SetApplicationTitle(); }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        preferencesFile = dir->filePath("rivivev-uvezi.dat");
        preferences = TPreferences{};
        dialogs = ScriptedFileDialogs{};
        sim = std::make_unique<SimulatedAdapter>(true);
        // Waits for a quiet link pass in virtual time; the simulated servo
        // answers at once.
        clock = std::make_unique<ManualLinkClock>();
        bridge = std::make_unique<ObservedBridge>(*sim);
        comm = std::make_unique<TComm>(*bridge, *clock);
        watcher = std::make_unique<ModalWatcher>();
    }

    void cleanup()
    {
        if (form)
            form->close();
        msgEx.reset();
        form.reset();
        watcher.reset();
        comm.reset();
        clock.reset();
        bridge.reset();
        sim.reset();
        dir.reset();
    }

    // ------------------------------------------------------------ start and stop

    void startsInEnglishWithoutPreferencesAndWritesNone()
    {
        Start();
        QCOMPARE(form->windowTitle(), QString("Rivivev Uvezi"));
        QCOMPARE(Button("ReadBtn")->text(), QString("Read Config"));
        QCOMPARE(Find<QLabel>("DBLabel")->text(), QString("Dead Band:"));
        QCOMPARE(Find<QToolButton>("OpenBtn")->text(), QString("Open Config"));
        QVERIFY(Find<QAction>("pEnglish")->isChecked());
        QVERIFY(!Find<QAction>("pChineseTW")->isChecked());
        form->close();
        QVERIFY(!QFile::exists(preferencesFile));
        QVERIFY(watcher->seen.empty());
    }

    void startsInStoredLanguage()
    {
        QFile file(preferencesFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("USB servo register file!\r\n\r\n\r\n0\r\nDo'nt edit the file!\r\n");
        file.close();
        Start();
        QCOMPARE(Button("ReadBtn")->text(), QString::fromUtf8("讀配置"));
        QCOMPARE(Find<QLabel>("SRULabel")->text(), QString::fromUtf8("脈衝上限："));
        QVERIFY(Find<QAction>("pChineseTW")->isChecked());
    }

    void layoutMatchesDesign_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("DBEdit") << "DBEdit" << QRect(104, 56, 65, 24);
        QTest::newRow("Edit1") << "Edit1" << QRect(104, 56, 65, 24);
        QTest::newRow("DBUpDown") << "DBUpDown" << QRect(169, 56, 16, 24);
        QTest::newRow("StaticText2") << "StaticText2" << QRect(149, 58, 18, 20);
        QTest::newRow("RSTBox") << "RSTBox" << QRect(288, 56, 81, 24);
        QTest::newRow("NeuIEdit") << "NeuIEdit" << QRect(480, 56, 65, 24);
        QTest::newRow("NeuIUpDown") << "NeuIUpDown" << QRect(545, 56, 16, 24);
        QTest::newRow("SRUEdit") << "SRUEdit" << QRect(104, 120, 65, 24);
        QTest::newRow("NeuEdit") << "NeuEdit" << QRect(288, 120, 65, 24);
        QTest::newRow("SRLEdit") << "SRLEdit" << QRect(480, 120, 65, 24);
        QTest::newRow("SRLUpDown") << "SRLUpDown" << QRect(545, 120, 16, 24);
        QTest::newRow("SRUUpDown") << "SRUUpDown" << QRect(169, 120, 16, 24);
        QTest::newRow("NeuUpDown") << "NeuUpDown" << QRect(353, 120, 16, 24);
        QTest::newRow("StaticText1") << "StaticText1" << QRect(149, 122, 18, 20);
        QTest::newRow("StaticText3") << "StaticText3" << QRect(525, 122, 18, 20);
        QTest::newRow("StaticText4") << "StaticText4" << QRect(333, 122, 18, 20);
        QTest::newRow("StaticText5") << "StaticText5" << QRect(525, 58, 18, 20);
        QTest::newRow("Image1") << "Image1" << QRect(392, 160, 159, 122);
        QTest::newRow("ReadBtn") << "ReadBtn" << QRect(16, 288, 113, 28);
        QTest::newRow("WriteBtn") << "WriteBtn" << QRect(152, 288, 113, 28);
        QTest::newRow("InitBtn") << "InitBtn" << QRect(288, 288, 113, 28);
        QTest::newRow("ToolBar1") << "ToolBar1" << QRect(0, 0, 577, 26);
    }

    void layoutMatchesDesign()
    {
        QFETCH(QString, name);
        Start();
        QTEST(Find<QWidget>(name.toLatin1().constData())->geometry(), "geometry");
        const std::pair<const char*, QPoint> labels[] = {{"DBLabel", {16, 64}},   {"RSTLabel", {208, 64}},
                                                         {"NeuILabel", {392, 64}}, {"SRULabel", {16, 128}},
                                                         {"NeuLabel", {208, 128}}, {"SRLLabel", {392, 128}}};
        for (const auto& [label, at] : labels)
            QCOMPARE(Find<QLabel>(label)->pos(), at);
        QCOMPARE(form->size(), QSize(577, 332));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void initialFieldsHintsAndRanges()
    {
        Start();
        QCOMPARE(Edit("DBEdit")->text(), QString("6.0"));
        QCOMPARE(Edit("Edit1")->text(), QString("60"));
        QVERIFY(Edit("Edit1")->isHidden());
        QCOMPARE(Find<QComboBox>("RSTBox")->currentText(), QString("Y"));
        QCOMPARE(Edit("SRUEdit")->toolTip(), QString("2290us-Neutral"));
        QCOMPARE(Edit("SRLEdit")->toolTip(), QString("Neutral-710us"));
        QCOMPARE(Edit("DBEdit")->toolTip(), QString("0.4-13us"));
        QCOMPARE(Find<QLabel>("StaticText4")->text(), QString::fromUtf8("μs"));
        QCOMPARE(Find<QLabel>("Label1")->text(), QString("V1.1"));
        auto* srl = Find<TUpDown>("SRLUpDown");
        QCOMPARE(srl->Min(), 900);
        QCOMPARE(srl->Max(), 1500);
        QCOMPARE(Find<TUpDown>("NeuUpDown")->Increment(), 20);
        QCOMPARE(form->GetConfig().Bytes, (std::array<std::uint8_t, 16>{0x00, 0x23, 0x00, 0x00, 0x00, 0x00, 0x01, 0x4E,
                                                                         0x9C, 0x80, 0x0D, 0x00, 0x00, 0x00, 0x05, 0xDC}));
    }

    void tabVisitsFieldsThenButtons()
    {
        Start();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(QApplication::focusWidget(), Edit("DBEdit"));
        const char* order[] = {"RSTBox", "SRUEdit", "SRLEdit", "NeuEdit", "NeuIEdit", "ReadBtn", "WriteBtn", "InitBtn", "DBEdit"};
        for (const char* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
        }
    }

    void unwritablePreferencesStillCloseTheAdapter()
    {
        // A file where the preferences' folder would have to be.
        QFile(dir->filePath("blocked")).open(QIODevice::WriteOnly);
        preferencesFile = dir->filePath("blocked/rivivev-uvezi.dat");
        Start();
        QVERIFY(comm->AdapterHandle() != kNullHandle);
        Find<QAction>("pChinese")->trigger();
        form->close();
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QVERIFY(watcher->seen[0].errorIcon);
        QCOMPARE(watcher->seen[0].title, QString("Rivivev Uvezi"));
        QVERIFY(watcher->seen[0].message.contains("blocked"));
        QCOMPARE(comm->AdapterHandle(), kNullHandle);
        QVERIFY(!form->isVisible());
    }

    // ------------------------------------------------------------ poll

    void buttonsFollowTheAdapter()
    {
        Start(false);
        QVERIFY(!ButtonsEnabled());
        sim->Plug();
        QTRY_VERIFY(ButtonsEnabled());  // the next tick identifies it
        sim->Unplug();
        QTRY_VERIFY(!ButtonsEnabled());
        QVERIFY(watcher->seen.empty());
    }

    void attachedAdapterEnablesButtonsBeforeFirstTick()
    {
        Start();
        QVERIFY(ButtonsEnabled());
        QCOMPARE(form->Timer1()->remainingTime() > 0, true);
        QCOMPARE(CommandsLike({0x21, 0x40}), 1);
    }

    void wrongIdentificationIsNotAskedAgainUntilRelink()
    {
        SimulatedAdapter::Identification wrong{};
        wrong[21] = 0xA1;
        sim->SetIdentification(wrong);
        Start();
        QVERIFY(!ButtonsEnabled());
        // Asked once more on a quiet link, in case a stray reply garbled it.
        QCOMPARE(CommandsLike({0x21, 0x40}), 2);

        SimulatedAdapter::Identification right{};
        right[21] = 0xA0;
        sim->SetIdentification(right);
        form->Timer1Timer();
        form->Timer1Timer();
        QVERIFY(!ButtonsEnabled());
        QCOMPARE(CommandsLike({0x21, 0x40}), 2);

        sim->Unplug();
        form->Timer1Timer();
        sim->Plug();
        form->Timer1Timer();
        QVERIFY(ButtonsEnabled());
        QVERIFY(watcher->seen.empty());
    }

    void unansweredIdentificationIsTriedThreeTimesTwice()
    {
        // Three attempts, then three more on a quiet link.
        sim->DropReplies(6);
        Start();
        QVERIFY(!ButtonsEnabled());
        QCOMPARE(CommandsLike({0x21, 0x40}), 6);
    }

    void identificationAnsweredOnlyOnTheQuietLinkEnables()
    {
        sim->DropReplies(3);
        Start();
        QVERIFY(ButtonsEnabled());
        // The fourth answer came while the first three were still owed, so
        // it is asked for once more after they ran out of time.
        QCOMPARE(CommandsLike({0x21, 0x40}), 5);
    }

    void unplugBehindOpenDialogDisablesButtons()
    {
        Start();
        bool enabledWhileOpen = true;
        watcher->onShown = [&](QWidget*) {
            sim->Unplug();
            QTimer::singleShot(900, [&] { enabledWhileOpen = Button("ReadBtn")->isEnabled(); });
            return 1000;
        };
        QTest::mouseClick(Button("ReadBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QVERIFY(!enabledWhileOpen);
        QVERIFY(!ButtonsEnabled());
    }

    // ------------------------------------------------------------ operations

    void readSucceedingAtThirdAttemptShowsOneSuccess()
    {
        Start();
        auto registers = SimulatedAdapter::kFactoryRegisters;
        registers[1] = 40;    // dead band 5
        registers[6] = 0;     // lock N
        registers[7] = 70;    // 896
        registers[8] = 164;   // 2099
        registers[9] = 0x70;  // 3440: 1497.5 shows as 1498
        registers[10] = 0x0D;
        sim->SetServoRegisters(registers);
        Type("NeuIEdit", "1450");
        // The first attempt loses its first reply; the second its probe and
        // first reply; the third's probe goes unanswered but its reads
        // succeed. Those replies came while others were owed, so the reads
        // are done once more on a quiet link before they are believed.
        sim->DropReplies(4);
        QTest::mouseClick(Button("ReadBtn"), Qt::LeftButton);

        QCOMPARE(CommandsLike({0x23, 0x03, 0x00, 0x00}), 4);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].title, QString("Infomation"));
        QCOMPARE(watcher->seen[0].message, QString("Read Config:Succeed!"));
        QVERIFY(watcher->seen[0].informationIcon);
        QCOMPARE(Edit("DBEdit")->text(), QString("5"));
        QCOMPARE(Edit("Edit1")->text(), QString("50"));
        QCOMPARE(Find<QComboBox>("RSTBox")->currentText(), QString("N"));
        QCOMPARE(Edit("SRLEdit")->text(), QString("896"));
        QCOMPARE(Edit("SRUEdit")->text(), QString("2099"));
        QCOMPARE(Edit("NeuEdit")->text(), QString("1498"));
        QCOMPARE(Edit("NeuIEdit")->text(), QString("1450"));
        QCOMPARE(Find<TUpDown>("SRLUpDown")->Max(), 1498);
    }

    void readFailingThreeTimesShowsFaultAndKeepsFields()
    {
        Start();
        sim->SetServoSilent(true);
        QTest::mouseClick(Button("ReadBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].title, QString("Warning"));
        QCOMPARE(watcher->seen[0].message, QString("Read Config:Fault!"));
        QVERIFY(!watcher->seen[0].informationIcon);
        QCOMPARE(CommandsLike({0x23, 0x03, 0x00, 0x00}), 3);
        QCOMPARE(Edit("DBEdit")->text(), QString("6.0"));
        QCOMPARE(Edit("SRLEdit")->text(), QString("1000"));
        QCOMPARE(Edit("SRUEdit")->text(), QString("2000"));
        QCOMPARE(Edit("NeuEdit")->text(), QString("1500"));
    }

    void writeSendsFieldsButNotTheNeutralSignal()
    {
        Start();
        Type("DBEdit", "3");
        Type("NeuEdit", "1520");
        Type("NeuIEdit", "1600");
        Find<QComboBox>("RSTBox")->setCurrentIndex(0);
        QTest::mouseClick(Button("WriteBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].message, QString("Write Config:Succeed!"));
        const auto& servo = sim->ServoRegisters();
        QCOMPARE(servo[1], std::uint8_t{50});
        QCOMPARE(servo[6], std::uint8_t{0});
        QCOMPARE(servo[9], std::uint8_t{0x00});  // 1520 us is code 3584
        QCOMPARE(servo[10], std::uint8_t{0x0E});
        QCOMPARE(servo[14], std::uint8_t{0x05});
        QCOMPARE(servo[15], std::uint8_t{0xDC});
    }

    void initialiseSendsWholeRecordAndZeroByte()
    {
        Start();
        Type("NeuIEdit", "1600");
        QTest::mouseClick(Button("InitBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].message, QString("Initialize:Succeed!"));
        // The block, then the read back.
        const auto& sent = sim->ReceivedCommands();
        const auto block = std::find_if(sent.rbegin(), sent.rend(), [](const Bytes& c) { return c[0] == 0x22; });
        QVERIFY(block != sent.rend());
        QCOMPARE(std::size_t(block - sent.rbegin()), std::size_t{6});
        const Bytes& frame = *block;
        QCOMPARE(frame.size(), std::size_t{21});
        QCOMPARE(frame[0], std::uint8_t{0x22});
        QCOMPARE(frame[1], std::uint8_t{0x40});
        Bytes record(frame.begin() + 2, frame.begin() + 18);
        Bytes expected = kStartingRecord;
        expected[14] = 0x06;
        expected[15] = 0x40;
        QCOMPARE(record, expected);
        QCOMPARE(frame[18], std::uint8_t{0x00});
        QCOMPARE(sim->ServoRegisters()[15], std::uint8_t{0x40});
    }

    void failedWriteIsReportedOnceAfterThreeAttempts()
    {
        Start();
        sim->SetServoSilent(true);
        QTest::mouseClick(Button("InitBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].message, QString("Initialize:Fault!"));
        int blocks = 0;
        for (const auto& sent : sim->ReceivedCommands())
            blocks += sent.size() == 21 ? 1 : 0;
        QCOMPARE(blocks, 3);
    }

    // A servo that acknowledges a value and keeps its old one, or holds what
    // was sent: Write and Initialize say so only after reading it back.
    void writeAndInitializeSucceedOnlyWhenTheServoHoldsWhatWasSent_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("keptRegister");
        QTest::addColumn<QString>("message");
        QTest::newRow("write held") << "WriteBtn" << -1 << "Write Config:Succeed!";
        QTest::newRow("initialize held") << "InitBtn" << -1 << "Initialize:Succeed!";
        for (int reg : {1, 6, 7, 8, 10})
            QTest::newRow(qPrintable(QString("write, register %1 kept").arg(reg)))
                << "WriteBtn" << reg << "Write Config:Fault!";
        QTest::newRow("initialize, register 8 kept") << "InitBtn" << 8 << "Initialize:Fault!";
    }

    void writeAndInitializeSucceedOnlyWhenTheServoHoldsWhatWasSent()
    {
        QFETCH(QString, button);
        QFETCH(int, keptRegister);
        QFETCH(QString, message);
        Start();
        sim->KeepOldValueOf(keptRegister);
        Type("DBEdit", "3");
        Find<QComboBox>("RSTBox")->setCurrentIndex(0);
        Type("SRUEdit", "1980");
        Type("SRLEdit", "1100");
        Type("NeuEdit", "1520");
        const std::size_t before = sim->ReceivedCommands().size();
        QTest::mouseClick(Button(button.toUtf8().constData()), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].message, message);
        QCOMPARE(Edit("SRUEdit")->text(), QString("1980"));  // the fields stay as set
        // What was sent is read back: the six setting registers, after the write.
        const auto& sent = sim->ReceivedCommands();
        QVERIFY(sent.size() > before);
        QCOMPARE(sent.back(), (Bytes{0x23, 0x03, 0x09, 0x00}));
    }

    void writeToSilentServoShowsFaultAfterThreeAttempts()
    {
        Start();
        sim->SetServoSilent(true);
        QTest::mouseClick(Button("WriteBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].title, QString("Warning"));
        QCOMPARE(watcher->seen[0].message, QString("Write Config:Fault!"));
        QCOMPARE(CommandsLike({0x23, 0x01, 0x00, 0x00}), 3);
        QCOMPARE(CommandsLike({0x23, 0x02, 0x00, 0x23}), 0);
    }

    void absurdDeadBandShowsErrorAndProgramGoesOn()
    {
        Start();
        Type("DBEdit", "1e30");
        QTest::mouseClick(Button("WriteBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QVERIFY(watcher->seen[0].errorIcon);
        QCOMPARE(watcher->seen[0].title, QString("Rivivev Uvezi"));
        QVERIFY(watcher->seen[0].message.contains("dead band"));
        QCOMPARE(CommandsLike({0x23, 0x01, 0x00, 0x00}), 0);

        const QString file = dir->filePath("absurd.svo");
        dialogs.answers = {file};
        QTest::mouseClick(Find<QToolButton>("SaveBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{2});
        QVERIFY(!QFile::exists(file));

        Type("DBEdit", "6.0");
        QTest::mouseClick(Button("WriteBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.back().message, QString("Write Config:Succeed!"));
    }

    // ------------------------------------------------------------ fields

    void limitsTurnRedAndSpinBoundsFollowNeutral()
    {
        Start();
        QVERIFY(!IsRed(Edit("SRLEdit")));
        // A limit equal to the neutral position is still on its side.
        Type("SRLEdit", "1500");
        Type("SRUEdit", "1500");
        QVERIFY(!IsRed(Edit("SRLEdit")));
        QVERIFY(!IsRed(Edit("SRUEdit")));
        Type("SRUEdit", "1499");
        QVERIFY(IsRed(Edit("SRUEdit")));
        Type("SRUEdit", "2000");
        Type("SRLEdit", "1501");
        QVERIFY(IsRed(Edit("SRLEdit")));
        Type("SRLEdit", "1600");
        QVERIFY(IsRed(Edit("SRLEdit")));
        QVERIFY(!IsRed(Edit("SRUEdit")));
        Type("NeuEdit", "1700");
        QVERIFY(!IsRed(Edit("SRLEdit")));
        QCOMPARE(Find<TUpDown>("SRLUpDown")->Max(), 1700);
        QCOMPARE(Find<TUpDown>("SRUUpDown")->Min(), 1700);
        Type("SRUEdit", "abc");
        QVERIFY(IsRed(Edit("SRUEdit")));
        Type("SRUEdit", "1800");
        QVERIFY(!IsRed(Edit("SRUEdit")));

        // The upper spin stops at the neutral position it follows.
        Type("NeuEdit", "1790");
        Edit("SRUEdit")->setFocus();
        QTest::keyClick(Edit("SRUEdit"), Qt::Key_Down);
        QCOMPARE(Edit("SRUEdit")->text(), QString("1790"));
        QTest::keyClick(Edit("SRUEdit"), Qt::Key_Down);
        QCOMPARE(Edit("SRUEdit")->text(), QString("1790"));
    }

    void arrowKeysStepDeadBandThroughMirror()
    {
        Start();
        Type("DBEdit", "6.2");
        QCOMPARE(Edit("Edit1")->text(), QString("62"));
        QTest::keyClick(Edit("DBEdit"), Qt::Key_Up);
        QCOMPARE(Edit("DBEdit")->text(), QString("6.4"));
        QTest::keyClick(Edit("DBEdit"), Qt::Key_Down);
        QCOMPARE(Edit("DBEdit")->text(), QString("6.2"));

        Type("DBEdit", "12.8");
        QTest::keyClick(Edit("DBEdit"), Qt::Key_Up);
        QCOMPARE(Edit("DBEdit")->text(), QString("13.0"));
        QTest::keyClick(Edit("DBEdit"), Qt::Key_Up);
        QCOMPARE(Edit("DBEdit")->text(), QString("13.0"));

        Type("DBEdit", "0.6");
        QTest::keyClick(Edit("DBEdit"), Qt::Key_Down);
        QCOMPARE(Edit("DBEdit")->text(), QString("0.4"));
        QTest::keyClick(Edit("DBEdit"), Qt::Key_Down);
        QCOMPARE(Edit("DBEdit")->text(), QString("0.4"));
    }

    void spinStepShowsOneDecimalAfterReadShowsShortest()
    {
        Start();
        QTest::mouseClick(Button("ReadBtn"), Qt::LeftButton);
        QCOMPARE(Edit("DBEdit")->text(), QString("6"));
        QTest::keyClick(Edit("DBEdit"), Qt::Key_Down);
        QTest::keyClick(Edit("DBEdit"), Qt::Key_Up);
        QCOMPARE(Edit("DBEdit")->text(), QString("6.0"));
    }

    void mirrorThatIsNotANumberShowsError()
    {
        Start();
        Edit("Edit1")->setText("abc");
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QVERIFY(watcher->seen[0].errorIcon);
        QCOMPARE(Edit("DBEdit")->text(), QString("6.0"));
    }

    void unitTextClickFocusesItsField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("tag 0") << "StaticText2" << "DBEdit";
        QTest::newRow("tag 1") << "StaticText1" << "SRUEdit";
        QTest::newRow("tag 2") << "StaticText3" << "SRLEdit";
        QTest::newRow("tag 3") << "StaticText4" << "NeuEdit";
        QTest::newRow("tag 4") << "StaticText5" << "NeuIEdit";
    }

    void unitTextClickFocusesItsField()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        Start();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        Find<QComboBox>("RSTBox")->setFocus();
        QTest::mouseClick(Find<QLabel>(text.toLatin1().constData()), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget()->objectName(), field);
    }

    // ------------------------------------------------------------ language

    void languageSwitchRewordsWindowAndNextDialog()
    {
        Start();
        Find<QAction>("pChinese")->trigger();
        QCOMPARE(Button("ReadBtn")->text(), QString::fromUtf8("读配置"));
        QCOMPARE(Find<QLabel>("DBLabel")->text(), QString::fromUtf8("死区:"));
        QCOMPARE(Find<QToolButton>("LanguageBtn")->text(), QString::fromUtf8("语言/Language"));
        QCOMPARE(form->windowTitle(), QString("Rivivev Uvezi"));
        QVERIFY(Find<QAction>("pChinese")->isChecked());
        QVERIFY(preferences.Changed);

        QTest::mouseClick(Button("ReadBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].title, QString::fromUtf8("提示"));
        QCOMPARE(watcher->seen[0].message, QString::fromUtf8("读配置:成功！"));
        QCOMPARE(watcher->seen[0].button, QString::fromUtf8("确定"));

        form->close();
        QFile file(preferencesFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("USB servo register file!\r\n\r\n\r\n1\r\nDo'nt edit the file!\r\n"));
    }

    void menuItemsFollowTheLanguage_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("captions");  // pChineseTW, pChinese, pEnglish
        QTest::newRow("Traditional") << "pChineseTW"
                                     << QStringList{QString::fromUtf8("繁體中文"), QString::fromUtf8("簡體中文/简体中文"),
                                                    QString::fromUtf8("英語/English")};
        QTest::newRow("Simplified") << "pChinese"
                                    << QStringList{QString::fromUtf8("繁體中文/繁體中文"), QString::fromUtf8("简体中文"),
                                                   QString::fromUtf8("英语/English")};
    }

    void menuItemsFollowTheLanguage()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, captions);
        Start();
        const QStringList english{QString::fromUtf8("Chinese/繁體中文"), QString::fromUtf8("Chinese/简体中文"), "English"};
        const std::array<const char*, 3> items{"pChineseTW", "pChinese", "pEnglish"};
        auto shown = [&] {
            QStringList texts;
            for (const char* name : items)
                texts << Find<QAction>(name)->text();
            return texts;
        };
        QCOMPARE(shown(), english);
        Find<QAction>(item.toLatin1().constData())->trigger();
        QCOMPARE(shown(), captions);
        Find<QAction>("pEnglish")->trigger();
        QCOMPARE(shown(), english);
    }

    void pickingCurrentLanguageChangesNothing()
    {
        Start();
        Find<QAction>("pEnglish")->trigger();
        QVERIFY(!preferences.Changed);
        form->close();
        QVERIFY(!QFile::exists(preferencesFile));
    }

    void languageButtonDropsDownTheMenu()
    {
        Start();
        auto* button = Find<QToolButton>("LanguageBtn");
        QCOMPARE(button->menu(), Find<QMenu>("PopupMenu1"));
        QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
        QCOMPARE(Find<QMenu>("PopupMenu1")->actions().size(), 3);
    }

    // ------------------------------------------------------------ parameter file

    void saveThenOpenRoundTrip()
    {
        Start();
        const QString file = dir->filePath("Servo.svo");
        dialogs.answers = {file};
        QTest::mouseClick(Find<QToolButton>("SaveBtn"), Qt::LeftButton);
        QCOMPARE(dialogs.proposed.back().fileName, QString("Servo"));
        QCOMPARE(dialogs.proposed.back().defaultExt, QString("svo"));
        QCOMPARE(dialogs.proposed.back().filter, QString("Servo files(*.svo)"));
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        saved.close();  // on Windows an open file cannot be opened for Open Config
        QCOMPARE(Bytes(bytes.begin(), bytes.end()), kStartingRecord);

        Type("DBEdit", "2");
        Type("SRLEdit", "1100");
        Type("NeuIEdit", "1555");
        dialogs.answers = {file};
        QTest::mouseClick(Find<QToolButton>("OpenBtn"), Qt::LeftButton);
        QCOMPARE(dialogs.proposed.back().fileName, QString("ervo.svo"));
        QCOMPARE(Edit("DBEdit")->text(), QString("6"));
        QCOMPARE(Edit("SRLEdit")->text(), QString("998"));
        QCOMPARE(Edit("SRUEdit")->text(), QString("1997"));
        QCOMPARE(Edit("NeuEdit")->text(), QString("1500"));
        QCOMPARE(Edit("NeuIEdit")->text(), QString("1555"));

        dialogs.answers = {std::nullopt, std::nullopt};
        QTest::mouseClick(Find<QToolButton>("SaveBtn"), Qt::LeftButton);
        QTest::mouseClick(Find<QToolButton>("OpenBtn"), Qt::LeftButton);
        QCOMPARE(dialogs.proposed[2].fileName, file);
        QCOMPARE(dialogs.proposed[3].fileName, file);
        QVERIFY(watcher->seen.empty());
    }

    void cancelledDialogsChangeNothing()
    {
        Start();
        dialogs.answers = {std::nullopt, std::nullopt};
        QTest::mouseClick(Find<QToolButton>("SaveBtn"), Qt::LeftButton);
        QTest::mouseClick(Find<QToolButton>("OpenBtn"), Qt::LeftButton);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 0);
        QCOMPARE(Edit("DBEdit")->text(), QString("6.0"));
        QCOMPARE(dialogs.proposed[0].fileName, QString("Servo"));
        QCOMPARE(dialogs.proposed[1].fileName, QString("ervo.svo"));
    }

    void unreadableFilesAreReportedAndFieldsKept()
    {
        Start();
        const QString shortFile = dir->filePath("short.svo");
        QFile file(shortFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(10, '\x11'));
        file.close();
        dialogs.answers = {shortFile, dir->filePath("none.svo"), dir->path()};
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(Find<QToolButton>("OpenBtn"), Qt::LeftButton);
        QCOMPARE(Edit("DBEdit")->text(), QString("6.0"));
        QCOMPARE(Edit("SRLEdit")->text(), QString("1000"));
        QCOMPARE(watcher->seen.size(), std::size_t{3});
        QVERIFY(watcher->seen[0].errorIcon);
        QCOMPARE(watcher->seen[0].title, QString("Rivivev Uvezi"));
        QVERIFY(watcher->seen[0].message.startsWith("Open Config: " + QDir::toNativeSeparators(shortFile)));
        QVERIFY(watcher->seen[0].message.contains("not a parameter file"));
        QVERIFY(watcher->seen[1].message.contains("does not exist"));
        QVERIFY(watcher->seen[2].message.contains("not a file but a folder"));
    }

    void failedSaveIsReportedInTheCurrentLanguage()
    {
        Start();
        Find<QAction>("pChineseTW")->trigger();
        const QString file = dir->filePath("no-such-folder/Servo.svo");
        dialogs.answers = {file};
        QTest::mouseClick(Find<QToolButton>("SaveBtn"), Qt::LeftButton);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QVERIFY(watcher->seen[0].errorIcon);
        QVERIFY(watcher->seen[0].message.startsWith(QString::fromUtf8("保存配置: ") + QDir::toNativeSeparators(file)));
        QVERIFY(watcher->seen[0].message.contains("does not exist"));
    }


    // ------------------------------------------------------------ keyboard and screen readers

    void screenReadersHearEveryControl_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("fields");  // DBEdit, RSTBox, NeuIEdit, SRUEdit, NeuEdit, SRLEdit
        QTest::addColumn<QString>("increaseSignal");
        QTest::addColumn<QString>("decreaseDeadBand");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("readTip");
        QTest::newRow("Traditional") << 0
                                     << QStringList{QString::fromUtf8("死區"), QString::fromUtf8("鎖舵"),
                                                    QString::fromUtf8("中點信號"), QString::fromUtf8("脈衝上限"),
                                                    QString::fromUtf8("中點位置"), QString::fromUtf8("脈衝下限")}
                                     << QString::fromUtf8("增大中點信號") << QString::fromUtf8("減小死區")
                                     << QString::fromUtf8("數位舵機圖片") << QString::fromUtf8("讀配置 (Alt+R)");
        QTest::newRow("Simplified") << 1
                                    << QStringList{QString::fromUtf8("死区"), QString::fromUtf8("锁舵"),
                                                   QString::fromUtf8("中点信号"), QString::fromUtf8("脉冲上限"),
                                                   QString::fromUtf8("中点位置"), QString::fromUtf8("脉冲下限")}
                                    << QString::fromUtf8("增大中点信号") << QString::fromUtf8("减小死区")
                                    << QString::fromUtf8("数字舵机图片") << QString::fromUtf8("读配置 (Alt+R)");
        QTest::newRow("English") << 2
                                 << QStringList{"Dead Band", "Lock", "Signal", "Pulse Upper", "Neutral", "Pulse Lower"}
                                 << "Increase Signal" << "Decrease Dead Band" << "Picture of a digital servo"
                                 << "Read Config (Alt+R)";
    }

    void screenReadersHearEveryControl()
    {
        QFETCH(int, language);
        QFETCH(QStringList, fields);
        Start();
        // Through the menu, as a user switches, from English and back to it.
        form->pEnglishClick(language == 2 ? 0 : language);
        form->pEnglishClick(language);

        QAccessibleInterface* window = Spoken(form.get());
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), QString("Rivivev Uvezi"));
        QStringList unnamed;
        int named = 0;
        CollectSpoken(window, unnamed, named);
        QVERIFY2(unnamed.isEmpty(), qPrintable("unnamed: " + unnamed.join(", ")));
        // 5 fields, the lock box, 10 arrows, 3 toolbar buttons, the picture
        // and 3 operation buttons at least.
        QVERIFY2(named >= 23, qPrintable(QString::number(named)));

        const std::array<std::pair<const char*, const char*>, 6> labelled{{{"DBLabel", "DBEdit"},
                                                                           {"RSTLabel", "RSTBox"},
                                                                           {"NeuILabel", "NeuIEdit"},
                                                                           {"SRULabel", "SRUEdit"},
                                                                           {"NeuLabel", "NeuEdit"},
                                                                           {"SRLLabel", "SRLEdit"}}};
        for (std::size_t i = 0; i < labelled.size(); ++i) {
            QAccessibleInterface* field = Spoken(Find(labelled[i].second));
            // On Linux a combo box speaks its value and is named by its
            // label through the relation below; elsewhere by this name.
            QCOMPARE(Find(labelled[i].second)->accessibleName(), fields[static_cast<qsizetype>(i)]);
            if (field->role() == QAccessible::EditableText)
                QCOMPARE(field->text(QAccessible::Name), fields[static_cast<qsizetype>(i)]);
            bool tied = false;
            for (const auto& [other, relation] : field->relations(QAccessible::Label))
                tied = tied || other->object() == Find(labelled[i].first);
            QVERIFY2(tied, labelled[i].second);
        }
        // The hint stays the field's description.
        QCOMPARE(Spoken(Edit("DBEdit"))->text(QAccessible::Description), QString("0.4-13us"));

        auto arrow = [&](const char* upDown, int which) {
            return Spoken(Find(upDown))->child(which)->text(QAccessible::Name);
        };
        QTEST(arrow("NeuIUpDown", 0), "increaseSignal");
        QTEST(arrow("DBUpDown", 1), "decreaseDeadBand");
        QTEST(Spoken(Find("Image1"))->text(QAccessible::Name), "picture");
        QTEST(Button("ReadBtn")->toolTip(), "readTip");
    }

    void keysReachTheToolbarAndTheOperations_data()
    {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("outcome");  // the result dialog's message, or the file dialog proposed
        QTest::newRow("Ctrl+O") << QKeyCombination(Qt::CTRL, Qt::Key_O) << "OpenBtn" << "open ervo.svo";
        QTest::newRow("Ctrl+S") << QKeyCombination(Qt::CTRL, Qt::Key_S) << "SaveBtn" << "save Servo";
        QTest::newRow("Alt+R") << QKeyCombination(Qt::ALT, Qt::Key_R) << "ReadBtn" << "Read Config:Succeed!";
        QTest::newRow("Alt+W") << QKeyCombination(Qt::ALT, Qt::Key_W) << "WriteBtn" << "Write Config:Succeed!";
        QTest::newRow("Alt+I") << QKeyCombination(Qt::ALT, Qt::Key_I) << "InitBtn" << "Initialize:Succeed!";
    }

    void keysReachTheToolbarAndTheOperations()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(QString, control);
        QFETCH(QString, outcome);
        Start();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        dialogs.answers = {std::nullopt};
        QTest::keyClick(Edit("NeuIEdit"), key.key(), key.keyboardModifiers());

        QStringList happened;
        for (const TFileDialog& dialog : dialogs.proposed)
            happened << QString("%1 %2").arg(dialog.kind == TFileDialog::Kind::Save ? "save" : "open", dialog.fileName);
        for (const auto& seen : watcher->seen)
            happened << seen.message;
        QCOMPARE(happened, QStringList{outcome});
        // The key did not type into the field it was pressed in.
        QCOMPARE(Edit("NeuIEdit")->text(), QString("1500"));
        const QString keyName = QKeySequence(key).toString(QKeySequence::NativeText);
        QVERIFY2(Find<QAbstractButton>(control.toLatin1().constData())->toolTip().endsWith("(" + keyName + ")"),
                 qPrintable(Find<QAbstractButton>(control.toLatin1().constData())->toolTip()));
    }

    void operationKeysDoNothingWhileTheButtonsAreDisabled()
    {
        Start(false);
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        for (Qt::Key letter : {Qt::Key_R, Qt::Key_W, Qt::Key_I})
            QTest::keyClick(Edit("DBEdit"), letter, Qt::AltModifier);
        QVERIFY(watcher->seen.empty());
        QVERIFY(sim->ReceivedCommands().empty());
    }

    // Holding Enter or Space on a button: one operation, and the result
    // dialog stays open until a fresh press.
    void aHeldKeyRunsOneOperationAndLeavesTheResultOpen_data()
    {
        QTest::addColumn<int>("key");
        // Flagged: the window system marks each repeat. Paired: it sends
        // release and press pairs, one right after the other, unmarked.
        QTest::addColumn<bool>("flagged");
        QTest::newRow("Enter") << int(Qt::Key_Return) << true;
        QTest::newRow("Space") << int(Qt::Key_Space) << true;
        QTest::newRow("Enter, paired") << int(Qt::Key_Return) << false;
        QTest::newRow("Space, paired") << int(Qt::Key_Space) << false;
    }

    void aHeldKeyRunsOneOperationAndLeavesTheResultOpen()
    {
        QFETCH(int, key);
        QFETCH(bool, flagged);
        Start();
        QPushButton* write = Button("WriteBtn");
        QApplication::setActiveWindow(form.get());
        write->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), write);
        const auto send = [&](QWidget* to, QEvent::Type type, bool repeat) {
            QKeyEvent event(type, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "\r", repeat && flagged);
            QApplication::sendEvent(to, &event);
        };
        const auto repeats = [&](QWidget* to) {
            for (int repeat = 0; repeat < 5; ++repeat) {
                send(to, QEvent::KeyRelease, true);
                send(to, QEvent::KeyPress, true);
            }
        };
        bool openAfterRepeats = false;
        watcher->onShown = [&](QWidget* dialog) {
            repeats(dialog->focusWidget() ? dialog->focusWidget() : dialog);
            openAfterRepeats = dialog->isVisible();
            return 0;
        };
        // As the window system delivers keys: to the widget with the focus,
        // else to the active window.
        const auto target = [&]() -> QWidget* {
            if (QWidget* focused = QApplication::focusWidget())
                return focused;
            return QApplication::activeWindow() ? QApplication::activeWindow() : form.get();
        };
        send(write, QEvent::KeyPress, false);
        repeats(target());
        send(target(), QEvent::KeyRelease, false);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QVERIFY(openAfterRepeats);
        QCOMPARE(CommandsLike({0x23, 0x01, 0x00, 0x00}), 1);
    }

    // A key pressed while the Language menu is open is the menu's: the
    // operations' keys neither run nor, having closed the menu, run after.
    void noOperationFromAKeyWhileTheMenuIsOpen()
    {
        Start();
        const std::size_t commands = sim->ReceivedCommands().size();
        auto* menu = form->findChild<QMenu*>();
        QVERIFY(menu);
        menu->popup(form->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_R, Qt::AltModifier);
        QTest::qWait(20);
        menu->hide();
        QVERIFY(watcher->seen.empty());
        QCOMPARE(sim->ReceivedCommands().size(), commands);
    }

    // A field with arrows is a spin box to a screen reader, which reads out
    // its value as it changes: stepped, typed, or read from the servo. The
    // dead band's arrows step tenths.
    void fieldsAreSpinBoxesWithTheirValues_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("stepped");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::newRow("dead band") << "DBEdit" << 6.0 << 6.2 << 0.4 << 13.0;
        QTest::newRow("pulse upper") << "SRUEdit" << 2000.0 << 2010.0 << 1500.0 << 2100.0;
        QTest::newRow("signal") << "NeuIEdit" << 1500.0 << 1510.0 << 1400.0 << 1600.0;
    }

    void fieldsAreSpinBoxesWithTheirValues()
    {
        QFETCH(QString, field);
        Start();
        QLineEdit* edit = Edit(field.toUtf8().constData());
        QAccessibleInterface* spoken = Spoken(edit);
        QCOMPARE(spoken->role(), QAccessible::SpinBox);
        QAccessibleValueInterface* value = spoken->valueInterface();
        QVERIFY(value);
        QTEST(value->currentValue().toDouble(), "value");
        QTEST(value->minimumValue().toDouble(), "minimum");
        QTEST(value->maximumValue().toDouble(), "maximum");
        QTest::keyClick(edit, Qt::Key_Up);
        QTEST(value->currentValue().toDouble(), "stepped");
        // Its text stays readable as an edit field's.
        QVERIFY(spoken->textInterface());
        QCOMPARE(spoken->textInterface()->text(0, spoken->textInterface()->characterCount()), edit->text());
    }

    // What is only seen is also heard: a limit past the neutral position
    // says so in its description, in the language shown.
    void limitsPastTheNeutralAreHeard()
    {
        Start();
        QLineEdit* lower = Edit("SRLEdit");
        const QString hint = Spoken(lower)->text(QAccessible::Description);
        Type("SRLEdit", "1600");  // above the neutral position, 1500
        QCOMPARE(Spoken(lower)->text(QAccessible::Description), hint + " (above the neutral position)");
        Type("SRUEdit", "1400");
        QCOMPARE(Spoken(Edit("SRUEdit"))->text(QAccessible::Description),
                 Edit("SRUEdit")->toolTip() + " (below the neutral position)");
        form->pEnglishClick(0);
        QCOMPARE(Spoken(lower)->text(QAccessible::Description), hint + QString::fromUtf8("（高於中點位置）"));
        Type("SRLEdit", "1000");
        QCOMPARE(Spoken(lower)->text(QAccessible::Description), hint);
    }

    void keysActOnlyInTheMainWindow()
    {
        // A tool window of the main window (the demo's panel) shares its
        // shortcuts; the operations' keys pressed there do nothing.
        Start();
        QWidget panel(form.get(), Qt::Tool);
        panel.show();
        QApplication::setActiveWindow(&panel);
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        const std::size_t commands = sim->ReceivedCommands().size();
        QTest::keyClick(&panel, Qt::Key_R, Qt::AltModifier);
        QVERIFY(watcher->seen.empty());
        QCOMPARE(sim->ReceivedCommands().size(), commands);
    }

    void pointerIsBusyFromTheFirstExchangeToTheResult()
    {
        Start();
        // Seen by the adapter at each command, and by the result dialog.
        std::vector<bool> busyAtCommand;
        bridge->onWrite = [&] {
            const QCursor* pointer = QGuiApplication::overrideCursor();
            busyAtCommand.push_back(pointer && pointer->shape() == Qt::WaitCursor);
        };
        std::vector<bool> busyAtResult;
        watcher->onShown = [&](QWidget*) {
            busyAtResult.push_back(QGuiApplication::overrideCursor() != nullptr);
            return 0;
        };
        for (const char* operation : {"ReadBtn", "WriteBtn", "InitBtn"})
            QTest::mouseClick(Button(operation), Qt::LeftButton);
        sim->SetServoSilent(true);
        QTest::mouseClick(Button("ReadBtn"), Qt::LeftButton);

        QVERIFY(!busyAtCommand.empty());
        QVERIFY(std::all_of(busyAtCommand.begin(), busyAtCommand.end(), [](bool busy) { return busy; }));
        QCOMPARE(busyAtResult, std::vector<bool>(4, false));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    // ------------------------------------------------------------ keys and looks

    void enterPressesTheFocusedButton()
    {
        Start();
        Button("WriteBtn")->setFocus();
        QTest::keyClick(Button("WriteBtn"), Qt::Key_Return);
        QCOMPARE(watcher->seen.size(), std::size_t{1});
        QCOMPARE(watcher->seen[0].message, QString("Write Config:Succeed!"));
    }

    void toolbarSeparatorsAreDrawn()
    {
        Start();
        // Between the Open and Save buttons the white toolbar shows a line.
        auto* toolBar = Find<QToolBar>("ToolBar1");
        const QImage image = toolBar->grab().toImage();
        const int from = Find<QToolButton>("OpenBtn")->geometry().right() + 1;
        const int to = Find<QToolButton>("SaveBtn")->geometry().left();
        QVERIFY(to - from >= 4);
        int grey = 0;
        for (int x = from; x < to; ++x)
            grey += image.pixelColor(x, toolBar->height() / 2).lightness() < 200 ? 1 : 0;
        QCOMPARE(grey, 1);
    }
};

}  // namespace rvz

QTEST_MAIN(rvz::MainTest)
#include "MainTest.moc"
