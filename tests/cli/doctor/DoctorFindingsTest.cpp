// SPDX-License-Identifier: GPL-3.0-or-later
// The doctor's findings on a made-up system: one row per thing that reaches
// for the adapter or keeps the user from it, each with the one command that
// fixes it.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "Doctor.h"
#include "FakeSystemFacts.h"
#include "TempDir.h"
#include "BrlttyRules.h"

namespace rvz::cli {
namespace {

using rvz::test::FakeSystemFacts;

const UsbDeviceInfo kAdapter{0x10c4, 0xea61, 1, 2, {}};

struct FindingCase {
    const char* name;
    std::function<void(FakeSystemFacts&)> arrange;
    const char* found;  // in the finding's sentence; empty: no finding at all
    const char* fix;    // the command the advice ends with
};

class DoctorFindingsTest : public ::testing::TestWithParam<FindingCase> {};

TEST_P(DoctorFindingsTest, NamesTheFix)
{
    FakeSystemFacts facts;
    GetParam().arrange(facts);
    std::vector<DoctorStep> findings = AdapterFindings(facts, kAdapter);
    if (const auto sandbox = SandboxFinding(facts))
        findings.insert(findings.begin(), *sandbox);
    if (std::string(GetParam().found).empty()) {
        EXPECT_TRUE(findings.empty()) << findings.front().what;
        return;
    }
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_NE(findings[0].what.find(GetParam().found), std::string::npos) << findings[0].what;
    const std::string& advice = findings[0].advice;
    EXPECT_TRUE(advice.ends_with(std::string(": ") + GetParam().fix)) << advice;
    // A sandbox without USB is why nothing is found; the rest are warnings.
    EXPECT_EQ(findings[0].warning, std::string(GetParam().name).find("Sandbox") == std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cli, DoctorFindingsTest,
    ::testing::Values(
        FindingCase{"CleanSystem", [](FakeSystemFacts&) {}, "", ""},
        FindingCase{"ModemManagerNotIgnoring",
                    [](FakeSystemFacts& f) {
                        f.running = {"ModemManager"};
                        f.udevProperties.clear();
                    },
                    "ModemManager runs",
                    "sudo udevadm control --reload-rules && "
                    "sudo udevadm trigger --action=change --subsystem-match=usb --attr-match=idVendor=10c4"},
        FindingCase{"ModemManagerWithoutTheRule",
                    [](FakeSystemFacts& f) {
                        f.running = {"ModemManager"};
                        f.udevProperties.clear();
                        f.udevRule = false;
                    },
                    "ModemManager runs",
                    "sudo cmake --install build --component udev && sudo udevadm control --reload-rules && "
                    "sudo udevadm trigger --action=change --subsystem-match=usb --attr-match=idVendor=10c4"},
        FindingCase{"ModemManagerIgnoring", [](FakeSystemFacts& f) { f.running = {"ModemManager"}; }, "", ""},
        FindingCase{"BrlttyClaims",
                    [](FakeSystemFacts& f) { f.brlttyRules = {"/usr/lib/udev/rules.d/85-brltty.rules"}; },
                    "brltty's rule /usr/lib/udev/rules.d/85-brltty.rules claims 10c4:ea61",
                    "sudo ln -s /dev/null /etc/udev/rules.d/85-brltty.rules"},
        FindingCase{"BrlttyClaimsLocally",
                    [](FakeSystemFacts& f) { f.brlttyRules = {"/etc/udev/rules.d/85-brltty.rules"}; },
                    "claims 10c4:ea61", "sudo mv /etc/udev/rules.d/85-brltty.rules /etc/udev/rules.d/85-brltty.rules.off"},
        FindingCase{"SerialPort",
                    [](FakeSystemFacts& f) { f.serial = {"1-2:1.0", "cp210x", {"ttyUSB0"}}; },
                    "the cp210x driver made /dev/ttyUSB0 of the adapter",
                    "echo 1-2:1.0 | sudo tee /sys/bus/usb/drivers/cp210x/unbind"},
        FindingCase{"DriverWithoutPort", [](FakeSystemFacts& f) { f.serial = {"1-2:1.0", "cp210x", {}}; }, "", ""},
        FindingCase{"NoLogindOutsideTheGroup",
                    [](FakeSystemFacts& f) {
                        f.logind = false;
                        f.node.readable = false;
                    },
                    "ana is not in the group plugdev", "sudo usermod -aG plugdev ana"},
        FindingCase{"NoLogindNoGroup",
                    [](FakeSystemFacts& f) {
                        f.logind = false;
                        f.node.readable = false;
                        f.plugdevExists = false;
                    },
                    "ana is not in the group plugdev",
                    "sudo groupadd --system plugdev && sudo usermod -aG plugdev ana && sudo udevadm control "
                    "--reload-rules && sudo udevadm trigger --action=change --subsystem-match=usb "
                    "--attr-match=idVendor=10c4"},
        FindingCase{"NoLogindNoRule",
                    [](FakeSystemFacts& f) {
                        f.logind = false;
                        f.node.readable = false;
                        f.udevRule = false;
                    },
                    "", ""},
        FindingCase{"NoLogindInTheGroup",
                    [](FakeSystemFacts& f) {
                        f.logind = false;
                        f.node.readable = false;
                        f.groups.push_back("plugdev");
                    },
                    "", ""},
        FindingCase{"FlatpakSandbox",
                    [](FakeSystemFacts& f) {
                        f.sandbox = {SandboxFacts::Kind::Flatpak, "net.rivivevuvezi.RivivevUvezi", false};
                    },
                    "Flatpak sandbox", "flatpak override --user --device=all net.rivivevuvezi.RivivevUvezi"},
        FindingCase{"SnapSandbox",
                    [](FakeSystemFacts& f) { f.sandbox = {SandboxFacts::Kind::Snap, "rivivev-uvezi", false}; },
                    "Snap sandbox", "sudo snap connect rivivev-uvezi:raw-usb"},
        FindingCase{"SandboxWithUsb",
                    [](FakeSystemFacts& f) { f.sandbox = {SandboxFacts::Kind::Flatpak, "x", true}; }, "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

// The advice when the user may not open the adapter, or none is attached:
// the one fix for this system and user, never a group the node merely
// belongs to (root's, the user's own), and only tools the system has.
struct AdviceCase {
    const char* name;
    std::function<void(FakeSystemFacts&)> arrange;
    const char* endsWith;
};

class AdviceTest : public ::testing::TestWithParam<AdviceCase> {};

TEST_P(AdviceTest, FitsTheSystemAndTheUser)
{
    FakeSystemFacts facts;
    facts.node.readable = false;
    GetParam().arrange(facts);
    const std::string advice =
        std::string(GetParam().name) == "NoLsusb" ? NoAdapterAdvice(facts) : MayNotOpenAdvice(facts, kAdapter);
    EXPECT_TRUE(advice.ends_with(GetParam().endsWith)) << advice;
    for (const std::string& group : {std::string("root"), facts.node.group, facts.user})
        for (const std::string& join : {"group " + group, "-aG " + group + " "})
            EXPECT_TRUE(group == "plugdev" || advice.find(join) == std::string::npos) << advice;
}

const char* const kTrigger = "sudo udevadm control --reload-rules && sudo udevadm trigger --action=change "
                             "--subsystem-match=usb --attr-match=idVendor=10c4";

INSTANTIATE_TEST_SUITE_P(Cli, AdviceTest,
    ::testing::Values(
        AdviceCase{"RuleMissing",
                   [](FakeSystemFacts& f) {
                       f.udevRule = false;
                       f.udevProperties.clear();
                       f.node = {"/dev/bus/usb/001/002", "root", "root", "crw-rw-r--", false, true};
                   },
                   ": sudo cmake --install build --component udev && sudo udevadm control --reload-rules && sudo "
                   "udevadm trigger --action=change --subsystem-match=usb --attr-match=idVendor=10c4"},
        AdviceCase{"RuleInstalledNotApplied",
                   [](FakeSystemFacts& f) {
                       f.udevProperties.clear();
                       f.node = {"/dev/bus/usb/001/002", "root", "root", "crw-rw-r--", false, true};
                   },
                   kTrigger},
        AdviceCase{"NoLogindOutsidePlugdev", [](FakeSystemFacts& f) { f.logind = false; },
                   ", then log out and in again: sudo usermod -aG plugdev ana"},
        AdviceCase{"NoLogindNoPlugdevGroup",
                   [](FakeSystemFacts& f) {
                       f.logind = false;
                       f.plugdevExists = false;
                   },
                   ": sudo groupadd --system plugdev && sudo usermod -aG plugdev ana && sudo udevadm control "
                   "--reload-rules && sudo udevadm trigger --action=change --subsystem-match=usb "
                   "--attr-match=idVendor=10c4"},
        AdviceCase{"NoLogindInPlugdevAnotherRuleWins",
                   [](FakeSystemFacts& f) {
                       f.logind = false;
                       f.groups.push_back("plugdev");
                       f.node = {"/dev/bus/usb/001/002", "frtest", "frtest", "c---------", false, true};
                   },
                   "udevadm test $(udevadm info -q path -n /dev/bus/usb/001/002)"},
        AdviceCase{"LogindInPlugdevAnotherRuleWins",
                   [](FakeSystemFacts& f) {
                       f.groups.push_back("plugdev");
                       f.node = {"/dev/bus/usb/001/002", "root", "root", "crw-rw-r--", false, true};
                   },
                   "udevadm test $(udevadm info -q path -n /dev/bus/usb/001/002)"},
        AdviceCase{"NodeOfTheUsersOwnGroupFromAnotherLogin",
                   [](FakeSystemFacts& f) { f.node = {"/dev/bus/usb/001/002", "ana", "ana", "c---------", false, true}; },
                   ", then log out and in again: sudo usermod -aG plugdev ana"},
        AdviceCase{"NoLsusb", [](FakeSystemFacts& f) { f.tools = {}; }, "(lsusb comes with the package usbutils)."}),
    [](const auto& row) { return std::string(row.param.name); });

// brltty's rules as udev reads them: what is switched off, renamed away or
// commented out claims nothing; the folder read first decides.
TEST(BrlttyRulesTest, OnlyRulesUdevWouldRunClaimTheAdapter)
{
    rvz::test::TempDir dir("brltty-rules-");
    const std::filesystem::path local = dir.path() / "etc";
    const std::filesystem::path packaged = dir.path() / "lib";
    std::filesystem::create_directories(local);
    std::filesystem::create_directories(packaged);
    auto write = [](const std::filesystem::path& file, const std::string& text) { std::ofstream(file) << text; };
    const std::string claim = "ENV{PRODUCT}==\"10C4/EA61/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"sk\"\n";
    write(packaged / "85-brltty.rules", claim);                       // switched off by an empty one in etc
    write(local / "85-brltty.rules", "");
    write(packaged / "90-brltty-device.rules", claim);                // overridden by a harmless one
    write(local / "90-brltty-device.rules", "# nothing\n");
    write(local / "91-brltty-old.rules.off", claim);                  // renamed away
    write(packaged / "92-brltty-comment.rules", "  # " + claim);     // commented out
    write(packaged / "93-other.rules", claim);                        // not brltty's
    write(packaged / "94-brltty-attrs.rules",
          "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea61\", GOTO=\"b\"\n");
    write(packaged / "95-brltty-short.rules", "ENV{PRODUCT}==\"10c4/2/*\"\n");  // 10c4:0002, no leading zeros
    const std::vector<std::filesystem::path> folders{local, packaged};
    EXPECT_EQ(BrlttyRulesClaimingIn(folders, 0x10c4, 0xea61),
              std::vector<std::string>{(packaged / "94-brltty-attrs.rules").string()});
    EXPECT_EQ(BrlttyRulesClaimingIn(folders, 0x10c4, 0x0002),
              std::vector<std::string>{(packaged / "95-brltty-short.rules").string()});
#ifndef _WIN32
    std::filesystem::create_symlink("/dev/null", local / "94-brltty-attrs.rules");  // masked as the doctor advises
    EXPECT_TRUE(BrlttyRulesClaimingIn(folders, 0x10c4, 0xea61).empty());
#endif
}

}  // namespace
}  // namespace rvz::cli
