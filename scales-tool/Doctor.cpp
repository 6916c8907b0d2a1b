// The reasoning of doctor, and the decoding of what the kernel says: pure, with no I/O.
#include "scales-tool/Doctor.h"

#include <algorithm>
#include <sstream>

namespace doctor {

namespace {
constexpr unsigned kReadWrite = 6;

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
    const std::size_t before = findings.size();
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
        findings.push_back({true, "the udev rule for HID scales (" + std::string(kUdevRuleFile) + ") is not installed",
                            "sudo install -m 644 packaging/" + std::string(kUdevRuleFile) + " /etc/udev/rules.d/ && sudo udevadm control --reload && "
                            "sudo udevadm trigger --action=change " + node.path});
    else if (node.hid && !node.uaccessTagged)
        findings.push_back({true, "the udev rule is installed but did not give this node to the user at the seat (plugged in before the rule, "
                                  "or its report descriptor does not begin with the scale usage page)",
                            "sudo udevadm trigger --action=change " + node.path});
    else if (node.hid)
        findings.push_back({true, "udev gives this node to the user at the seat, and that is not you (logged in over SSH, or at another seat)", ""});
    if (node.hid || !groupOpens)
        findings.push_back({false, std::string(findings.size() > before ? "or, " : "") + "for you alone until the device is unplugged or the machine restarts",
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

bool GrabsSerialAdapters(const Process& process) { return grabberOf(process) != nullptr; }

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

}
