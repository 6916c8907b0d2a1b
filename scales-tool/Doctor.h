// tarabo-scales doctor: why the current user can or cannot open a scale's device node, and the
// command that fixes it. The reasoning is a pure function over facts gathered from the system
// (the node, the user, udev, /proc), so it is tested on described nodes.
#pragma once

#include <cstdint>
#include "scales-tool/TextSink.h"
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace doctor {

inline constexpr std::string_view kUdevRuleFile = "60-tarabo-scales.rules";

// One entry of a POSIX access ACL beyond the owner's and the others' (which the mode holds).
struct AclEntry
{
    enum Tag { User, Group, OwningGroup, Mask } tag;
    unsigned id = 0; // uid or gid; unused for the mask
    unsigned perm = 0; // 4 read, 2 write, 1 execute
    bool operator==(const AclEntry&) const = default;
};
// The kernel's system.posix_acl_access value; nullopt when it is not one.
std::optional<std::vector<AclEntry>> DecodeAcl(std::string_view value);

struct Process
{
    int pid = 0;
    std::string command;
    bool operator==(const Process&) const = default;
};

struct NodeFacts
{
    std::string name;          // the logical name, when asked by name
    std::string path;          // as configured or given
    bool hid = false;          // a hidraw node (else a serial port)
    bool exists = false;
    unsigned owner = 0, group = 0, mode = 0; // mode: the permission bits
    std::string ownerName, groupName;
    std::vector<AclEntry> acl;
    bool ruleInstalled = false; // the udev rule for HID scales, anywhere udev reads rules
    bool uaccessTagged = false; // udev's database gives the node the uaccess tag
    std::vector<Process> holders;       // other processes with the node open
    std::optional<Process> claimHolder; // the process that claims the logical name
    std::vector<Process> grabbers;      // services known to grab USB serial adapters, running
};

struct UserFacts
{
    unsigned uid = 0;
    std::string name;
    std::vector<unsigned> groups;       // the process's groups, as the kernel checks them
    std::vector<unsigned> memberGroups; // the groups /etc/group lists the user in now
};

struct Finding
{
    bool problem = false; // stops the open, rather than a fact worth knowing
    std::string text;
    std::string fix;      // a command to type; empty when there is none
};

// ModemManager or brltty, which open USB serial adapters of their own accord.
bool GrabsSerialAdapters(const Process& process);

// Why the user can or cannot open the node, first finding first.
std::vector<Finding> Diagnose(const NodeFacts& node, const UserFacts& user);

// The thin layer: the facts from the system for a path, and for the user running the tool.
NodeFacts GatherNode(const std::string& path, bool hid, const std::string& name = {});
UserFacts GatherUser();

// The abstract Unix socket's inode in /proc/net/unix's text ("@name" there); 0 when absent.
unsigned long AbstractSocketInode(std::string_view procNetUnix, std::string_view name);

}

// args after "doctor": [NAME|DEVICE] (a device has a slash in its path); nothing checks every
// configured name. Exit 0 when every
// device can be opened, 1 otherwise; -1 for bad usage, which the caller explains.
int RunDoctorCommand(const std::vector<std::string>& args, TextSink& out, TextSink& err);
