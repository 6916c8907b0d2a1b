// Any bytes as an access ACL's value (and, when it decodes, reasoned over for a user), and as
// /proc/net/unix's text after a first line naming the socket sought: nothing may crash doctor.
#include "scales-tool/Doctor.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (const std::optional<std::vector<doctor::AclEntry>> acl = doctor::DecodeAcl(input)) {
        if (acl->size() > size / 8)
            std::abort();
        doctor::NodeFacts node;
        node.path = "/dev/ttyUSB0", node.exists = true, node.group = 20, node.mode = 0660, node.acl = *acl;
        if (doctor::Diagnose(node, {1000, "alice", {1000, 20}, {1000}}).empty())
            std::abort();
    }
    const std::size_t newline = std::min(input.find('\n'), input.size());
    doctor::AbstractSocketInode(input.substr(newline), input.substr(0, newline));
    return 0;
}
