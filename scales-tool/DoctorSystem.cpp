// The thin layer under doctor: the facts from the system (stat, the ACL, udev's database, /proc,
// the user database) and the command that prints the findings.
#include "scales-tool/Doctor.h"

#include "opos/DeviceRegistry.h"
#include "opos/hid/Hidraw.h"
#include "opos/ResultCodes.h"
#include "opos/config/ScalesConfig.h"
#include "opos/Utf8.h"

#include <algorithm>
#include <cstdio>
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
        if (::access((std::string(dir) + "/" + std::string(kUdevRuleFile)).c_str(), F_OK) == 0)
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
        if (GrabsSerialAdapters(process))
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
bool report(const NodeFacts& node, const doctor::UserFacts& user, TextSink& out)
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
    why = (byId ? "no HID device " + device : std::string("no USB HID POS scale")) + " is connected (tarabo-scales list shows what is)";
    return std::nullopt;
}
}

int RunDoctorCommand(const std::vector<std::string>& args, TextSink& out, TextSink& err)
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
