// Hot plug: hubs that arrive and leave while a program runs, the listener
// that tells the program (as Windows' device notifications do), and the
// lines of a bench control file that plug and unplug hubs from outside.
#include <sstream>

#include "bench/pc.h"

namespace bench {

void Pc::OnHubChange(HubChangeListener listener) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_hubChange = std::move(listener);
}

void Pc::HubChanged(const Device& device, bool arrival) {
    if (!device.IsHub() || !m_hubChange) return;
    Event(device.Name() + (arrival ? " arrived" : " left") + ": device notification");
    m_hubChange(device.Name(), arrival);
}

bool Pc::Control(const std::string& line, std::string* error) {
    std::istringstream in(line);
    std::string verb, name, extra;
    in >> verb >> name >> extra;
    if (verb.empty() || verb[0] == '#') return true;
    if ((verb != "plug" && verb != "unplug") || name.empty() || !extra.empty()) {
        if (error) *error = "expected \"plug NAME\" or \"unplug NAME\": " + line;
        return false;
    }
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!FindDevice(name)) {
        if (error) *error = "no device " + name;
        return false;
    }
    if (verb == "plug")
        Plug(name);
    else
        Unplug(name);
    return true;
}

}  // namespace bench
