#include "link/port_list.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace orv {
namespace {

// "ttyS10" after "ttyS2": runs of digits compare by their value.
bool naturalLess(const Text& a, const Text& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && digit(a[ei])) {
                ++ei;
            }
            while (ej < b.size() && digit(b[ej])) {
                ++ej;
            }
            // Without leading zeros, the longer run is the larger number.
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0') {
                ++si;
            }
            while (sj + 1 < ej && b[sj] == '0') {
                ++sj;
            }
            const Text na = a.substr(si, ei - si);
            const Text nb = b.substr(sj, ej - sj);
            if (na.size() != nb.size()) {
                return na.size() < nb.size();
            }
            if (na != nb) {
                return na < nb;
            }
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) {
            return a[i] < b[j];
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

std::vector<PortEntry> arrangePorts(std::vector<SystemPort> ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const SystemPort& a, const SystemPort& b) {
        if (a.usb != b.usb) {
            return a.usb;
        }
        return naturalLess(a.device, b.device);
    });
    std::vector<PortEntry> entries;
    for (SystemPort& port : ports) {
        entries.push_back({port.device, port.device, port.description});
        std::sort(port.stableNames.begin(), port.stableNames.end());
        for (const Text& name : port.stableNames) {
            entries.push_back({name, port.device, port.description});
        }
    }
    return entries;
}

Text stableNameOf(const std::vector<PortEntry>& ports, const Text& port) {
    Text device;
    for (const PortEntry& entry : ports) {
        if (entry.name == port) {
            device = entry.device;
        }
    }
    if (device.empty()) {
        return Text();
    }
    for (const PortEntry& entry : ports) {
        if (entry.device == device && entry.name.find("/by-id/") != Text::npos) {
            return entry.name == port ? Text() : entry.name;
        }
    }
    return Text();
}

}  // namespace orv
