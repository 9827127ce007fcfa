// The Qt answerer of the user-prompt seam.
#include "ui/zelQtUser.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QTabWidget>

#include "commands/cmdLoad.h"
#include "popgen/bioPop.h"
#include "ui/zelGroupManager.h"
#include "ui/zelVarSelDialog.h"
#include "vcf/bioVCF.h"

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

// Dialogs are made here, on the interface thread; a command on the worker thread reaches
// them through TZelThreadUser.
bool TZelQtUser::ShowGroupManager(TZelObject& structure) {
  auto* s = dynamic_cast<TPopStructure*>(&structure);
  if (!s) return false;
  TZelGrpMan dlg(Parent);
  dlg.Tabs()->setTabVisible(1, false);
  dlg.Tabs()->setTabVisible(2, false);
  dlg.Init(*s);
  if (const TVCFFile* vcf = iscActiveVcfFile()) dlg.SetVcfSamples(vcf->SampleNamesRef());
  dlg.exec();
  if (!dlg.IsModified()) return false;
  *s = dlg.GroupStructure().MakeCopy();
  return true;
}

std::optional<TVarSelAnswer> TZelQtUser::ShowVarSelection(const TVarSelRequest& request) {
  TFVarSel dlg(Parent);
  dlg.init(request);
  dlg.exec();
  if (!dlg.VarSelDo()) return std::nullopt;
  return dlg.Answer();
}

// The dialog keeps its own caption; the caller's names the question for answerers without one.
std::optional<TZelValueSelection> TZelQtUser::AskValueSelection(
    const std::string&, const std::vector<std::string>& dataSets) {
  TFVarSel dlg(Parent);
  dlg.initValues(dataSets);
  dlg.exec();
  if (!dlg.VarSelDo()) return std::nullopt;
  return dlg.ValueAnswer();
}
