// The variant selection dialog: contigs, a contig range, INFO and FORMAT tag thresholds and a
// threshold on per-variant values, one page each; it hands back plain values and changes nothing.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "core/zelUser.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

class TFVarSel : public QDialog {
  Q_OBJECT
 public:
  explicit TFVarSel(QWidget* parent = nullptr);

  // Fills the requested page from the request and shows only that page, or every page with
  // enableAllPages. Confirmation is reset, so a dialog closed in any other way reports none.
  void init(const TVarSelRequest& request, bool enableAllPages = false);
  // The value page: one line per data set, the first chosen.
  void initValues(const std::vector<std::string>& dataSets);

  // True only after "OK" passed its checks (varsel_do).
  bool VarSelDo() const { return varsel_do; }
  TVarSelPage Page() const { return CurPage; }
  TVarSelAnswer Answer() const;
  TZelValueSelection ValueAnswer() const;
  // The INFO page's "Select..." choice: "if tag is present" instead of "by threshold value".
  bool TagPresentMode() const;
  // Empty when the shown page may be confirmed; otherwise what is wrong, naming the field.
  QString CheckInput() const;

  // The chosen INFO and FORMAT tags; kept for the whole run like the dialog itself.
  static inline std::string sel_infotag;
  static inline std::string sel_gttag;

 private:
  void Confirm();
  void ShowKey(bool info, int index);
  void UpdateInputState();

  TVarSelPage CurPage = vsChr;
  bool varsel_do = false;
  std::vector<std::string> key_descr;
  std::vector<uint8_t> key_type;

  QTabWidget* Pages = nullptr;
  QDialogButtonBox* Buttons = nullptr;
  QPushButton* OkButton = nullptr;
  // Contig selection
  QLabel* ChrLabel = nullptr;
  QListWidget* ChrList = nullptr;
  // Contig range
  QListWidget* RegionList = nullptr;
  QLineEdit* FromPos = nullptr;
  QLineEdit* ToPos = nullptr;
  // INFO tag
  QComboBox* InfoTag = nullptr;
  QLabel* InfoDescr = nullptr;
  QLabel* InfoType = nullptr;
  QComboBox* InfoCmp = nullptr;
  QLineEdit* InfoThreshold = nullptr;
  QRadioButton* InfoIfPresent = nullptr;
  QRadioButton* InfoByThreshold = nullptr;
  // FORMAT tag
  QComboBox* FmtTag = nullptr;
  QLabel* FmtDescr = nullptr;
  QLabel* FmtType = nullptr;
  QComboBox* FmtCmp = nullptr;
  QLineEdit* FmtThreshold = nullptr;
  QLineEdit* FmtMinSamples = nullptr;
  // Value threshold
  QComboBox* ValueList = nullptr;
  QComboBox* ValueCmp = nullptr;
  QLineEdit* ValueThreshold = nullptr;
};
