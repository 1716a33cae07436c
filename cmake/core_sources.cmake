# The core's sources, listed once for every build that takes the core: the program
# (src/CMakeLists.txt), the Windows build of the core alone (ORV_CORE_ONLY) and the fuzz targets
# (fuzz/CMakeLists.txt). Paths are relative to src/.
#
# The core: settings, encodings, file formats, the command sequences over the port and clock
# interfaces. Plain C++, no widgets.
set(ORV_CORE_SOURCES
  base/text.cpp
  base/errors.cpp
  settings/settings_record.cpp
  settings/settings_table.cpp
  settings/device_vocabulary.cpp
  settings/encoding.cpp
  settings/config_file.cpp
  base/regular_file.cpp
  settings/comparison.cpp
  sms/ucs2.cpp
  sms/counter.cpp
  sms/recipients.cpp
  sms/broadcast.cpp
  sms/broadcast_report.cpp
  link/clock.cpp
  link/com_create.cpp
  link/device.cpp
  link/presence.cpp
  link/port_settings.cpp
  link/port_problems.cpp
  link/port_list.cpp
  link/line_guard.cpp
  link/typed_line.cpp
  link/terminal_text.cpp
  link/usumma.cpp
  operations/write_programming.cpp
  operations/read_programming.cpp
  operations/line_services.cpp
  operations/schedule.cpp
  operations/step.cpp
  records/file_comparison.cpp
  records/transcript.cpp
  records/history.cpp
  records/run_outcome.cpp
  records/history_list.cpp
  records/password_mask.cpp
)

# The core's few calls on the operating system, one implementation per system.
set(ORV_CORE_POSIX_SOURCES base/platform_posix.cpp)
set(ORV_CORE_WINDOWS_SOURCES base/platform_windows.cpp)

# Number lists and recipients as CSV files, parsed by libcsv (Debian's libcsv-dev): built where
# the library is, so not in the Windows build of the core.
set(ORV_CORE_CSV_SOURCES
  records/csv_reader.cpp
  records/number_lists_csv.cpp
  records/recipients_csv.cpp
)

# The support bundle of a history record, a .tar.gz made by libarchive (Debian's
# libarchive-dev): built where the library is, so not in the Windows build of the core.
set(ORV_CORE_ARCHIVE_SOURCES
  records/support_bundle.cpp
)
