// The variant selection dialog.
#include "ui/zelVarSelDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/korNum.h"
#include "vcf/bioVCFTypes.h"
#include "vcf/vcfSelect.h"

namespace {

const char* const kComparisons[] = {"<", "<=", "=", ">=", ">", "<>"};
constexpr int kCmpGE = 3;

QComboBox* ComparisonList(QWidget* parent) {
  auto* c = new QComboBox(parent);
  for (const char* s : kComparisons) c->addItem(s);
  return c;
}

QString TypeName(uint8_t type) {
  return type < vcfTypeStr.size()
             ? QString::fromLatin1(vcfTypeStr[type].data(), qsizetype(vcfTypeStr[type].size()))
             : QString();
}

// True when the text is a number of the key type as the selection command will read it, so
// nothing typed is dropped or changed on the way.
bool IsNumberOfType(const QString& text, uint8_t type) {
  if (type != vtInt && type != vtFloat) return false;
  TValue64 thr{};
  TVcfEvaluator eval = nullptr;
  return !ParseThreshold(text.toStdString(), TvcfType(type), thr, eval);
}

// Why a threshold text is no number of the key's type; empty when it is one.
QString ThresholdFault(const QString& field, const QString& text, uint8_t type, const QString& key,
                       bool offerPresence) {
  if (IsNumberOfType(text, type)) return {};
  if (type == vtInt)
    return QString(
               "%1: \"%2\" is not an integer number in the 32-bit range (the tag %3 is of type "
               "Integer).")
        .arg(field, text, key);
  if (type == vtFloat)
    return QString("%1: \"%2\" is not a number (the tag %3 is of type Float).")
        .arg(field, text, key);
  QString m = QString("%1: the tag %2 is of type %3 and has no numbers to compare")
                  .arg(field, key, TypeName(type));
  if (offerPresence) m += "; choose \"if tag is present\"";
  return m + ".";
}

void MarkFaulty(QLineEdit* e, bool faulty) { e->setStyleSheet(faulty ? "color: red" : QString()); }

}  // namespace

TFVarSel::TFVarSel(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Variant Selection");
  setModal(true);
  Pages = new QTabWidget(this);
  Pages->setObjectName("Pages");

  // Contig selection
  {
    auto* page = new QWidget;
    auto* lay = new QVBoxLayout(page);
    ChrLabel = new QLabel("Selected contigs", page);
    ChrLabel->setObjectName("ChrLabel");
    ChrList = new QListWidget(page);
    ChrList->setObjectName("ChrList");
    auto* all = new QPushButton("Select all", page);
    auto* none = new QPushButton("Deselect all", page);
    auto* row = new QHBoxLayout;
    row->addWidget(all);
    row->addWidget(none);
    row->addStretch();
    lay->addWidget(ChrLabel);
    lay->addWidget(ChrList);
    lay->addLayout(row);
    auto tickAll = [this](Qt::CheckState s) {
      for (int i = 0; i < ChrList->count(); ++i) ChrList->item(i)->setCheckState(s);
    };
    connect(all, &QPushButton::clicked, this, [tickAll] { tickAll(Qt::Checked); });
    connect(none, &QPushButton::clicked, this, [tickAll] { tickAll(Qt::Unchecked); });
    Pages->addTab(page, "Contig selection");
  }
  // Contig range
  {
    auto* page = new QWidget;
    auto* lay = new QGridLayout(page);
    RegionList = new QListWidget(page);
    RegionList->setObjectName("RegionList");
    FromPos = new QLineEdit("1", page);
    FromPos->setObjectName("FromPos");
    ToPos = new QLineEdit("10000000000", page);
    ToPos->setObjectName("ToPos");
    lay->addWidget(new QLabel("Selected single contig", page), 0, 0);
    lay->addWidget(RegionList, 1, 0, 4, 1);
    lay->addWidget(new QLabel("Selected range on contig", page), 0, 1, 1, 2);
    lay->addWidget(new QLabel("from position", page), 1, 1);
    lay->addWidget(FromPos, 1, 2);
    lay->addWidget(new QLabel("to position", page), 2, 1);
    lay->addWidget(ToPos, 2, 2);
    lay->setRowStretch(4, 1);
    // Only one contig is used: ticking one unticks the others rather than ignoring them.
    connect(RegionList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
      if (item->checkState() != Qt::Checked) return;
      const QSignalBlocker block(RegionList);
      for (int i = 0; i < RegionList->count(); ++i)
        if (RegionList->item(i) != item) RegionList->item(i)->setCheckState(Qt::Unchecked);
    });
    Pages->addTab(page, "Contig range");
  }
  // INFO tag
  {
    auto* page = new QWidget;
    auto* lay = new QGridLayout(page);
    InfoTag = new QComboBox(page);
    InfoTag->setObjectName("InfoTag");
    InfoTag->setPlaceholderText("<INFO tag>");
    InfoDescr = new QLabel(page);
    InfoDescr->setObjectName("InfoDescr");
    InfoDescr->setWordWrap(true);
    InfoType = new QLabel(page);
    InfoType->setObjectName("InfoType");
    InfoCmp = ComparisonList(page);
    InfoCmp->setObjectName("InfoCmp");
    InfoThreshold = new QLineEdit("0", page);
    InfoThreshold->setObjectName("InfoThreshold");
    auto* mode = new QGroupBox("Select...", page);
    auto* modeLay = new QVBoxLayout(mode);
    InfoIfPresent = new QRadioButton("if tag is present", mode);
    InfoIfPresent->setObjectName("InfoIfPresent");
    InfoByThreshold = new QRadioButton("by threshold value", mode);
    InfoByThreshold->setObjectName("InfoByThreshold");
    InfoByThreshold->setChecked(true);
    modeLay->addWidget(InfoIfPresent);
    modeLay->addWidget(InfoByThreshold);
    lay->addWidget(new QLabel("Choose INFO tag", page), 0, 0);
    lay->addWidget(InfoTag, 0, 1);
    lay->addWidget(InfoDescr, 1, 0, 1, 2);
    lay->addWidget(InfoType, 2, 0, 1, 2);
    lay->addWidget(new QLabel("Comparison", page), 3, 0);
    lay->addWidget(InfoCmp, 3, 1);
    lay->addWidget(new QLabel("Threshold value", page), 4, 0);
    lay->addWidget(InfoThreshold, 4, 1);
    lay->addWidget(mode, 5, 0, 1, 2);
    lay->setRowStretch(6, 1);
    connect(InfoTag, &QComboBox::currentIndexChanged, this, [this](int i) { ShowKey(true, i); });
    connect(InfoThreshold, &QLineEdit::textChanged, this, [this] { UpdateInputState(); });
    connect(InfoByThreshold, &QRadioButton::toggled, this, [this] { UpdateInputState(); });
    Pages->addTab(page, "Vcf Info Tag");
  }
  // FORMAT tag
  {
    auto* page = new QWidget;
    auto* lay = new QGridLayout(page);
    FmtTag = new QComboBox(page);
    FmtTag->setObjectName("FmtTag");
    FmtTag->setPlaceholderText("<sample/FORMAT tag>");
    FmtDescr = new QLabel(page);
    FmtDescr->setObjectName("FmtDescr");
    FmtDescr->setWordWrap(true);
    FmtType = new QLabel(page);
    FmtType->setObjectName("FmtType");
    FmtCmp = ComparisonList(page);
    FmtCmp->setObjectName("FmtCmp");
    FmtThreshold = new QLineEdit("0", page);
    FmtThreshold->setObjectName("FmtThreshold");
    FmtMinSamples = new QLineEdit("1", page);
    FmtMinSamples->setObjectName("FmtMinSamples");
    lay->addWidget(new QLabel("Choose sample (FORMAT) tag", page), 0, 0);
    lay->addWidget(FmtTag, 0, 1);
    lay->addWidget(FmtDescr, 1, 0, 1, 2);
    lay->addWidget(FmtType, 2, 0, 1, 2);
    lay->addWidget(new QLabel("Comparison", page), 3, 0);
    lay->addWidget(FmtCmp, 3, 1);
    lay->addWidget(new QLabel("Threshold value (per sample individual)", page), 4, 0);
    lay->addWidget(FmtThreshold, 4, 1);
    lay->addWidget(new QLabel("Minimum number of samples that need to PASS threshold", page), 5, 0);
    lay->addWidget(FmtMinSamples, 5, 1);
    lay->setRowStretch(6, 1);
    connect(FmtTag, &QComboBox::currentIndexChanged, this, [this](int i) { ShowKey(false, i); });
    connect(FmtThreshold, &QLineEdit::textChanged, this, [this] { UpdateInputState(); });
    connect(FmtMinSamples, &QLineEdit::textChanged, this, [this] { UpdateInputState(); });
    Pages->addTab(page, "Vcf Sample Tag");
  }
  // Value threshold
  {
    auto* page = new QWidget;
    auto* lay = new QGridLayout(page);
    ValueList = new QComboBox(page);
    ValueList->setObjectName("ValueList");
    ValueList->setPlaceholderText("<value array>");
    ValueCmp = ComparisonList(page);
    ValueCmp->setObjectName("ValueCmp");
    ValueThreshold = new QLineEdit("0", page);
    ValueThreshold->setObjectName("ValueThreshold");
    lay->addWidget(new QLabel("Data values", page), 0, 0);
    lay->addWidget(ValueList, 0, 1);
    lay->addWidget(new QLabel("Comparison", page), 1, 0);
    lay->addWidget(ValueCmp, 1, 1);
    lay->addWidget(new QLabel("Threshold", page), 2, 0);
    lay->addWidget(ValueThreshold, 2, 1);
    lay->setRowStretch(3, 1);
    connect(ValueThreshold, &QLineEdit::textChanged, this, [this] { UpdateInputState(); });
    Pages->addTab(page, "Value threshold");
  }
  Pages->addTab(new QWidget, "Features");
  connect(Pages, &QTabWidget::currentChanged, this, [this](int i) {
    CurPage = TVarSelPage(i);
    UpdateInputState();
  });

  Buttons = new QDialogButtonBox(this);
  OkButton = new QPushButton("OK");
  OkButton->setObjectName("OkButton");
  OkButton->setDefault(true);
  Buttons->addButton(OkButton, QDialogButtonBox::AcceptRole);
  Buttons->addButton(new QPushButton("Cancel"), QDialogButtonBox::RejectRole);
  connect(Buttons, &QDialogButtonBox::accepted, this, &TFVarSel::Confirm);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* lay = new QVBoxLayout(this);
  lay->addWidget(Pages);
  lay->addWidget(Buttons);
  resize(560, 380);
}

void TFVarSel::init(const TVarSelRequest& request, bool enableAllPages) {
  for (int i = 0; i < Pages->count(); ++i) {
    Pages->setTabEnabled(i, enableAllPages);
    Pages->setTabVisible(i, enableAllPages);
  }
  CurPage = request.Page;
  Pages->setTabEnabled(CurPage, true);
  Pages->setTabVisible(CurPage, true);
  Pages->setCurrentIndex(CurPage);
  varsel_do = false;

  switch (CurPage) {
    case vsChr:
      ChrList->clear();
      for (const std::string& c : request.Contigs) {
        auto* item = new QListWidgetItem(QString::fromStdString(c), ChrList);
        item->setCheckState(Qt::Checked);
      }
      ChrLabel->setText(
          QString("Selected contigs (total =%1)").arg(qsizetype(request.Contigs.size())));
      break;
    case vsRegion: {
      const QSignalBlocker block(RegionList);
      RegionList->clear();
      for (const std::string& c : request.Contigs) {
        auto* item = new QListWidgetItem(QString::fromStdString(c), RegionList);
        item->setCheckState(RegionList->count() == 1 ? Qt::Checked : Qt::Unchecked);
      }
      break;
    }
    case vsVcfInfo:
    case vsVcfSample: {
      const bool info = CurPage == vsVcfInfo;
      QComboBox* tags = info ? InfoTag : FmtTag;
      key_descr.clear();
      key_type.clear();
      {
        const QSignalBlocker block(tags);
        tags->clear();
        for (const TVarSelKey& k : request.Keys) {
          tags->addItem(QString::fromStdString(k.Id));
          key_descr.push_back(k.Description);
          key_type.push_back(k.Type);
        }
        tags->setCurrentIndex(-1);
      }
      (info ? InfoDescr : FmtDescr)->clear();
      (info ? InfoType : FmtType)->clear();
      if (!request.Keys.empty()) {
        (info ? InfoCmp : FmtCmp)->setCurrentIndex(kCmpGE);
        tags->setCurrentIndex(0);
      }
      break;
    }
    case vsValue:
      ValueCmp->setCurrentIndex(kCmpGE);
      break;
    case vsFeature:
      break;
  }
  UpdateInputState();
}

void TFVarSel::initValues(const std::vector<std::string>& dataSets) {
  init(TVarSelRequest{vsValue, {}, {}});
  ValueList->clear();
  for (const std::string& s : dataSets) ValueList->addItem(QString::fromStdString(s));
  ValueList->setCurrentIndex(dataSets.empty() ? -1 : 0);
  UpdateInputState();
}

void TFVarSel::ShowKey(bool info, int index) {
  if (index < 0 || size_t(index) >= key_type.size()) return;
  (info ? InfoDescr : FmtDescr)->setText(QString::fromStdString(key_descr[size_t(index)]));
  (info ? InfoType : FmtType)->setText(TypeName(key_type[size_t(index)]));
  (info ? sel_infotag : sel_gttag) = (info ? InfoTag : FmtTag)->itemText(index).toStdString();
  UpdateInputState();
}

bool TFVarSel::TagPresentMode() const { return InfoIfPresent->isChecked(); }

QString TFVarSel::CheckInput() const {
  switch (CurPage) {
    case vsRegion: {
      bool ticked = false;
      for (int i = 0; i < RegionList->count(); ++i)
        ticked = ticked || RegionList->item(i)->checkState() == Qt::Checked;
      if (!ticked) return "Selected single contig: tick the contig to select on.";
      uint64_t from = 0, to = 0;
      if (!s2qChecked(FromPos->text().toStdString(), from))
        return QString("from position: \"%1\" is not a non-negative integer.").arg(FromPos->text());
      if (!s2qChecked(ToPos->text().toStdString(), to))
        return QString("to position: \"%1\" is not a non-negative integer.").arg(ToPos->text());
      if (to < from) return "to position: the range ends before it starts.";
      return {};
    }
    case vsVcfInfo:
    case vsVcfSample: {
      const bool info = CurPage == vsVcfInfo;
      const int i = (info ? InfoTag : FmtTag)->currentIndex();
      if (i < 0 || size_t(i) >= key_type.size())
        return info ? "Choose INFO tag: the file declares no INFO tags."
                    : "Choose sample (FORMAT) tag: the file declares no FORMAT tags.";
      const QString key = (info ? InfoTag : FmtTag)->itemText(i);
      if (info && TagPresentMode()) return {};
      const QString fault = ThresholdFault(
          info ? "Threshold value" : "Threshold value (per sample individual)",
          (info ? InfoThreshold : FmtThreshold)->text(), key_type[size_t(i)], key, info);
      if (!fault.isEmpty() || info) return fault;
      uint64_t n = 0;
      if (!s2qChecked(FmtMinSamples->text().toStdString(), n) || n > 0xFFFFFFFFull)
        return QString(
                   "Minimum number of samples that need to PASS threshold: \"%1\" is not a "
                   "non-negative integer below 2^32.")
            .arg(FmtMinSamples->text());
      return {};
    }
    case vsValue:
      if (ValueList->currentIndex() < 0) return "Data values: there is no data set to choose.";
      if (!IsNumberOfType(ValueThreshold->text(), vtFloat))
        return QString("Threshold: \"%1\" is not a number.").arg(ValueThreshold->text());
      return {};
    case vsChr:
    case vsFeature:
      break;
  }
  return {};
}

void TFVarSel::UpdateInputState() {
  // A page whose list offers nothing cannot be confirmed; a threshold that would be refused
  // shows red while it is typed.
  bool canConfirm = true;
  if (CurPage == vsVcfInfo) canConfirm = InfoTag->count() > 0;
  if (CurPage == vsVcfSample) canConfirm = FmtTag->count() > 0;
  if (CurPage == vsValue) canConfirm = ValueList->count() > 0;
  OkButton->setEnabled(canConfirm);
  const auto thresholdFaulty = [this](QComboBox* tags, QLineEdit* field) {
    const int i = tags->currentIndex();
    return i >= 0 && size_t(i) < key_type.size() &&
           !IsNumberOfType(field->text(), key_type[size_t(i)]);
  };
  InfoThreshold->setEnabled(!TagPresentMode());
  InfoCmp->setEnabled(!TagPresentMode());
  MarkFaulty(InfoThreshold, !TagPresentMode() && thresholdFaulty(InfoTag, InfoThreshold));
  MarkFaulty(FmtThreshold, thresholdFaulty(FmtTag, FmtThreshold));
  uint64_t n = 0;
  MarkFaulty(FmtMinSamples,
             !s2qChecked(FmtMinSamples->text().toStdString(), n) || n > 0xFFFFFFFFull);
  MarkFaulty(ValueThreshold, !IsNumberOfType(ValueThreshold->text(), vtFloat));
}

void TFVarSel::Confirm() {
  const QString fault = CheckInput();
  if (!fault.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), fault);
    return;
  }
  varsel_do = true;
  accept();
}

TVarSelAnswer TFVarSel::Answer() const {
  TVarSelAnswer a;
  for (int i = 0; i < ChrList->count() && CurPage == vsChr; ++i)
    if (ChrList->item(i)->checkState() == Qt::Checked) a.CheckedContigs.push_back(uint32_t(i));
  for (int i = 0; i < RegionList->count() && CurPage == vsRegion; ++i)
    if (RegionList->item(i)->checkState() == Qt::Checked) a.CheckedContigs.push_back(uint32_t(i));
  a.FromPos = FromPos->text().toStdString();
  a.ToPos = ToPos->text().toStdString();
  if (CurPage == vsVcfInfo) {
    a.Key = InfoTag->currentText().toStdString();
    a.Comparison = uint8_t(InfoCmp->currentIndex());
    a.Threshold = InfoThreshold->text().toStdString();
    a.TagPresent = TagPresentMode();
  } else if (CurPage == vsVcfSample) {
    a.Key = FmtTag->currentText().toStdString();
    a.Comparison = uint8_t(FmtCmp->currentIndex());
    a.Threshold = FmtThreshold->text().toStdString();
    a.MinSamples = FmtMinSamples->text().toStdString();
  }
  return a;
}

TZelValueSelection TFVarSel::ValueAnswer() const {
  TZelValueSelection v;
  v.DataSet = uint32_t(std::max(0, ValueList->currentIndex()));
  v.Comparison = uint8_t(ValueCmp->currentIndex());
  v.Threshold = ValueThreshold->text().toStdString();
  return v;
}
