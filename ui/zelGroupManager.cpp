// The sample group manager.
#include "ui/zelGroupManager.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <unordered_set>

#include "core/zelLog.h"
#include "core/zelUser.h"

namespace {

QString CountText(int n) { return QString("n = %1").arg(n); }

// "3 (a, b, c)": the count and the first five names.
std::string CountAndFirstNames(const std::vector<std::string>& names) {
  std::string r = std::to_string(names.size()) + " (";
  for (size_t i = 0; i < names.size() && i < 5; ++i) r += (i ? ", " : "") + names[i];
  return r + (names.size() > 5 ? ", ...)" : ")");
}

QString ErrorText(const TZelErr& e) {
  return QString::fromStdString(ZelFormatError(e.Msg, e.Sender, e.Details));
}

}  // namespace

TZelGrpMan::TZelGrpMan(QWidget* parent) : QDialog(parent) {
  setWindowTitle("ZEL Sample group manager");
  setModal(true);
  Pages = new QTabWidget(this);
  Pages->setObjectName("Pages");

  auto* assign = new QWidget;
  auto* grid = new QGridLayout(assign);
  Source = new QComboBox(assign);
  Source->setObjectName("Source");
  Samples = new QListWidget(assign);
  Samples->setObjectName("Samples");
  Samples->setSelectionMode(QAbstractItemView::ExtendedSelection);
  SamplesCount = new QLabel(CountText(0), assign);
  SamplesCount->setObjectName("SamplesCount");
  SubSet = new QListWidget(assign);
  SubSet->setObjectName("SubSet");
  SubSet->setSelectionMode(QAbstractItemView::ExtendedSelection);
  SubSetCount = new QLabel(CountText(0), assign);
  SubSetCount->setObjectName("SubSetCount");
  AddBtn = new QPushButton(">>", assign);
  AddBtn->setObjectName("AddBtn");
  RemoveBtn = new QPushButton("X", assign);
  RemoveBtn->setObjectName("RemoveBtn");
  RemoveBtn->setEnabled(false);
  DeleteBtn = new QPushButton("Delete sub-set", assign);
  DeleteBtn->setObjectName("DeleteBtn");
  DeleteBtn->setEnabled(false);
  AcceptBtn = new QPushButton("Accept sub-set", assign);
  AcceptBtn->setObjectName("AcceptBtn");
  AcceptBtn->setEnabled(false);
  Name = new QLineEdit(assign);
  Name->setObjectName("Name");

  grid->addWidget(new QLabel("Source data set", assign), 0, 0);
  grid->addWidget(Source, 0, 1, 1, 3);
  grid->addWidget(new QLabel("Data set", assign), 1, 0, 1, 2);
  grid->addWidget(new QLabel("Data sub-set", assign), 1, 3);
  grid->addWidget(Samples, 2, 0, 1, 2);
  auto* mid = new QVBoxLayout;
  mid->addStretch();
  mid->addWidget(AddBtn);
  mid->addWidget(RemoveBtn);
  mid->addStretch();
  grid->addLayout(mid, 2, 2);
  grid->addWidget(SubSet, 2, 3);
  grid->addWidget(SamplesCount, 3, 0, 1, 2);
  grid->addWidget(SubSetCount, 3, 3);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel("Name", assign));
  nameRow->addWidget(Name, 1);
  nameRow->addWidget(AcceptBtn);
  nameRow->addWidget(DeleteBtn);
  grid->addLayout(nameRow, 4, 0, 1, 4);
  grid->setRowStretch(2, 1);
  Pages->addTab(assign, "Assign samples");
  Pages->addTab(new QWidget, "Parse from samples");
  Pages->addTab(new QWidget, "Sample substrings");

  auto* ok = new QPushButton("OK", this);
  auto* cancel = new QPushButton("Cancel", this);
  auto* load = new QPushButton("Load", this);
  auto* save = new QPushButton("Save", this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(load);
  buttons->addWidget(save);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  // Enter belongs to the name field (it accepts the sub-set), never to a button of the dialog.
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  auto* lay = new QVBoxLayout(this);
  lay->addWidget(Pages);
  lay->addLayout(buttons);
  resize(640, 480);

  connect(AddBtn, &QPushButton::clicked, this, &TZelGrpMan::AddSelected);
  connect(RemoveBtn, &QPushButton::clicked, this, &TZelGrpMan::RemoveSelected);
  connect(AcceptBtn, &QPushButton::clicked, this, &TZelGrpMan::AcceptSubSet);
  connect(Name, &QLineEdit::textChanged, this, &TZelGrpMan::CheckName);
  connect(Name, &QLineEdit::returnPressed, this, &TZelGrpMan::AcceptSubSet);
  connect(load, &QPushButton::clicked, this, &TZelGrpMan::Load);
  connect(save, &QPushButton::clicked, this, &TZelGrpMan::Save);
  connect(ok, &QPushButton::clicked, this, &TZelGrpMan::accept);
  connect(cancel, &QPushButton::clicked, this, &TZelGrpMan::reject);
}

void TZelGrpMan::Init(const TPopStructure& s) {
  groups = s.MakeCopy();
  srcgroups = s.MakeCopy();
  fIsmodified = false;
  Samples->clear();
  for (const std::string& n : groups.SortedIndNames) Samples->addItem(QString::fromStdString(n));
  SamplesCount->setText(CountText(Samples->count()));
  SubSet->clear();
  SubSet->setStyleSheet({});
  SubSetCount->setText(CountText(0));
  RemoveBtn->setEnabled(false);
  Source->clear();
  Source->addItem("<all samples>");
  for (const TPopStrucDef& d : groups.PopDef) Source->addItem(QString::fromStdString(d.Name));
  Source->setCurrentIndex(0);
  CheckName();
}

void TZelGrpMan::SetVcfSamples(const std::vector<std::string>& names) {
  VcfSamples = names;
  HaveVcfSamples = true;
}

void TZelGrpMan::ShowSubSetCount() {
  SubSetCount->setText(CountText(SubSet->count()));
  RemoveBtn->setEnabled(SubSet->count() > 0);
  SubSet->setStyleSheet({});
}

void TZelGrpMan::AddSelected() {
  // A sample joins a sub-set once; picking it again is not a second membership.
  for (int i = 0; i < Samples->count(); ++i) {
    QListWidgetItem* item = Samples->item(i);
    if (!item->isSelected()) continue;
    item->setSelected(false);
    if (SubSet->findItems(item->text(), Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
      SubSet->addItem(item->text());
  }
  if (!Name->text().isEmpty()) {
    CheckName();
    Name->setFocus();
  }
  ShowSubSetCount();
}

void TZelGrpMan::RemoveSelected() {
  for (int i = SubSet->count() - 1; i >= 0; --i)
    if (SubSet->item(i)->isSelected()) delete SubSet->takeItem(i);
  if (SubSet->count() == 0) AcceptBtn->setEnabled(false);
  ShowSubSetCount();
}

bool TZelGrpMan::NameUsable(const std::string& name) const {
  return !name.empty() && groups.IsAvailableName(name, kPopNone);
}

void TZelGrpMan::CheckName() {
  const std::string name = Name->text().toStdString();
  const bool usable = NameUsable(name);
  Name->setStyleSheet(usable || name.empty() ? QString() : QString("color: red"));
  AcceptBtn->setEnabled(usable);
}

void TZelGrpMan::AcceptSubSet() {
  const std::string name = Name->text().toStdString();
  if (SubSet->count() == 0 || !NameUsable(name)) {
    AcceptBtn->setEnabled(false);
    return;
  }
  TPopNames names;
  for (int i = 0; i < SubSet->count(); ++i) names.push_back(SubSet->item(i)->text().toStdString());
  if (!groups.AddPop(names, name, false)) {
    SubSet->setStyleSheet("color: red");
    return;
  }
  Source->addItem(QString::fromStdString(name));
  SubSet->clear();
  ShowSubSetCount();
  Name->clear();
  AcceptBtn->setEnabled(false);
}

void TZelGrpMan::Load() {
  const std::optional<std::string> f = ZelUser().AskOpenFileName("Load population map", "");
  if (!f) return;
  // Read into a structure of its own: a refused file leaves the working one untouched.
  TPopStructure loaded;
  if (const TZelErr e = loaded.LoadFromPopMap(*f)) {
    QMessageBox::warning(
        this, windowTitle(),
        "The population map was not loaded; the groups stay as they were.\n" + ErrorText(e));
    return;
  }
  Init(loaded);
}

void TZelGrpMan::Save() {
  const std::optional<std::string> f = ZelUser().AskSaveFileName("Save population map", "", "txt");
  if (!f) return;
  if (const TZelErr e = groups.SaveToPopMap(*f))
    QMessageBox::warning(this, windowTitle(), "The population map was not saved.\n" + ErrorText(e));
}

void TZelGrpMan::accept() {
  // Members that are no samples of the file are allowed (a map may be meant for another file)
  // but never pass unnoticed.
  if (HaveVcfSamples) {
    const std::unordered_set<std::string> inVcf(VcfSamples.begin(), VcfSamples.end());
    std::vector<bool> member(groups.IndNames.size(), false);
    for (const TPopStrucDef& d : groups.PopDef)
      for (uint32_t id : d.IndList)
        if (id < member.size()) member[id] = true;
    std::vector<std::string> unknown;
    for (size_t i = 0; i < member.size(); ++i)
      if (member[i] && !inVcf.count(groups.IndNames[i])) unknown.push_back(groups.IndNames[i]);
    if (!unknown.empty()) {
      const std::string msg =
          "Names in the sub-sets that are not samples of the active VCF file: " +
          CountAndFirstNames(unknown);
      iscZelWarning(msg);
      QMessageBox::warning(this, windowTitle(), QString::fromStdString(msg));
    }
  }
  fIsmodified = true;
  QDialog::accept();
}

void TZelGrpMan::reject() {
  groups = srcgroups.MakeCopy();
  fIsmodified = false;
  QDialog::reject();
}
