#include "Doctor.h"

#include "DeviceRegistry.h"
#include "Hidraw.h"
#include "ResultCodes.h"
#include "ScalesConfig.h"
#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace doctor {

namespace {
constexpr unsigned kReadWrite = 6;
constexpr const char* kRuleFile = "60-tarabo-scales.rules";

bool has(const std::vector<unsigned>& ids, unsigned id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

std::string permText(unsigned perm)
{
    return std::string(perm & 4 ? "r" : "-") + (perm & 2 ? "w" : "-") + (perm & 1 ? "x" : "-");
}

std::string processText(const Process& p) { return std::to_string(p.pid) + " (" + p.command + ")"; }

std::string nodeText(const NodeFacts& node)
{
    std::string text = "owner " + node.ownerName + ", group " + node.groupName + ", mode " + permText(node.mode >> 6) +
                       permText(node.mode >> 3) + permText(node.mode);
    std::string acl;
    for (const AclEntry& e : node.acl)
        if (e.tag != AclEntry::OwningGroup)
            acl += std::string(acl.empty() ? "" : " ") + (e.tag == AclEntry::User ? "user:" : e.tag == AclEntry::Group ? "group:" : "mask:") +
                   (e.tag == AclEntry::Mask ? "" : std::to_string(e.id)) + ":" + permText(e.perm);
    return text + (acl.empty() ? ", no ACL" : ", ACL " + acl);
}

unsigned owningGroupPerm(const NodeFacts& node)
{
    for (const AclEntry& e : node.acl)
        if (e.tag == AclEntry::OwningGroup)
            return e.perm; // with an ACL, the mode's group bits are the mask
    return (node.mode >> 3) & 7;
}

// The kernel's check for read and write, in its order: owner, named user, the groups, others.
struct Access
{
    bool granted;
    std::string how; // granted: through what; denied: which entry refused, when one did
};
Access accessOf(const NodeFacts& node, const UserFacts& user)
{
    if (user.uid == 0)
        return {true, "as root"};
    if (user.uid == node.owner)
        return {((node.mode >> 6) & kReadWrite) == kReadWrite, "as its owner"};
    unsigned mask = 7;
    for (const AclEntry& e : node.acl)
        if (e.tag == AclEntry::Mask)
            mask = e.perm;
    for (const AclEntry& e : node.acl)
        if (e.tag == AclEntry::User && e.id == user.uid)
            return {(e.perm & mask & kReadWrite) == kReadWrite, "through the ACL entry for " + user.name};
    bool inAGroup = has(user.groups, node.group);
    if (inAGroup && (owningGroupPerm(node) & mask & kReadWrite) == kReadWrite)
        return {true, "as a member of group " + node.groupName};
    for (const AclEntry& e : node.acl)
        if (e.tag == AclEntry::Group && has(user.groups, e.id)) {
            inAGroup = true;
            if ((e.perm & mask & kReadWrite) == kReadWrite)
                return {true, "through the ACL entry for group " + std::to_string(e.id)};
        }
    if (inAGroup)
        return {false, "through your groups' entries"};
    return {(node.mode & kReadWrite) == kReadWrite, "as one of the others (neither its owner nor in its group)"};
}

// The ways in for a user who has none, most lasting first.
void waysIn(const NodeFacts& node, const UserFacts& user, std::vector<Finding>& findings)
{
    const bool groupOpens = node.group != 0 && (owningGroupPerm(node) & kReadWrite) == kReadWrite;
    if (groupOpens && has(user.memberGroups, node.group))
        findings.push_back({true, "you are in group " + node.groupName + ", but this login started before you were added: it counts from your next login",
                            "log out and in again (or, in this shell only: newgrp " + node.groupName + ")"});
    else if (groupOpens)
        findings.push_back({true, "members of group " + node.groupName + " may open it, and you are not one",
                            "sudo usermod -aG " + node.groupName + " " + user.name + "   (then log out and in again)"});
    for (const AclEntry& e : node.acl)
        if (e.tag == AclEntry::User && e.id == user.uid && (e.perm & kReadWrite) == kReadWrite)
            findings.push_back({true, "the ACL gives you read and write, but its mask takes them away", "sudo setfacl -m m::rw " + node.path});
    if (node.hid && !node.ruleInstalled)
        findings.push_back({true, std::string("the udev rule for HID scales (") + kRuleFile + ") is not installed",
                            std::string("sudo install -m 644 packaging/") + kRuleFile + " /etc/udev/rules.d/ && sudo udevadm control --reload && "
                            "sudo udevadm trigger --action=change " + node.path});
    else if (node.hid && !node.uaccessTagged)
        findings.push_back({true, "the udev rule is installed but did not give this node to the user at the seat (plugged in before the rule, "
                                  "or its report descriptor does not begin with the scale usage page)",
                            "sudo udevadm trigger --action=change " + node.path});
    else if (node.hid)
        findings.push_back({true, "udev gives this node to the user at the seat, and that is not you (logged in over SSH, or at another seat)", ""});
    if (node.hid || !groupOpens)
        findings.push_back({false, "or, for you alone until the device is unplugged or the machine restarts",
                            "sudo setfacl -m u:" + user.name + ":rw " + node.path});
}

struct Grabber
{
    std::string_view command;
    std::string_view what;
    std::string_view fix;
};
constexpr Grabber kGrabbers[] = {
    {"ModemManager", "opens new USB serial adapters for a few seconds to look for a modem, and keeps those it takes for one",
     "sudo systemctl disable --now ModemManager"},
    {"brltty", "claims USB serial adapters it takes for braille displays, and the port then disappears",
     "sudo systemctl mask --now brltty-udev.service brltty.service"},
};

const Grabber* grabberOf(const Process& p)
{
    for (const Grabber& g : kGrabbers)
        if (p.command.starts_with(g.command))
            return &g;
    return nullptr;
}
}

std::optional<std::vector<AclEntry>> DecodeAcl(std::string_view value)
{
    // A little-endian version 2 header, then (tag u16, perm u16, id u32) entries.
    const auto u16 = [&](std::size_t at) { return unsigned(std::uint8_t(value[at])) | unsigned(std::uint8_t(value[at + 1])) << 8; };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (value.size() < 4 || (value.size() - 4) % 8 != 0 || u32(0) != 2)
        return std::nullopt;
    std::vector<AclEntry> entries;
    for (std::size_t at = 4; at < value.size(); at += 8) {
        const unsigned tag = u16(at), perm = u16(at + 2) & 7, id = u32(at + 4);
        switch (tag) {
        case 0x01: case 0x20: break; // the owner's and the others': the mode has them
        case 0x02: entries.push_back({AclEntry::User, id, perm}); break;
        case 0x04: entries.push_back({AclEntry::OwningGroup, 0, perm}); break;
        case 0x08: entries.push_back({AclEntry::Group, id, perm}); break;
        case 0x10: entries.push_back({AclEntry::Mask, 0, perm}); break;
        default: return std::nullopt;
        }
    }
    return entries;
}

std::vector<Finding> Diagnose(const NodeFacts& node, const UserFacts& user)
{
    if (!node.exists)
        return {{true, node.path + " does not exist: is the scale plugged in, and the path right?", "tarabo-scales list"}};
    std::vector<Finding> findings{{false, nodeText(node), ""}};
    const Access access = accessOf(node, user);
    if (access.granted) {
        findings.push_back({false, "you (" + user.name + ") may read and write it " + access.how, ""});
    } else {
        findings.push_back({true, "you (" + user.name + ") may not read and write it " + access.how, ""});
        waysIn(node, user, findings);
    }
    for (const Process& p : node.holders) {
        const Grabber* g = grabberOf(p);
        findings.push_back({!node.hid, "process " + processText(p) + " has it open" + (g ? std::string(": it ") + std::string(g->what) : ""),
                            g ? std::string(g->fix) : "quit that program, or end it: kill " + std::to_string(p.pid)});
    }
    if (node.claimHolder)
        findings.push_back({true, "process " + processText(*node.claimHolder) + " has claimed " + node.name + ": a Claim waits for it to release",
                            "release it in that program, or end it: kill " + std::to_string(node.claimHolder->pid)});
    if (!node.hid)
        for (const Process& p : node.grabbers)
            if (const Grabber* g = grabberOf(p); g && std::find(node.holders.begin(), node.holders.end(), p) == node.holders.end())
                findings.push_back({false, std::string(g->command) + " is running (process " + std::to_string(p.pid) + "): it " + std::string(g->what),
                                    std::string(g->fix)});
    return findings;
}

unsigned long AbstractSocketInode(std::string_view procNetUnix, std::string_view name)
{
    std::istringstream lines{std::string(procNetUnix)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string skip, path;
        unsigned long inode = 0;
        // Num RefCount Protocol Flags Type St Inode Path
        for (int i = 0; i < 6; ++i)
            fields >> skip;
        if (fields >> inode >> std::ws && std::getline(fields, path) && path.size() == name.size() + 1 && path[0] == '@' &&
            std::string_view(path).substr(1) == name)
            return inode;
    }
    return 0;
}

namespace {
std::string readText(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool ruleInstalled()
{
    for (const char* dir : {"/etc/udev/rules.d", "/run/udev/rules.d", "/lib/udev/rules.d", "/usr/lib/udev/rules.d"})
        if (::access((std::string(dir) + "/" + kRuleFile).c_str(), F_OK) == 0)
            return true;
    return false;
}

bool uaccessTagged(dev_t rdev)
{
    std::istringstream lines(readText("/run/udev/data/c" + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev))));
    for (std::string line; std::getline(lines, line);)
        if (line == "G:uaccess" || line == "Q:uaccess")
            return true;
    return false;
}

// One pass over /proc: who has the node or the claim's socket open, and which grabbers run.
void scanProcesses(NodeFacts& node, dev_t rdev, unsigned long claimInode)
{
    namespace fs = std::filesystem;
    const std::string socket = "socket:[" + std::to_string(claimInode) + "]";
    std::error_code ec;
    for (const fs::directory_entry& dir : fs::directory_iterator("/proc", ec)) {
        const std::string pidText = dir.path().filename().string();
        if (pidText.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string command = readText(dir.path() / "comm");
        if (!command.empty() && command.back() == '\n')
            command.pop_back();
        const Process process{std::stoi(pidText), command};
        if (grabberOf(process))
            node.grabbers.push_back(process);
        bool holds = false;
        for (const fs::directory_entry& fd : fs::directory_iterator(dir.path() / "fd", ec)) {
            struct stat st{};
            std::error_code linkError;
            if (claimInode != 0 && fs::read_symlink(fd.path(), linkError).string() == socket)
                node.claimHolder = process;
            else if (!holds && node.exists && ::stat(fd.path().c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev)
                holds = true;
        }
        if (holds)
            node.holders.push_back(process);
    }
}
}

NodeFacts GatherNode(const std::string& path, bool hid, const std::string& name)
{
    NodeFacts node;
    node.name = name, node.path = path, node.hid = hid;
    struct stat st{};
    node.exists = ::stat(path.c_str(), &st) == 0;
    if (node.exists) {
        node.owner = st.st_uid, node.group = st.st_gid, node.mode = st.st_mode & 0777;
        const passwd* owner = getpwuid(st.st_uid);
        const group* group = getgrgid(st.st_gid);
        node.ownerName = owner ? owner->pw_name : std::to_string(st.st_uid);
        node.groupName = group ? group->gr_name : std::to_string(st.st_gid);
        char acl[1024];
        const ssize_t size = getxattr(path.c_str(), "system.posix_acl_access", acl, sizeof acl);
        if (size > 0)
            node.acl = DecodeAcl(std::string_view(acl, std::size_t(size))).value_or(std::vector<AclEntry>{});
        node.ruleInstalled = ruleInstalled();
        node.uaccessTagged = S_ISCHR(st.st_mode) && uaccessTagged(st.st_rdev);
    }
    const unsigned long claimInode = name.empty() ? 0 : AbstractSocketInode(readText("/proc/net/unix"), "tarabo-opos-claim-" + name);
    scanProcesses(node, node.exists && S_ISCHR(st.st_mode) ? st.st_rdev : 0, claimInode);
    return node;
}

UserFacts GatherUser()
{
    UserFacts user;
    user.uid = getuid();
    const passwd* pw = getpwuid(user.uid);
    user.name = pw ? pw->pw_name : std::to_string(user.uid);
    std::vector<gid_t> groups(std::size_t(std::max(getgroups(0, nullptr), 0)));
    groups.resize(std::size_t(std::max(getgroups(int(groups.size()), groups.data()), 0)));
    groups.push_back(getegid());
    user.groups.assign(groups.begin(), groups.end());
    if (pw) {
        // The groups the user database lists now; a login started earlier does not have them yet.
        int count = 64;
        std::vector<gid_t> member(static_cast<std::size_t>(count));
        if (getgrouplist(pw->pw_name, pw->pw_gid, member.data(), &count) < 0) {
            member.resize(std::size_t(count));
            getgrouplist(pw->pw_name, pw->pw_gid, member.data(), &count);
        }
        member.resize(std::size_t(std::max(count, 0)));
        user.memberGroups.assign(member.begin(), member.end());
    }
    return user;
}

}

namespace {
using doctor::NodeFacts;

bool isHidraw(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, ec);
    return (ec ? std::filesystem::path(path) : real).filename().string().starts_with("hidraw");
}

// Prints the findings for one node; false when one of them stops it being opened or claimed.
bool report(const NodeFacts& node, const doctor::UserFacts& user, std::ostream& out)
{
    out << (node.name.empty() ? "" : node.name + ": ") << node.path << (node.hid ? " (HID scale)" : " (serial port)") << "\n";
    bool ok = true;
    for (const doctor::Finding& finding : doctor::Diagnose(node, user)) {
        out << (finding.problem ? "  PROBLEM: " : "  ") << finding.text << "\n";
        if (!finding.fix.empty())
            out << "    fix: " << finding.fix << "\n";
        ok = ok && !finding.problem;
    }
    return ok;
}

// The node a configured name opens, or why there is none to check.
std::optional<NodeFacts> nodeOfSection(const opos::DeviceSection& section, std::string& why)
{
    const std::string driver = section.Text("driver", "");
    const std::string device = section.Text("device", driver == "hid" ? "auto" : "");
    if (driver == "serial" && !device.empty())
        return doctor::GatherNode(device, false, section.name);
    if (driver != "hid") {
        why = "driver " + driver + " opens no device node";
        return std::nullopt;
    }
    if (device.starts_with("/"))
        return doctor::GatherNode(device, true, section.name);
    unsigned vendor = 0, product = 0;
    const bool byId = std::sscanf(device.c_str(), "%4x:%4x", &vendor, &product) == 2;
    for (const opos::HidrawNode& node : opos::CurrentHidrawSystem().list())
        if (byId ? node.vendor == vendor && node.product == product : node.scale)
            return doctor::GatherNode(node.path, true, section.name);
    why = "no HID device matching \"" + device + "\" is connected (tarabo-scales list shows what is)";
    return std::nullopt;
}
}

int RunDoctorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() > 1)
        return -1;
    const doctor::UserFacts user = doctor::GatherUser();
    if (!args.empty() && args[0].find('/') != std::string::npos)
        return report(doctor::GatherNode(args[0], isHidraw(args[0])), user, out) ? 0 : 1;
    opos::ScalesConfig config;
    try {
        config = opos::LoadScalesConfig(opos::ConfigFiles());
    } catch (const opos::DeviceError& error) {
        err << "tarabo-scales: " << error.what() << "\n";
        return 1;
    }
    const std::string builtIn = opos::Utf8FromUtf16(opos::kDefaultScaleName);
    if (!args.empty() && args[0] == builtIn && !config.count(builtIn)) {
        out << builtIn << ": the built-in simulated scale opens no device node\n";
        return 0;
    }
    if (!args.empty() && !config.count(args[0])) {
        err << "tarabo-scales: no scale is configured under the name \"" << args[0] << "\" (a device is checked by its path, such as /dev/ttyUSB0)\n";
        return 1;
    }
    bool ok = true;
    int checked = 0;
    for (const auto& [name, section] : config) {
        if (!args.empty() && name != args[0])
            continue;
        std::string why;
        if (const std::optional<NodeFacts> node = nodeOfSection(section, why)) {
            ok = report(*node, user, out) && ok;
        } else {
            out << name << ": " << why << "\n";
            ok = ok && why.starts_with("driver");
        }
        ++checked;
    }
    if (checked == 0)
        out << "No logical names are configured; give a device: tarabo-scales doctor /dev/ttyUSB0\n";
    return ok ? 0 : 1;
}
