// tarabo-scales doctor: the reasoning on described nodes (the tests run as root, so real nodes
// would all open), the ACL and /proc/net/unix decoding, and the gathering on a real pty.
#include "tests/opos/ScaleTestSupport.h"

#include "opos/ClaimLock.h"
#include "scales-tool/Doctor.h"
#include "scales-tool/DoctorWindows.h"
#include "opos/hid/Hidraw.h"
#include "scales-tool/ScalesTool.h"
#include "opos/serial/SerialLine.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>


using namespace doctor;

namespace {
const UserFacts kAlice{1000, "alice", {1000}, {1000}};

NodeFacts serialPort()
{
    NodeFacts node;
    node.name = "K350", node.path = "/dev/ttyUSB0", node.exists = true;
    node.owner = 0, node.group = 20, node.mode = 0660, node.ownerName = "root", node.groupName = "dialout";
    return node;
}

NodeFacts hidScale()
{
    NodeFacts node = serialPort();
    node.path = "/dev/hidraw3", node.hid = true, node.group = 0, node.mode = 0600, node.groupName = "root";
    return node;
}

// The findings name a problem or not, and say each of `said` in their texts or fixes.
void expectFindings(const std::vector<Finding>& findings, bool problem, const std::vector<std::string>& said)
{
    std::string text;
    for (const Finding& f : findings)
        text += (f.problem ? "PROBLEM " : "") + f.text + (f.fix.empty() ? "" : " | fix: " + f.fix) + "\n";
    EXPECT_EQ(std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.problem; }), problem) << text;
    for (const std::string& s : said)
        EXPECT_NE(text.find(s), std::string::npos) << s << " in\n" << text;
    EXPECT_EQ(text.find("USB Camera"), std::string::npos) << "not an adapter";
}
}

TEST(Doctor, SaysWhyADescribedNodeCannotBeOpenedAndTheCommandThatFixesIt)
{
    const Process minicom{4321, "minicom"}, modemManager{612, "ModemManager"}, brltty{700, "brltty"};
    const struct {
        const char* what;
        std::function<void(NodeFacts&, UserFacts&)> change;
        bool problem;
        std::vector<std::string> said; // in the findings' texts or fixes
    } cases[] = {
        {"not in the port's group", [](NodeFacts&, UserFacts&) {}, true,
         {"owner root, group dialout, mode rw-rw----, no ACL", "PROBLEM you (alice) may not read and write it",
          "members of group dialout may open it, and you are not one | fix: sudo usermod -aG dialout alice"}},
        {"added to the group, not yet logged in again", [](NodeFacts&, UserFacts& u) { u.memberGroups.push_back(20); }, true,
         {"you are in group dialout, but this login started before you were added", "fix: log out and in again (or, in this shell only: newgrp dialout)"}},
        {"in the group", [](NodeFacts&, UserFacts& u) { u.groups.push_back(20); }, false,
         {"you (alice) may read and write it as a member of group dialout"}},
        {"a port of root's alone", [](NodeFacts& n, UserFacts&) { n.group = 0, n.groupName = "root", n.mode = 0600; }, true,
         {"fix: sudo setfacl -m u:alice:rw /dev/ttyUSB0"}},
        {"held by another process", [&](NodeFacts& n, UserFacts& u) { u.groups.push_back(20), n.holders.push_back(minicom); }, true,
         {"PROBLEM process 4321 (minicom) has it open | fix: quit that program, or end it: kill 4321"}},
        {"held by ModemManager", [&](NodeFacts& n, UserFacts& u) { u.groups.push_back(20), n.holders = n.grabbers = {modemManager}; }, true,
         {"PROBLEM process 612 (ModemManager) has it open: it opens new USB serial adapters", "fix: sudo systemctl disable --now ModemManager"}},
        {"brltty running, not holding it", [&](NodeFacts& n, UserFacts& u) { u.groups.push_back(20), n.grabbers = {brltty}; }, false,
         {"brltty is running (process 700): it claims USB serial adapters", "fix: sudo systemctl mask --now brltty-udev.service brltty.service"}},
        {"the logical name claimed", [&](NodeFacts& n, UserFacts& u) { u.groups.push_back(20), n.claimHolder = minicom; }, true,
         {"PROBLEM process 4321 (minicom) has claimed K350"}},
        {"no such node", [](NodeFacts& n, UserFacts&) { n.exists = false; }, true, {"PROBLEM /dev/ttyUSB0 does not exist", "fix: tarabo-scales list"}},
        {"HID scale, no udev rule", [](NodeFacts& n, UserFacts&) { n = hidScale(); }, true,
         {"PROBLEM the udev rule for HID scales (60-tarabo-scales.rules) is not installed",
          "fix: sudo install -m 644 packaging/60-tarabo-scales.rules /etc/udev/rules.d/", "fix: sudo setfacl -m u:alice:rw /dev/hidraw3"}},
        {"HID scale, the rule did not match it", [](NodeFacts& n, UserFacts&) { n = hidScale(), n.ruleInstalled = true; }, true,
         {"did not give this node to the user at the seat", "fix: sudo udevadm trigger --action=change /dev/hidraw3"}},
        {"HID scale given to the seat, a missing ACL for an SSH user",
         [](NodeFacts& n, UserFacts&) { n = hidScale(), n.ruleInstalled = n.uaccessTagged = true; }, true,
         {"udev gives this node to the user at the seat, and that is not you", "fix: sudo setfacl -m u:alice:rw /dev/hidraw3"}},
        {"HID scale with the seat's ACL entry",
         [](NodeFacts& n, UserFacts&) {
             n = hidScale(), n.ruleInstalled = n.uaccessTagged = true, n.mode = 0660;
             n.acl = {{AclEntry::User, 1000, 6}, {AclEntry::OwningGroup, 0, 0}, {AclEntry::Mask, 0, 6}};
         },
         false, {"ACL user:1000:rw- mask::rw-", "may read and write it through the ACL entry for alice"}},
        {"an ACL entry its mask takes away",
         [](NodeFacts& n, UserFacts&) { n = hidScale(), n.acl = {{AclEntry::User, 1000, 6}, {AclEntry::Mask, 0, 4}}; }, true,
         {"its mask takes them away | fix: sudo setfacl -m m::rw /dev/hidraw3"}},
        {"an ACL whose mask hides the owning group's entry",
         [](NodeFacts& n, UserFacts& u) { u.groups.push_back(20), n.mode = 0660, n.acl = {{AclEntry::OwningGroup, 0, 4}, {AclEntry::Mask, 0, 6}}; },
         true, {"may not read and write it through your groups' entries"}},
        {"root", [](NodeFacts& n, UserFacts& u) { n = hidScale(), u = {0, "root", {0}, {0}}; }, false, {"may read and write it as root"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NodeFacts node = serialPort();
        UserFacts user = kAlice;
        c.change(node, user);
        expectFindings(Diagnose(node, user), c.problem, c.said);
    }
}

TEST(Doctor, SaysWhatStopsAWindowsCounterAndTheCommandThatFixesIt)
{
    using namespace doctor::windows;
    const DeviceFacts prolific{"Prolific USB-to-Serial Comm Port", "USB\\VID_067B&PID_2303\\5&2A1B", 28};
    const DeviceFacts webcam{"USB Camera", "USB\\VID_046D&PID_0825\\1", 28};
    const struct {
        const char* what;
        std::function<void(PortFacts&)> port; // or, for the OPOS rows:
        std::function<void(OposFacts&)> opos;
        bool problem;
        std::vector<std::string> said;
    } cases[] = {
        {"the port opens", [](PortFacts&) {}, nullptr, false, {"COM3 opens: no other program has it"}},
        {"a port that is not there", [](PortFacts& p) { p.open = PortOpen::Missing, p.present = {"COM1", "COM4"}; }, nullptr, true,
         {"PROBLEM COM3 does not exist; the COM ports there are: COM1, COM4", "fix: plug the scale in, or set device = COM1"}},
        {"no ports at all, an adapter without its driver, a webcam beside it",
         [&](PortFacts& p) { p.open = PortOpen::Missing, p.troubled = {prolific, webcam}; }, nullptr, true,
         {"there are no COM ports", "PROBLEM Prolific USB-to-Serial Comm Port (USB\\VID_067B&PID_2303\\5&2A1B) has no driver installed: problem code 28",
          "fix: install the adapter's driver"}},
        {"in use by another program", [](PortFacts& p) { p.open = PortOpen::InUse; }, nullptr, true,
         {"PROBLEM COM3 is in use: another program has it open", "tasklist"}},
        {"the port's device disabled", [](PortFacts& p) { p.device = DeviceFacts{"USB Serial Port (COM3)", "FTDIBUS\\X", 22}; }, nullptr, true,
         {"USB Serial Port (COM3) (FTDIBUS\\X) is disabled: problem code 22", "fix: pnputil /enable-device \"FTDIBUS\\X\""}},
        {"a problem code not in the table", [](PortFacts& p) { p.open = PortOpen::Failed, p.error = 31, p.device = DeviceFacts{"Port", "ACPI\\PNP0501\\1", 99}; },
         nullptr, true, {"COM3 cannot be opened: Windows error 31", "has a problem: problem code 99"}},
        {"an OPOS entry whose service object is registered", nullptr,
         [](OposFacts& o) { o.inControlView = o.registered = true, o.serviceObject = "Maker.Scale.1"; }, false, {"names the service object Maker.Scale.1, which is registered"}},
        {"an OPOS entry whose service object is not", nullptr, [](OposFacts& o) { o.inControlView = true, o.serviceObject = "Maker.Scale.1"; }, true,
         {"PROBLEM the service object Maker.Scale.1 that the OPOS entry of K350 names is not registered", "fix: reinstall the scale maker's OPOS package"}},
        {"a service object registered in the 64-bit view only", nullptr,
         [](OposFacts& o) { o.inControlView = o.registeredOtherView = true, o.serviceObject = "Maker.Scale.1"; }, true, {"registered as a 64-bit object only", "SysWOW64\\regsvr32"}},
        {"an entry in the 64-bit view, which the 32-bit control does not read", nullptr, [](OposFacts& o) { o.inOtherView = true; }, true,
         {"K350 is set up in the 64-bit registry view", "fix: as administrator: reg copy \"HKLM\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale\\K350\" "
                                                         "\"HKLM\\SOFTWARE\\WOW6432Node\\OLEforRetail\\ServiceOPOS\\Scale\\K350\" /s /f"}},
        {"an entry naming no service object", nullptr, [](OposFacts& o) { o.inControlView = true; }, true, {"names no service object"}},
        {"an entry of Tarabo's own", nullptr, [](OposFacts& o) { o.inControlView = o.ours = true; }, false, {"set up for Tarabo's own control"}},
        {"no entry anywhere", nullptr, [](OposFacts&) {}, true, {"no OPOS entry and no section in scales.conf is named K350"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PortFacts port{"K350", "COM3"};
        OposFacts opos{"K350"};
        expectFindings(c.port ? (c.port(port), DiagnosePort(port)) : (c.opos(opos), DiagnoseOpos(opos)), c.problem, c.said);
    }
}

TEST(Doctor, DecodesTheKernelsAclAndFindsTheClaimsSocket)
{
    const auto entry = [](unsigned tag, unsigned perm, unsigned id) {
        return std::string{char(tag), char(tag >> 8), char(perm), 0, char(id), char(id >> 8), char(id >> 16), char(id >> 24)};
    };
    const std::string version2("\x02\0\0\0", 4);
    const std::string full = version2 + entry(0x01, 6, ~0u) + entry(0x02, 6, 1000) + entry(0x04, 4, ~0u) + entry(0x08, 6, 70000) +
                             entry(0x10, 6, ~0u) + entry(0x20, 0, ~0u);
    const std::vector<AclEntry> expected{{AclEntry::User, 1000, 6}, {AclEntry::OwningGroup, 0, 4}, {AclEntry::Group, 70000, 6}, {AclEntry::Mask, 0, 6}};
    EXPECT_EQ(DecodeAcl(full), expected);
    EXPECT_EQ(DecodeAcl(version2), std::vector<AclEntry>{});
    for (const std::string& bad : {std::string("\x01\0\0\0", 4) + entry(0x02, 6, 1), full.substr(0, full.size() - 3), std::string("\x02\0", 2),
                                   version2 + entry(0x40, 6, 1)})
        EXPECT_EQ(DecodeAcl(bad), std::nullopt) << bad.size() << " bytes";

    const std::string unix = "Num       RefCount Protocol Flags    Type St Inode Path\n"
                             "0000000000000000: 00000002 00000000 00010000 0001 01 18211 /run/systemd/notify\n"
                             "0000000000000000: 00000002 00000000 00010000 0001 01 40411 @tarabo-opos-claim-K350X\n"
                             "0000000000000000: 00000002 00000000 00010000 0001 01 40412 @tarabo-opos-claim-K350\n"
                             "0000000000000000: 00000003 00000000 00000000 0001 03 40413\n";
    EXPECT_EQ(AbstractSocketInode(unix, "tarabo-opos-claim-K350"), 40412u);
    EXPECT_EQ(AbstractSocketInode(unix, "tarabo-opos-claim-SHIP"), 0u);
    EXPECT_EQ(AbstractSocketInode("garbage\n\n12 x", "x"), 0u);
}

TEST(Doctor, TaraboScalesDoctorGathersARealNodesOwnerModeHolderAndClaim)
{
    int master = -1, slave = -1;
    char path[256] = {};
    ASSERT_EQ(openpty(&master, &slave, path, nullptr, nullptr), 0);
    ASSERT_EQ(chmod(path, 0640), 0);
    const TestConfigFiles conf;
    const std::string name = UniqueName("DOCTOR");
    conf.Write("[" + name + "]\ndriver = serial\ndevice = " + path + "\nprotocol = toledo\n[SIM]\ndriver = simulated\n");
    opos::ClaimLock claim(Wide(name));
    ASSERT_TRUE(claim.Acquire(0));
    StringOut out, err;
    EXPECT_EQ(RunScalesTool({"doctor", name}, out, err), 1) << "the claim is in the way";
    const std::string pid = std::to_string(::getpid());
    for (const std::string& said : {name + ": " + path + " (serial port)\n", std::string("mode rw-r-----, no ACL\n"), std::string("may read and write it"),
                                    "PROBLEM: process " + pid + " (opos_tests) has it open\n", "PROBLEM: process " + pid + " (opos_tests) has claimed " + name})
        EXPECT_NE(out.str().find(said), std::string::npos) << said << " in\n" << out.str();
    claim.Release();
    ::close(slave);
    out.str("");
    EXPECT_EQ(RunScalesTool({"doctor", path}, out, err), 0) << out.str();
    EXPECT_EQ(RunScalesTool({"doctor"}, out, err), 0) << out.str();
    EXPECT_NE(out.str().find("SIM: driver simulated opens no device node\n"), std::string::npos) << out.str();
    ::close(master);
    EXPECT_EQ(RunScalesTool({"doctor", "NOSUCHNAME"}, out, err), 1);
    EXPECT_NE(err.str().find("no scale is configured under the name \"NOSUCHNAME\""), std::string::npos) << err.str();
    EXPECT_EQ(RunScalesTool({"doctor", "K350"}, out, err), 0) << "the built-in simulated scale";
    EXPECT_EQ(RunScalesTool({"doctor", "A", "B"}, out, err), 2);
}

TEST(Doctor, OpenSaysPermissionDeniedAndPointsToDoctor)
{
    const std::string path = (std::filesystem::temp_directory_path() / ("tarabo-doctor-" + std::to_string(::getpid()))).string();
    std::ofstream(path) << "x";
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    // Root opens anything: the opens are tried as nobody.
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::seteuid(65534) == 0);
    const std::string serial = opos::serial::SerialLine::Open(path, {}).error;
    std::string hid;
    try {
        opos::OpenHidrawNode(path);
    } catch (const opos::DeviceError& error) {
        hid = error.what();
    }
    ASSERT_TRUE(!root || ::seteuid(0) == 0);
    std::filesystem::remove(path);
    for (const std::string& error : {serial, hid})
        EXPECT_EQ(error.find(path + ": permission denied: \"tarabo-scales doctor " + path + "\" says why"), 0u) << error;
}
