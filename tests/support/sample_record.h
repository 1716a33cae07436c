#pragma once
// The records the tests and the benchmarks program with.

#include "settings/settings_record.h"

namespace orv::test {

// A record that uses every setting: each choice made (every other one off), every field filled
// within its bounds (a seven-digit password, a fifteen-digit number), two or three numbers in
// each phone table after which the table's empty row follows, and a forward number. A save and
// a load, or a write and a read-back, must carry all of it.
SettingsRecord sampleRecord();

// A short record for runs whose length the test counts: a two-digit password, one number in
// the call-back, allowed and speed-dial tables and a forward number; the rest defaults.
SettingsRecord shortRecord();

}  // namespace orv::test
