#pragma once
// A port list the test sets: the ports the settings window lists, and the names that are there
// for the watch of a vanished port.

#include <unistd.h>

#include <set>
#include <vector>

#include "link/port_list.h"

namespace orv::test {

class FakePortList : public PortList {
  public:
    std::vector<PortEntry> ports() override { return entries; }
    bool present(const Text& name) override { return there.count(name) > 0; }

    // Adds a port that is there, named as the kernel names it.
    void add(const Text& name, const Text& description = Text()) {
        entries.push_back({name, name, description});
        there.insert(name);
    }

    std::vector<PortEntry> entries;
    std::set<Text> there;
};

// Lists no port; a name is there while its file (a terminal's link) is, as on the machine.
class FilePortList : public PortList {
  public:
    std::vector<PortEntry> ports() override { return {}; }
    bool present(const Text& name) override {
        return !name.empty() && ::access(name.c_str(), F_OK) == 0;
    }
};

}  // namespace orv::test
