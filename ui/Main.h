// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Unit Main: the main window. It shows the servo's parameters, polls the
// adapter every 300 ms, runs Read, Write and Initialise with up to three
// attempts each and reports them in the result dialog.

#include <QEvent>
#include <QList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "Conversions.h"
#include "FileDialogs.h"
#include "LanguageSwitch.h"
#include "ParamFile.h"
#include "ScreenReaderNames.h"
#include "ServoConfig.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QToolBar;
class QToolButton;

namespace rvz {

class TComm;
class TMsgExForm;
class TStaticText;
class TUpDown;
class TWindowKeys;
struct TPreferences;

// What the window works with, handed in by the program (or by a test).
struct TServoFormServices {
    TComm& comm;
    TPreferences& preferences;
    std::filesystem::path preferencesFile;
    TFileDialogRunner& fileDialogs;
};

class TServoForm : public QWidget, public TLanguageWindow {
    Q_OBJECT
public:
    explicit TServoForm(TServoFormServices services);

    void SetResultDialog(TMsgExForm* dialog) { m_msgExForm = dialog; }

    // The conversions bound to the fields.
    TServoConfig GetConfig() const;
    void SetConfig(const TServoConfig& config);

    // Handlers, public so the program's flows can be driven directly.
    void Timer1Timer();
    void ReadBtnClick();
    // Write and Initialize say "Succeed!" only once the servo, read back,
    // holds what was sent; the fields stay as the user set them either way.
    void WriteBtnClick();
    void InitBtnClick();
    void OpenBtnClick();
    void SaveBtnClick();
    void StaticTextClick(int tag);
    void pEnglishClick(int tag);
    void SetLanguage(std::int32_t language);

    QTimer* Timer1() const { return m_timer1; }

    // TLanguageWindow
    QAction* LanguageItem(int column) const override;
    void SetCaption(const QString& caption) override;
    int ComponentCount() const override { return static_cast<int>(m_components.size()); }
    QObject* Component(int index) const override { return m_components.value(index); }
    void CaptionsApplied() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateToolBar();
    void CreateFields();
    void CreateButtons();
    QLabel* AddLabel(const char* name, const QString& designed, int left, int top);
    QLineEdit* AddEdit(const char* name, const QString& text, const QString& hint, int left, int top);
    TUpDown* AddUpDown(const char* name, QLineEdit* field, int left, int top, int minimum, int maximum, int step,
                       int position);
    TStaticText* AddUnitText(const char* name, int tag, int left, int top);
    QPushButton* AddButton(const char* name, const QString& designed, int left);
    void Own(QObject* component);
    void CreateKeys();
    void ConnectHandlers();
    std::int32_t ShownLanguage() const;
    TLimitCheck LimitCheck() const;

    void FormShow();
    void FormClose();
    void SREditChange();
    void DBEditChange();
    void Edit1Change();
    void AttachEdit1Change();
    // Key handlers of DBEdit; setting key to 0 swallows it.
    void DBEditKeyDown(int& key, Qt::KeyboardModifiers shift);
    void DBEditKeyUp(int& key, Qt::KeyboardModifiers shift);
    void ForwardArrowToMirror(QEvent::Type type, int& key, Qt::KeyboardModifiers shift);
    // Runs one adapter operation under the busy pointer, then reports it.
    void RunOperation(const QPushButton* operation, const std::function<bool()>& exchange);
    void ShowResult(const QString& text, int outcome);
    void ReportFileError(const QToolButton* operation, const QString& file, const ParamFileResult& result);
    void EnableAdapterButtons(bool enable);
    void DrawPictureForScreen();

    TComm& m_comm;
    TPreferences& m_preferences;
    std::filesystem::path m_preferencesFile;
    TFileDialogRunner& m_fileDialogs;
    TMsgExForm* m_msgExForm = nullptr;
    const char m_decimalSeparator;

    bool m_lastLinked = false;
    bool m_formShown = false;
    int m_pictureScale = 0;  // device pixels per logical one of the picture shown
    QList<QObject*> m_components;  // owned components in creation order
    QList<QLabel*> m_captionLabels;
    QMetaObject::Connection m_edit1Change;
    TScreenReaderNames m_screenReader;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* OpenBtn = nullptr;
    QToolButton* SaveBtn = nullptr;
    QToolButton* LanguageBtn = nullptr;
    QMenu* PopupMenu1 = nullptr;
    std::array<QAction*, 3> m_languageItems{};  // pChineseTW, pChinese, pEnglish
    QLineEdit* DBEdit = nullptr;
    QLineEdit* Edit1 = nullptr;
    TUpDown* DBUpDown = nullptr;
    QComboBox* RSTBox = nullptr;
    QLineEdit* NeuIEdit = nullptr;
    QLineEdit* SRUEdit = nullptr;
    QLineEdit* NeuEdit = nullptr;
    QLineEdit* SRLEdit = nullptr;
    TUpDown* SRUUpDown = nullptr;
    TUpDown* SRLUpDown = nullptr;
    std::array<TStaticText*, 5> m_unitTexts{};  // by Tag
    QLabel* Image1 = nullptr;
    QPushButton* ReadBtn = nullptr;
    QPushButton* WriteBtn = nullptr;
    QPushButton* InitBtn = nullptr;
    TWindowKeys* m_keys = nullptr;
    QTimer* m_timer1 = nullptr;
    TFileDialog OpenDialog1;
    TFileDialog SaveDialog1;
};

}  // namespace rvz
