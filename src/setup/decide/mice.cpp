#include "setup/decide/mice.hpp"

#include "input/mousedev_ids.hpp"

#include <algorithm>

namespace {

bool may_be_fed(const input_device& d)
{
    return d.fed.state == tri::unknown && mousedev_may_feed(d.caps);
}

} // namespace

bool grabbed_by_remote_program(const system_facts& facts, const input_device& device)
{
    const auto& sharing = facts.sharing_remotes;
    return device.grabbed && std::any_of(device.holders.items.begin(), device.holders.items.end(), [&](const process& p) {
        return p.name == remote_program_comm && std::find(sharing.begin(), sharing.end(), p.pid) == sharing.end();
    });
}

found_list<fed_device> fed_devices(const system_facts& facts)
{
    found_list<fed_device> fed{known(false), {}};
    probed maybe = known(false);
    for (const input_device& d : facts.others) {
        if (d.fed.state == tri::yes)
            fed.items.push_back({d.node, d.id.name, is_virtual_mouse(d.id) ? feed_kind::virtual_mouse : feed_kind::mouse,
                                 &d});
        else if (may_be_fed(d) && maybe.state == tri::no)
            maybe = d.fed;
    }
    for (const touch_screen& s : facts.screens)
        if (s.fed.state == tri::yes)
            fed.items.push_back({s.node, s.name, feed_kind::touch_screen, nullptr});
    fed.any = fed.items.empty() ? maybe : known(true);
    return fed;
}

std::vector<const input_device*> grabbed_mice(const system_facts& facts)
{
    std::vector<const input_device*> grabbed;
    for (const input_device& d : facts.others)
        if ((d.fed.state == tri::yes || may_be_fed(d)) && d.grabbed && !grabbed_by_remote_program(facts, d))
            grabbed.push_back(&d);
    return grabbed;
}
