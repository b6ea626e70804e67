// SPDX-License-Identifier: GPL-3.0-or-later
#include "Main.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <optional>
#include <vector>

#include "Attempts.h"
#include "BusyPointer.h"
#include "Comm.h"
#include "ServoOperations.h"
#include "Conversions.h"
#include "ErrorBox.h"
#include "Keys.h"
#include "Msgex.h"
#include "NumberText.h"
#include "ParamFile.h"
#include "Pictures.h"
#include "Protocol.h"
#include "Reg.h"
#include "StaticText.h"
#include "ChoiceFieldAccessible.h"
#include "Strs.h"
#include "UpDown.h"

namespace rvz {

namespace {

constexpr int kClientWidth = 577;
constexpr int kClientHeight = 332;
const QColor kBackground(222, 222, 222);

std::string FieldText(const QLineEdit* field) { return field->text().toStdString(); }

std::filesystem::path FilePath(const QString& name) { return std::filesystem::path(name.toStdU16String()); }

}  // namespace

TServoForm::TServoForm(TServoFormServices services)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_comm(services.comm),
      m_preferences(services.preferences),
      m_preferencesFile(std::move(services.preferencesFile)),
      m_fileDialogs(services.fileDialogs),
      m_decimalSeparator(UserDecimalSeparator()),
      OpenDialog1(MakeOpenDialog1()),
      SaveDialog1(MakeSaveDialog1())
{
    SpeakAsWindow();
    InstallKeyRepeatGuard(*this);
    setObjectName("ServoForm");
    setWindowTitle("Rivivev Uvezi");
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, kBackground);
    setPalette(background);
    QFont systemFont = font();
    // The 16-pixel cell of the designed system font holds glyphs 13 pixels high.
    systemFont.setPixelSize(13);
    setFont(systemFont);
    setAttribute(Qt::WA_AlwaysShowToolTips);

    CreateToolBar();
    CreateFields();
    CreateButtons();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName("Timer1");
    m_timer1->setInterval(static_cast<int>(kPollInterval.count()));
    Own(m_timer1);

    CreateKeys();
    ConnectHandlers();
    m_timer1->start();
}

void TServoForm::Own(QObject* component) { m_components.append(component); }

void TServoForm::CreateToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setGeometry(0, 0, kClientWidth, 26);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolBar1->setStyleSheet("QToolBar { background: white; border: none; border-bottom: 1px solid #a0a0a0;"
                            " padding: 0px 0px 0px 4px; spacing: 0px; }"
                            // A thin grey line in an 8-pixel gap, as a flat toolbar draws it.
                            "QToolBar::separator { width: 1px; margin: 3px 4px 3px 3px; background: #a0a0a0; }"
                            "QToolButton { min-height: 24px; max-height: 24px; padding: 0px 4px; }");
    Own(ToolBar1);

    auto addButton = [this](const char* name, const QString& designed) {
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(name);
        button->setText(designed);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        ToolBar1->addWidget(button);
        Own(button);
        return button;
    };
    auto addSeparator = [this](const char* name) {
        QAction* separator = ToolBar1->addSeparator();
        separator->setObjectName(name);
        Own(separator);
    };

    OpenBtn = addButton("OpenBtn", QString::fromUtf8("打开配置"));
    addSeparator("ToolButton1");
    SaveBtn = addButton("SaveBtn", QString::fromUtf8("保存配置"));
    addSeparator("ToolButton3");
    LanguageBtn = addButton("LanguageBtn", QString::fromUtf8("语言/Language"));
    LanguageBtn->setPopupMode(QToolButton::InstantPopup);
}

QLabel* TServoForm::AddLabel(const char* name, const QString& designed, int left, int top)
{
    auto* label = new QLabel(designed, this);
    label->setObjectName(name);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->move(left, top);
    label->adjustSize();
    m_captionLabels.append(label);
    Own(label);
    return label;
}

QLineEdit* TServoForm::AddEdit(const char* name, const QString& text, const QString& hint, int left, int top)
{
    auto* edit = new QLineEdit(text, this);
    edit->setObjectName(name);
    edit->setGeometry(left, top, 65, 24);
    edit->setToolTip(hint);
    Own(edit);
    return edit;
}

TUpDown* TServoForm::AddUpDown(const char* name, QLineEdit* field, int left, int top, int minimum, int maximum,
                               int step, int position)
{
    auto* upDown = new TUpDown(this);
    upDown->setObjectName(name);
    upDown->setGeometry(left, top, 16, 24);
    upDown->SetAssociate(field);
    upDown->SetRange(minimum, maximum);
    upDown->SetIncrement(step);
    upDown->SetPosition(position);
    Own(upDown);
    return upDown;
}

TStaticText* TServoForm::AddUnitText(const char* name, int tag, int left, int top)
{
    auto* text = new TStaticText(QString::fromUtf8("μs"), tag, this);
    text->setObjectName(name);
    text->setGeometry(left, top, 18, 20);
    text->setAlignment(Qt::AlignCenter);
    text->setStyleSheet("QLabel { color: blue; background: white; font-weight: bold; border: none; }");
    m_unitTexts[static_cast<std::size_t>(tag)] = text;
    Own(text);
    return text;
}

void TServoForm::CreateFields()
{
    QLabel* dbLabel = AddLabel("DBLabel", QString::fromUtf8("死区："), 16, 64);
    DBEdit = AddEdit("DBEdit", "6.0", "0.4-13us", 104, 56);
    Edit1 = AddEdit("Edit1", "60", QString(), 104, 56);
    Edit1->hide();
    DBUpDown = AddUpDown("DBUpDown", Edit1, 169, 56, 4, 130, 2, 60);
    AddUnitText("StaticText2", 0, 149, 58);
    // The spin buttons step the hidden mirror of tenths, but speak of the
    // dead band.
    m_screenReader.LabelField(dbLabel, DBEdit, DBUpDown, 10);

    QLabel* rstLabel = AddLabel("RSTLabel", QString::fromUtf8("锁舵："), 208, 64);
    RSTBox = new QComboBox(this);
    RSTBox->setObjectName("RSTBox");
    SpeakChoice(RSTBox);
    RSTBox->setGeometry(288, 56, 81, 24);
    RSTBox->addItems({"N", "Y"});
    RSTBox->setCurrentIndex(1);
    Own(RSTBox);
    m_screenReader.LabelField(rstLabel, RSTBox, nullptr);

    // The four integer fields: a label, the field, its spin buttons at its
    // right edge and the unit text over the field's right-hand end.
    struct FieldRow {
        const char* label;
        const char* designed;
        int labelLeft;
        const char* edit;
        const char* hint;
        int left;
        int top;
        const char* upDown;
        int minimum;
        int maximum;
        int step;
        int start;
        const char* unitText;
        int tag;
        QLineEdit* TServoForm::*editMember;
        TUpDown* TServoForm::*upDownMember;  // null where the window never moves its bounds
    };
    const std::array<FieldRow, 4> fields{{
        {"NeuILabel", "中点信号：", 392, "NeuIEdit", "1400-1600us", 480, 56, "NeuIUpDown", 1400, 1600, 10, 1500,
         "StaticText5", 4, &TServoForm::NeuIEdit, nullptr},
        {"SRULabel", "脉冲上限：", 16, "SRUEdit", "2290us-Neutral", 104, 120, "SRUUpDown", 1500, 2100, 10, 2000,
         "StaticText1", 1, &TServoForm::SRUEdit, &TServoForm::SRUUpDown},
        {"NeuLabel", "中点位置：", 208, "NeuEdit", "1360-1640us", 288, 120, "NeuUpDown", 1400, 1600, 20, 1500,
         "StaticText4", 3, &TServoForm::NeuEdit, nullptr},
        {"SRLLabel", "脉冲下限：", 392, "SRLEdit", "Neutral-710us", 480, 120, "SRLUpDown", 900, 1500, 10, 1000,
         "StaticText3", 2, &TServoForm::SRLEdit, &TServoForm::SRLUpDown},
    }};
    for (const FieldRow& row : fields) {
        QLabel* label = AddLabel(row.label, QString::fromUtf8(row.designed), row.labelLeft, row.top + 8);
        QLineEdit* edit = AddEdit(row.edit, QString::number(row.start), row.hint, row.left, row.top);
        TUpDown* upDown = AddUpDown(row.upDown, edit, row.left + 65, row.top, row.minimum, row.maximum, row.step, row.start);
        AddUnitText(row.unitText, row.tag, row.left + 45, row.top + 2);
        m_screenReader.LabelField(label, edit, upDown);
        this->*row.editMember = edit;
        if (row.upDownMember)
            this->*row.upDownMember = upDown;
    }
    m_screenReader.SetLimitFields(SRLEdit, SRUEdit);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(392, 160, 159, 122);
    Image1->setScaledContents(true);  // the 150 x 107 picture stretched to fill
    DrawPictureForScreen();
    m_screenReader.SetPicture(Image1);
    Own(Image1);

    // The unit texts lie over the right-hand end of their fields.
    for (TStaticText* text : m_unitTexts)
        text->raise();
}

QPushButton* TServoForm::AddButton(const char* name, const QString& designed, int left)
{
    auto* button = new QPushButton(designed, this);
    button->setObjectName(name);
    button->setGeometry(left, 288, 113, 28);
    button->setEnabled(false);
    button->setAutoDefault(false);
    Own(button);
    return button;
}

void TServoForm::CreateButtons()
{
    ReadBtn = AddButton("ReadBtn", QString::fromUtf8("读配置"), 16);
    WriteBtn = AddButton("WriteBtn", QString::fromUtf8("写配置"), 152);
    InitBtn = AddButton("InitBtn", QString::fromUtf8("初始化"), 288);

    auto* label1 = new QLabel("V1.1", this);
    label1->setObjectName("Label1");
    label1->setGeometry(528, 304, 20, 13);
    QFont serif("MS Serif");
    serif.setStyleHint(QFont::Serif);
    serif.setPixelSize(11);
    label1->setFont(serif);
    // Another serif of the same height may run wider than the designed one.
    label1->resize(std::max(20, label1->sizeHint().width()), 13);
    Own(label1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    Own(PopupMenu1);
    auto* group = new QActionGroup(PopupMenu1);
    group->setExclusive(true);
    const std::array<std::pair<const char*, QString>, 3> items{{{"pChineseTW", QString::fromUtf8("?体中文")},
                                                                {"pChinese", QString::fromUtf8("简体中文")},
                                                                {"pEnglish", QStringLiteral("ENGLISH")}}};
    for (std::size_t tag = 0; tag < items.size(); ++tag) {
        QAction* item = PopupMenu1->addAction(items[tag].second);
        item->setObjectName(items[tag].first);
        item->setCheckable(true);
        item->setProperty("Tag", static_cast<int>(tag));
        group->addAction(item);
        m_languageItems[tag] = item;
        Own(item);
    }
    m_languageItems[0]->setChecked(true);
    LanguageBtn->setMenu(PopupMenu1);

    const std::array<QWidget*, 9> tabOrder{DBEdit, RSTBox, SRUEdit, SRLEdit, NeuEdit, NeuIEdit, ReadBtn, WriteBtn, InitBtn};
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TServoForm::CreateKeys()
{
    // Keys reach the toolbar and the operations without a place in the tab
    // order.
    m_keys = new TWindowKeys(*this);
    const std::vector<TKeyedButton> keyed{{OpenBtn, QKeySequence(QKeySequence::Open)},
                                          {SaveBtn, QKeySequence(QKeySequence::Save)},
                                          {ReadBtn, QKeySequence(Qt::ALT | Qt::Key_R)},
                                          {WriteBtn, QKeySequence(Qt::ALT | Qt::Key_W)},
                                          {InitBtn, QKeySequence(Qt::ALT | Qt::Key_I)}};
    for (const TKeyedButton& entry : keyed)
        m_keys->ClickOnKey(entry.button, entry.key);
    for (const QKeySequence& key : LanguageMenuKeys())
        m_keys->OnKey(key, [this] { LanguageBtn->showMenu(); });
    m_keys->WatchMenu(*PopupMenu1);
    m_screenReader.SetKeys(keyed, LanguageBtn, LanguageMenuKeys());
}

void TServoForm::ConnectHandlers()
{
    connect(m_timer1, &QTimer::timeout, this, &TServoForm::Timer1Timer);
    connect(ReadBtn, &QPushButton::clicked, this, &TServoForm::ReadBtnClick);
    connect(WriteBtn, &QPushButton::clicked, this, &TServoForm::WriteBtnClick);
    connect(InitBtn, &QPushButton::clicked, this, &TServoForm::InitBtnClick);
    connect(OpenBtn, &QToolButton::clicked, this, &TServoForm::OpenBtnClick);
    connect(SaveBtn, &QToolButton::clicked, this, &TServoForm::SaveBtnClick);
    for (TStaticText* text : m_unitTexts)
        connect(text, &TStaticText::clicked, this, &TServoForm::StaticTextClick);
    for (QAction* item : m_languageItems)
        connect(item, &QAction::triggered, this, [this, item] { pEnglishClick(item->property("Tag").toInt()); });
    for (QLineEdit* field : {SRUEdit, SRLEdit, NeuEdit, NeuIEdit})
        connect(field, &QLineEdit::textChanged, this, &TServoForm::SREditChange);
    connect(DBEdit, &QLineEdit::textChanged, this, &TServoForm::DBEditChange);
    AttachEdit1Change();
    DBEdit->installEventFilter(this);
    for (QPushButton* button : {ReadBtn, WriteBtn, InitBtn})
        button->installEventFilter(this);
}

// ---------------------------------------------------------------- start and stop

void TServoForm::showEvent(QShowEvent* event)
{
    if (!m_formShown && !event->spontaneous()) {
        m_formShown = true;
        // Moved to a screen of another pixel density, the picture is drawn
        // again for it.
        if (QWindow* window = windowHandle())
            connect(window, &QWindow::screenChanged, this, &TServoForm::DrawPictureForScreen);
        DrawPictureForScreen();
        if (const QScreen* desktop = screen())
            move(desktop->availableGeometry().center() - rect().center());
        RunGuarded(this, [this] { FormShow(); });
    }
    QWidget::showEvent(event);
}

void TServoForm::DrawPictureForScreen()
{
    const int scale = PictureScale(devicePixelRatioF());
    if (scale == m_pictureScale)
        return;
    m_pictureScale = scale;
    Image1->setPixmap(DrawServoPicture(scale));
}

void TServoForm::FormShow()
{
    if (!LoadPreferences(m_preferences, m_preferencesFile))
        m_preferences.Language = kEnglish;
    SetLanguage(m_preferences.Language);
    Timer1Timer();
    DBEdit->setFocus();
}

void TServoForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TServoForm::FormClose()
{
    // No poll may open the adapter again once the window is closing, not even
    // one that ticks while an error box below is open.
    m_timer1->stop();
    // A preferences file that cannot be written is reported, but never keeps
    // the user from quitting or leaves the adapter open.
    RunGuarded(this, [this] { SavePreferences(m_preferences, m_preferencesFile); });
    // Closing may first wait for replies still on their way; the window is
    // gone by then rather than frozen.
    hide();
    m_comm.CloseAdapter();
}

// ---------------------------------------------------------------- poll

void TServoForm::Timer1Timer()
{
    // A session open and identified is only counted; a new one is
    // identified, and a device that is not ours is released and left alone
    // until it goes away.
    // A program before this one may have left a reply on its way; the link
    // then falls quiet before the identification, which takes a second or two.
    std::optional<TBusyPointer> waiting;
    if (!m_comm.Identified() && m_comm.OpenAdapter() && m_comm.ReplyMayBeOnItsWay())
        waiting.emplace();
    const bool ours = Connect(m_comm, false).Identified();
    if (ours == m_lastLinked)
        return;
    m_lastLinked = ours;
    EnableAdapterButtons(ours);
}

void TServoForm::EnableAdapterButtons(bool enable)
{
    for (QPushButton* button : {ReadBtn, WriteBtn, InitBtn})
        button->setEnabled(enable);
}

// ---------------------------------------------------------------- operations

void TServoForm::ReadBtnClick()
{
    RunOperation(ReadBtn, [this] {
        TServoConfig record;
        if (!ReadConfig(m_comm, record.Bytes).ok)
            return false;
        SetConfig(record);
        return true;
    });
}

void TServoForm::WriteBtnClick()
{
    RunGuarded(this, [this] {
        RunOperation(WriteBtn, [this] {
            const TServoConfig record = GetConfig();
            return SendAndConfirm(m_comm, record.Bytes, false).ok;
        });
    });
}

void TServoForm::InitBtnClick()
{
    RunGuarded(this, [this] {
        RunOperation(InitBtn, [this] { return SendAndConfirm(m_comm, GetConfig().Bytes, true).ok; });
    });
}

void TServoForm::RunOperation(const QPushButton* operation, const std::function<bool()>& exchange)
{
    // The exchanges hold the user-interface thread for up to seconds; the
    // pointer says so from before the first of them until the result.
    TBusyPointer busy;
    const bool done = exchange();
    busy.End();
    ShowResult(operation->text(), done ? kOutcomeSuccess : kOutcomeFault);
}

void TServoForm::ShowResult(const QString& text, int outcome)
{
    if (!m_msgExForm)
        return;
    m_msgExForm->SetMessage(text, m_preferences.Language, outcome);
    m_msgExForm->exec();
}

// ---------------------------------------------------------------- parameter file

void TServoForm::OpenBtnClick()
{
    if (!m_fileDialogs.Execute(OpenDialog1, this))
        return;
    TServoConfig record;
    // A file that cannot be read leaves every field as it was, so nothing
    // on screen claims to have come from it.
    if (const ParamFileResult read = ReadParamFile(FilePath(OpenDialog1.fileName), record); !read)
        return ReportFileError(OpenBtn, OpenDialog1.fileName, read);
    SetConfig(record);
}

void TServoForm::SaveBtnClick()
{
    RunGuarded(this, [this] {
        if (!m_fileDialogs.Execute(SaveDialog1, this))
            return;
        // The record is built before the file is touched, so a dead band that
        // cannot be stored never leaves an empty or half-written file.
        const TServoConfig record = GetConfig();
        if (const ParamFileResult written = WriteParamFile(FilePath(SaveDialog1.fileName), record); !written)
            ReportFileError(SaveBtn, SaveDialog1.fileName, written);
    });
}

void TServoForm::ReportFileError(const QToolButton* operation, const QString& file, const ParamFileResult& result)
{
    // The operation's caption speaks the current language; the reason is English.
    ShowErrorBox(this, QStringLiteral("%1: %2\n%3")
                           .arg(operation->text(), QDir::toNativeSeparators(file),
                                QString::fromStdString(DescribeParamFileError(result))));
}

// ---------------------------------------------------------------- fields

TServoConfig TServoForm::GetConfig() const
{
    TServoFields fields;
    fields.DeadBand = FieldText(DBEdit);
    fields.LockIndex = RSTBox->currentIndex();
    fields.Lower = FieldText(SRLEdit);
    fields.Upper = FieldText(SRUEdit);
    fields.Neutral = FieldText(NeuEdit);
    fields.Signal = FieldText(NeuIEdit);
    return BuildConfig(fields, m_decimalSeparator);
}

void TServoForm::SetConfig(const TServoConfig& config)
{
    // Each setText runs the field's change handler when the text differs,
    // so the mirror, colours and spin bounds follow.
    const TShownConfig shown = ShowConfig(config, m_decimalSeparator);
    DBEdit->setText(QString::fromStdString(shown.DeadBand));
    RSTBox->setCurrentIndex(shown.LockIndex);
    SRLEdit->setText(QString::fromStdString(shown.Lower));
    SRUEdit->setText(QString::fromStdString(shown.Upper));
    NeuEdit->setText(QString::fromStdString(shown.Neutral));
}

void TServoForm::SREditChange()
{
    const TLimitCheck check = LimitCheck();
    auto colour = [this](QLineEdit* field, bool red) {
        QPalette palette = this->palette();  // the window's own text colour
        if (red)
            palette.setColor(QPalette::Text, QColor(255, 0, 0));
        field->setPalette(palette);
    };
    colour(SRLEdit, check.LowerRed);
    colour(SRUEdit, check.UpperRed);
    m_screenReader.DescribeLimits(ShownLanguage(), check);
    SRLUpDown->SetMax(check.LowerSpinMax);
    SRUUpDown->SetMin(check.UpperSpinMin);
}

TLimitCheck TServoForm::LimitCheck() const
{
    return CheckLimits(FieldText(NeuEdit), FieldText(SRLEdit), FieldText(SRUEdit));
}

void TServoForm::DBEditChange()
{
    const std::int32_t tenths = DeadBandMirror(FieldText(DBEdit), m_decimalSeparator);
    // Detached, so the mirror's update does not echo back into DBEdit.
    disconnect(m_edit1Change);
    Edit1->setText(QString::number(tenths));
    AttachEdit1Change();
}

void TServoForm::AttachEdit1Change()
{
    m_edit1Change = connect(Edit1, &QLineEdit::textChanged, this, &TServoForm::Edit1Change);
}

void TServoForm::Edit1Change()
{
    RunGuarded(this, [this] {
        DBEdit->setText(QString::fromStdString(DeadBandFromMirror(FieldText(Edit1), m_decimalSeparator)));
    });
}

bool TServoForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBEdit && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        int key = keyEvent->key();
        if (event->type() == QEvent::KeyPress)
            DBEditKeyDown(key, keyEvent->modifiers());
        else
            DBEditKeyUp(key, keyEvent->modifiers());
        if (key == 0)
            return true;  // the handler swallowed it
    }
    if (event->type() == QEvent::KeyPress && PressesFocusedButton(*static_cast<QKeyEvent*>(event)))
        for (QPushButton* button : {ReadBtn, WriteBtn, InitBtn})
            if (watched == button) {
                button->click();
                return true;
            }
    return QWidget::eventFilter(watched, event);
}

void TServoForm::DBEditKeyDown(int& key, Qt::KeyboardModifiers shift) { ForwardArrowToMirror(QEvent::KeyPress, key, shift); }

void TServoForm::DBEditKeyUp(int& key, Qt::KeyboardModifiers shift) { ForwardArrowToMirror(QEvent::KeyRelease, key, shift); }

void TServoForm::ForwardArrowToMirror(QEvent::Type type, int& key, Qt::KeyboardModifiers shift)
{
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return;
    // The spin buttons are bound to the hidden mirror, so Up and Down in the
    // dead-band field step it through them, 0.2 us at a time.
    QKeyEvent forwarded(type, key, shift);
    QCoreApplication::sendEvent(Edit1, &forwarded);
    key = 0;
}

void TServoForm::StaticTextClick(int tag)
{
    const std::array<QLineEdit*, 5> fields{DBEdit, SRUEdit, SRLEdit, NeuEdit, NeuIEdit};
    if (tag >= 0 && tag < static_cast<int>(fields.size()))
        fields[static_cast<std::size_t>(tag)]->setFocus(Qt::MouseFocusReason);
}

// ---------------------------------------------------------------- language

void TServoForm::SetLanguage(std::int32_t language) { rvz::SetLanguage(*this, language); }

void TServoForm::CaptionsApplied()
{
    // Labels are auto-sized: each follows its new caption's width.
    for (QLabel* label : m_captionLabels)
        label->adjustSize();
    m_screenReader.Name(ShownLanguage(), LimitCheck());
}

std::int32_t TServoForm::ShownLanguage() const
{
    for (std::size_t column = 0; column < m_languageItems.size(); ++column)
        if (m_languageItems[column]->isChecked())
            return static_cast<std::int32_t>(column);
    return kEnglish;
}

void TServoForm::pEnglishClick(int tag) { PickLanguage(*this, m_preferences, tag); }

QAction* TServoForm::LanguageItem(int column) const
{
    return column >= 0 && column < 3 ? m_languageItems[static_cast<std::size_t>(column)] : nullptr;
}

void TServoForm::SetCaption(const QString& caption) { setWindowTitle(caption); }

}  // namespace rvz
