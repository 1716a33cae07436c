#pragma once
// The main window's words for its settings (the labels, the items of each choice, the captions
// of the phone tables), as the check against the device names what differs, for a program
// that has no window to read them off.

#include <vector>

#include "cli/results.h"
#include "settings/comparison.h"

namespace orv::cli {

const WindowWords& formWords();

// Each difference on a row of its own: a setting by its label (the file's value, the device's),
// a number found on one side only by its table's caption, the speed-dial order, each value the
// window cannot hold and the slots read programming does not read.
std::vector<DifferenceRow> differenceRows(const Differences& differences,
                                          const WindowWords& words = formWords());

}  // namespace orv::cli
