#pragma once
// ConfigFileDialog, the dialogs of the configuration files. The save dialog asks before it replaces
// a file that exists (the toolkit's own question) and also before it creates one that does not
// exist yet.

#include <QFileDialog>

namespace orv::ui {

class ConfigFileDialog : public QFileDialog {
    Q_OBJECT
  public:
    using QFileDialog::QFileDialog;

  public slots:
    void accept() override;
};

}  // namespace orv::ui
