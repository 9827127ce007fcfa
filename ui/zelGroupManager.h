// The sample group manager: populations (sub-sets) picked from the sample names, loaded from or
// saved to a population map, edited on a working copy of the structure.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "popgen/bioPop.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

class TZelGrpMan : public QDialog {
  Q_OBJECT
 public:
  explicit TZelGrpMan(QWidget* parent = nullptr);

  // Working and original structure become copies of s; the lists show its individuals.
  void Init(const TPopStructure& s);
  // The sample names of the active VCF file, against which "OK" checks the sub-sets' members;
  // not set: no check.
  void SetVcfSamples(const std::vector<std::string>& names);

  const TPopStructure& GroupStructure() const { return groups; }
  bool IsModified() const { return fIsmodified; }
  // The unused pages ("Parse from samples", "Sample substrings") for the caller to hide.
  QTabWidget* Tabs() const { return Pages; }

  void accept() override;
  void reject() override;

 private:
  void AddSelected();
  void RemoveSelected();
  void CheckName();
  void AcceptSubSet();
  void Load();
  void Save();
  void ShowSubSetCount();
  bool NameUsable(const std::string& name) const;

  TPopStructure groups;
  TPopStructure srcgroups;
  bool fIsmodified = false;
  std::vector<std::string> VcfSamples;
  bool HaveVcfSamples = false;

  QTabWidget* Pages = nullptr;
  QComboBox* Source = nullptr;
  QListWidget* Samples = nullptr;
  QLabel* SamplesCount = nullptr;
  QListWidget* SubSet = nullptr;
  QLabel* SubSetCount = nullptr;
  QPushButton* AddBtn = nullptr;
  QPushButton* RemoveBtn = nullptr;
  QPushButton* DeleteBtn = nullptr;
  QPushButton* AcceptBtn = nullptr;
  QLineEdit* Name = nullptr;
};
