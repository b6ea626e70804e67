// SPDX-License-Identifier: GPL-3.0-or-later
// The window over the vendor's library as a Windows user starts it: the
// real loader binds the stand-in DLL beside the test by its ordinals, and
// the program runs until the test closes its window. Windows only.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "AdapterProgram.h"
#include "ModalWatcher.h"
#include "SiUsbXpLibrary.h"

namespace rvz {
namespace {

using test::ModalWatcher;
using test::SeenDialog;

QLineEdit* Edit(QWidget& window, const char* name) { return window.findChild<QLineEdit*>(name); }
QPushButton* Button(QWidget& window, const char* name) { return window.findChild<QPushButton*>(name); }

bool ButtonsEnabled(QWidget& window)
{
    return Button(window, "ReadBtn")->isEnabled() && Button(window, "WriteBtn")->isEnabled() &&
           Button(window, "InitBtn")->isEnabled();
}

// Starts the program over library; once its event loop runs, drive works the
// window, then closes it. Returns every dialog shown meanwhile.
std::vector<SeenDialog> RunWindow(const std::wstring& library, const std::function<void(QWidget&)>& drive)
{
    char name[] = "adapter_window_test";
    char* argv[] = {name, nullptr};
    std::unique_ptr<ModalWatcher> watcher;
    std::vector<SeenDialog> seen;
    const int exitCode = RunAdapterProgram(1, argv, library, [&](QWidget& window) {
        watcher = std::make_unique<ModalWatcher>();
        QTimer::singleShot(0, &window, [&] {
            drive(window);
            seen = watcher->seen;
            window.close();
        });
    });
    watcher.reset();
    EXPECT_EQ(exitCode, 0);
    return seen;
}

// Dark pixels inside a field's frame: its digits, for a field without focus
// (and so without a cursor).
int DarkPixels(QLineEdit* field)
{
    const QImage image = field->grab().toImage();
    int dark = 0;
    for (int y = 3; y < image.height() - 3; ++y)
        for (int x = 3; x < image.width() - 3; ++x)
            dark += qGray(image.pixel(x, y)) < 96 ? 1 : 0;
    return dark;
}

void Type(QWidget& window, const char* field, const QString& text)
{
    QLineEdit* edit = Edit(window, field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

TEST(AdapterWindowTest, WritesAndReadsTheServoThroughTheLibrary)
{
    bool enabled = false;
    QString neutralAfterRead;
    int upperDarkPixels = 0;
    const auto seen = RunWindow(SiUsbXpLibrary::kFileName, [&](QWidget& window) {
        enabled = QTest::qWaitFor([&] { return ButtonsEnabled(window); }, 10000);
        if (!enabled)
            return;
        Type(window, "NeuEdit", "1640");
        QTest::mouseClick(Button(window, "WriteBtn"), Qt::LeftButton);
        // A value the servo does not hold, which Read Config must replace.
        Type(window, "NeuEdit", "1500");
        QTest::mouseClick(Button(window, "ReadBtn"), Qt::LeftButton);
        neutralAfterRead = Edit(window, "NeuEdit")->text();
        upperDarkPixels = DarkPixels(Edit(window, "SRUEdit"));
    });
    ASSERT_TRUE(enabled) << "the buttons never enabled over the stand-in library";
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message.toStdString(), "Write Config:Succeed!");
    EXPECT_EQ(seen[1].message.toStdString(), "Read Config:Succeed!");
    EXPECT_EQ(neutralAfterRead.toStdString(), "1640");
    // Under Wine without the system's dialog font, fields could stay blank.
    EXPECT_GT(upperDarkPixels, 20) << "the pulse upper field shows no digits";
}

struct BrokenLibrary {
    const wchar_t* file;
    const char* finding;
};

class WithoutUsableLibraryTest : public testing::TestWithParam<BrokenLibrary> {};

// The box comes once, at start, and says what to install where; the
// window then runs as without an adapter.
TEST_P(WithoutUsableLibraryTest, SaysSoOnceAndKeepsTheButtonsDisabled)
{
    bool stayedDisabled = false;
    const auto seen = RunWindow(GetParam().file, [&](QWidget& window) {
        stayedDisabled = !QTest::qWaitFor([&] { return ButtonsEnabled(window); }, 1500);
    });
    EXPECT_TRUE(stayedDisabled);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].errorIcon);
    EXPECT_EQ(seen[0].title.toStdString(), "Rivivev Uvezi");
    const std::string message = seen[0].message.toStdString();
    EXPECT_NE(message.find(GetParam().finding), std::string::npos) << message;
    EXPECT_NE(message.find("beside rivivev-uvezi.exe."), std::string::npos) << message;
    EXPECT_NE(message.find("stay disabled"), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, WithoutUsableLibraryTest,
    testing::Values(
        BrokenLibrary{L"NO-SUCH-LIBRARY.DLL",
                      "The adapter's library NO-SUCH-LIBRARY.DLL cannot be loaded (Windows error 126: not found)."},
        BrokenLibrary{L"siusbxp-without-write.dll", "has no operation at ordinal 7 (write)"},
        BrokenLibrary{L"not-a-library.dll", "The adapter's library not-a-library.dll was found, but this"}));

}  // namespace
}  // namespace rvz
