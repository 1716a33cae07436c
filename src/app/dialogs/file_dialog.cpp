// ConfigFileDialog, the dialogs of the configuration files: its definitions (file_dialog.h says
// what it does).
#include "app/dialogs/file_dialog.h"

#include <QFileInfo>

#include "app/messages.h"

namespace orv::ui {

void ConfigFileDialog::accept() {
    if (acceptMode() == AcceptSave && !selectedFiles().isEmpty()) {
        // The name as the dialog will give it, with ".cfg" added when the user typed none.
        QString path = selectedFiles().constFirst();
        if (QFileInfo(path).suffix().isEmpty() && !defaultSuffix().isEmpty()) {
            path += QLatin1Char('.') + defaultSuffix();
        }
        const QFileInfo file(path);
        if (file.dir().exists() && !file.exists() &&
            showMessage(
                this, QMessageBox::Warning,
                QStringLiteral("%1\nЭтот файл не существует.\nСоздать его?").arg(file.fileName()),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
            return;
        }
    }
    QFileDialog::accept();
}

}  // namespace orv::ui
