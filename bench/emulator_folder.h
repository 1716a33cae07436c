#pragma once
// A scratch folder with the device emulator answering on a terminal linked into it, and a port
// settings file that names that terminal: the program started in the folder opens the
// emulator's port at its first activation.

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

#include "emulator_process.h"

namespace orv::bench {

class EmulatorFolder {
  public:
    // The emulator at `program` (next to this program when empty), with the further `options`.
    explicit EmulatorFolder(const QString& program = {}, const QStringList& options = {})
        : emulator_(program) {
        ready_ = dir_.isValid() && emulator_.start(port(), options) && writePortFile();
    }

    bool ready() const { return ready_; }
    const QString& program() const { return emulator_.program(); }
    QString path() const { return dir_.path(); }
    QString port() const { return dir_.filePath("emulator-port"); }
    std::string portName() const { return QFile::encodeName(port()).toStdString(); }
    std::string folderName() const { return QFile::encodeName(path()).toStdString(); }

  private:
    bool writePortFile() {
        QFile ini(dir_.filePath("Dalvorn Terminal.ini"));
        return ini.open(QIODevice::WriteOnly) && ini.write(QFile::encodeName(port()) + "\r\n") >= 0;
    }

    QTemporaryDir dir_;
    test::EmulatorProcess emulator_;
    bool ready_ = false;
};

}  // namespace orv::bench
