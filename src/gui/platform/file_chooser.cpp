#include "platform/file_chooser.h"

#include <QFileDialog>

namespace vellumix::gui {

QString DialogFileChooser::OpenFile(QWidget* parent, const QString& caption, const QString& folder,
                                    const QString& filter) {
  return QFileDialog::getOpenFileName(parent, caption, folder, filter, nullptr,
                                      QFileDialog::DontUseNativeDialog);
}

QString DialogFileChooser::SaveFile(QWidget* parent, const QString& caption, const QString& folder,
                                    const QString& filter, const QString& defaultSuffix,
                                    bool confirmOverwrite) {
  QFileDialog dialog(parent, caption, folder, filter);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

}  // namespace vellumix::gui
