// The Qt answerer of the user-prompt seam.
#include "ui/zelQtUser.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

std::optional<std::string> TZelQtUser::AskOpenFileName(const std::string& caption,
                                                       const std::string& filter) {
  const QString f = QFileDialog::getOpenFileName(Parent, QString::fromStdString(caption), {},
                                                 QString::fromStdString(filter));
  if (f.isEmpty()) return std::nullopt;
  return f.toStdString();
}

std::optional<std::string> TZelQtUser::AskSaveFileName(const std::string& caption,
                                                       const std::string& filter,
                                                       const std::string& defaultExt) {
  QFileDialog dlg(Parent, QString::fromStdString(caption), {}, QString::fromStdString(filter));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix(QString::fromStdString(defaultExt));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  return dlg.selectedFiles().front().toStdString();
}

std::optional<std::string> TZelQtUser::InputBox(const std::string& caption,
                                                const std::string& prompt,
                                                const std::string& defaultValue) {
  bool ok = false;
  const QString t =
      QInputDialog::getText(Parent, QString::fromStdString(caption), QString::fromStdString(prompt),
                            QLineEdit::Normal, QString::fromStdString(defaultValue), &ok);
  if (!ok) return std::nullopt;
  return t.toStdString();
}

// The full group manager is still to come; until then the user is told and nothing changes.
bool TZelQtUser::ShowGroupManager(TZelObject& structure) {
  (void)structure;
  QMessageBox::information(Parent, "Manage individuals",
                           "The group manager is not available in this build.");
  return false;
}
