#include "bind/frmBind.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/RunErr.h"
#include "platform/Platform.h"
#include "session/SessionData.h"

namespace {

struct ValueType {
  const char* name;
  int code;
};

// The data types offered, with their Oracle type codes; Add supports five of them.
constexpr std::array<ValueType, 16> kValueTypes{{
    {"VARCHAR2", 1},
    {"NUMBER", 2},
    {"LONG", 8},
    {"ROWID", 11},
    {"RAW", 23},
    {"LONGRAW", 24},
    {"SINT", 3},
    {"FLOAT", 4},
    {"STRING", 5},
    {"VARCHAR", 9},
    {"DATE", 12},
    {"UINT", 68},
    {"CHAR", 96},
    {"CHARZ", 97},
    {"CURSOR", 102},
    {"MLSLABEL", 106},
}};
constexpr int kTypeItemWidth = 13;

// The date texts a user may type: the program's own display forms, ISO, and the form the SQL log
// prompts offer.
constexpr std::array<const char*, 9> kDateFormats{{
    "yyyy/M/d H:m:s",
    "yyyy/M/d H:m",
    "yyyy/M/d",
    "yyyy-M-d H:m:s",
    "yyyy-M-d H:m",
    "yyyy-M-d",
    "yyyy-M-d/H:m:s",
    "yyyy-M-dTH:m:s",
    "yyyy.M.d",
}};

QLabel* Caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

QPushButton* Button(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  // Enter in a text field must not register or delete a variable by accident.
  button->setAutoDefault(false);
  return button;
}

// True when the combo's text is the text of its selected item, not something typed over it.
bool ItemSelected(const QComboBox* combo) {
  return combo->currentIndex() >= 0 &&
         combo->itemText(combo->currentIndex()) == combo->currentText();
}

void RemoveParameter(ora::OraDatabase* db, const QString& name) {
  if (db) db->Parameters().Remove(name);
  ora::ErrClear();
}

}  // namespace

QString BindValueText(const QVariant& value) {
  if (ora::IsNull(value)) return QString();
  if (value.typeId() == QMetaType::QDateTime) {
    const QDateTime dt = value.toDateTime();
    return dt.time() == QTime(0, 0) ? dt.toString(QStringLiteral("yyyy/MM/dd"))
                                    : platform::DateTimeText(dt);
  }
  if (value.typeId() == QMetaType::QDate)
    return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
  return value.toString();
}

std::optional<QDateTime> ParseDateText(const QString& text) {
  const QString trimmed = text.trimmed();
  for (const char* format : kDateFormats) {
    const QDateTime dt = QDateTime::fromString(trimmed, QString::fromLatin1(format));
    if (dt.isValid()) return dt;
  }
  return std::nullopt;
}

frmBind::frmBind(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmBind"));
  setWindowTitle(QStringLiteral("バインド変数登録"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPointSize(10);
  setFont(font);

  auto* menuBar = new QMenuBar(this);
  mnuTool = menuBar->addMenu(QStringLiteral("ﾂｰﾙ(&T)"));
  mnuTool->setObjectName(QStringLiteral("mnuTool"));
  mnuToolDelBind = mnuTool->addAction(QStringLiteral("全てのﾊﾞｲﾝﾄﾞ変数を削除"));
  mnuToolDelBind->setObjectName(QStringLiteral("mnuToolDelBind"));

  lbl1 = {Caption(QStringLiteral("セッション："), this),
          Caption(QStringLiteral("変数タイプ："), this),
          Caption(QStringLiteral("データ型："), this),
          Caption(QStringLiteral("データ(値)："), this), Caption(QStringLiteral("変数名："), this)};
  lblSession = new QLabel(this);
  lblSession->setObjectName(QStringLiteral("lblSession"));

  cmbName = new QComboBox(this);
  cmbName->setObjectName(QStringLiteral("cmbName"));
  cmbValue = new QComboBox(this);
  cmbValue->setObjectName(QStringLiteral("cmbValue"));
  for (QComboBox* typed : {cmbName, cmbValue}) {
    typed->setEditable(true);
    // Typing a name or value never adds it to the lists; they show what the session holds.
    typed->setInsertPolicy(QComboBox::NoInsert);
    // A new name is taken as typed, never completed to an existing one ("D" is not "DNO").
    typed->setCompleter(nullptr);
    typed->setMinimumWidth(260);
  }
  cmbValueType = new QComboBox(this);
  cmbValueType->setObjectName(QStringLiteral("cmbValueType"));
  for (const ValueType& t : kValueTypes)
    cmbValueType->addItem(QString::fromLatin1(t.name).leftJustified(kTypeItemWidth), t.code);
  cmbVarType = new QComboBox(this);
  cmbVarType->setObjectName(QStringLiteral("cmbVarType"));
  cmbVarType->addItem(QStringLiteral("入力変数"), ora::ORAPARM_INPUT);
  cmbVarType->addItem(QStringLiteral("出力変数"), ora::ORAPARM_OUTPUT);
  cmbVarType->addItem(QStringLiteral("入出力変数"), ora::ORAPARM_BOTH);

  cmdAdd = Button(QStringLiteral("登録"), "cmdAdd", this);
  cmdDel = Button(QStringLiteral("削除"), "cmdDel", this);
  cmdClose = Button(QStringLiteral("閉じる"), "cmdClose", this);

  auto* fields = new QGridLayout;
  fields->addWidget(lbl1[0], 0, 0);
  fields->addWidget(lblSession, 0, 1);
  fields->addWidget(lbl1[4], 1, 0);
  fields->addWidget(cmbName, 1, 1);
  fields->addWidget(lbl1[3], 2, 0);
  fields->addWidget(cmbValue, 2, 1);
  fields->addWidget(lbl1[2], 3, 0);
  fields->addWidget(cmbValueType, 3, 1, Qt::AlignLeft);
  fields->addWidget(lbl1[1], 4, 0);
  fields->addWidget(cmbVarType, 4, 1, Qt::AlignLeft);
  fields->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* b : {cmdAdd, cmdDel, cmdClose}) {
    b->setMinimumWidth(90);
    buttons->addWidget(b);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menuBar);
  layout->addLayout(fields);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(cmbName, &QComboBox::activated, this, [this] { cmbName_Click(); });
  connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
  connect(cmdDel, &QPushButton::clicked, this, [this] { cmdDel_Click(); });
  connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
  connect(mnuToolDelBind, &QAction::triggered, this, [this] { mnuToolDelBind_Click(); });
}

void frmBind::mSb_SetSessionNo(int intSessionNo) {
  mintSessionNo = intSessionNo;
}

ora::OraDatabase* frmBind::Database() const {
  if (mintSessionNo < 0 || mintSessionNo >= static_cast<int>(gSessionData.size())) return nullptr;
  return gSessionData[static_cast<std::size_t>(mintSessionNo)].OraDatabase.get();
}

void frmBind::Load() {
  if (mintSessionNo >= 0 && mintSessionNo < static_cast<int>(gSessionData.size())) {
    const SessionData& rec = gSessionData[static_cast<std::size_t>(mintSessionNo)];
    lblSession->setText(rec.User + QLatin1Char('/') + rec.Host);
  }
  mSb_SetBindList();
}

void frmBind::mSb_SetBindList() {
  cmbName->clear();
  cmbName->clearEditText();
  cmbValue->clear();
  cmbValue->clearEditText();
  cmbValueType->setCurrentIndex(0);
  cmbVarType->setCurrentIndex(0);
  if (ora::OraDatabase* db = Database()) {
    ora::OraParameters& params = db->Parameters();
    for (int i = 0; i < params.Count(); ++i) {
      if (ora::OraParameter* p = params.Item(i)) {
        cmbName->addItem(p->Name());
        cmbValue->addItem(BindValueText(p->Value()));
      }
    }
  }
  ora::ErrClear();
  if (cmbName->count() > 0) {
    cmbName->setCurrentIndex(0);
    cmbName_Click();
  }
  if (cmbValue->count() > 0) cmbValue->setCurrentIndex(0);
}

void frmBind::cmbName_Click() {
  ora::OraDatabase* db = Database();
  ora::OraParameter* p = db ? db->Parameters().Item(cmbName->currentText()) : nullptr;
  if (p) {
    cmbValue->setEditText(BindValueText(p->Value()));
    const int type = cmbValueType->findData(p->ServerType());
    cmbValueType->setCurrentIndex(type < 0 ? 0 : type);
    switch (p->Status()) {
      case ora::ORAPSTAT_OUTPUT:
        cmbVarType->setCurrentIndex(1);
        break;
      case ora::ORAPSTAT_BOTH:
        cmbVarType->setCurrentIndex(2);
        break;
      default:
        cmbVarType->setCurrentIndex(0);
        break;
    }
  }
  ora::ErrClear();
}

void frmBind::cmdAdd_Click() {
  platform::Hourglass hourglass;
  ora::OraDatabase* db = Database();
  if (cmbName->currentText().isEmpty()) {
    platform::MsgBox(QStringLiteral("変数名を入力してください"), platform::vbCritical);
    cmbName->setFocus();
  } else if (cmbValue->currentText().isEmpty()) {
    platform::MsgBox(QStringLiteral("データ(値)を入力してください"), platform::vbCritical);
    cmbValue->setFocus();
  } else {
    const QString name = cmbName->currentText();
    const QString text = cmbValue->currentText();
    const int type = cmbValueType->currentData().toInt();
    const int kind = cmbVarType->currentData().toInt();
    QVariant value;
    switch (type) {
      case ora::ORATYPE_VARCHAR2:
      case ora::ORATYPE_NUMBER:
      case ora::ORATYPE_LONG:
      case ora::ORATYPE_CHAR:
        value = text;
        break;
      case ora::ORATYPE_DATE:
        if (const auto date = ParseDateText(text)) value = *date;
        break;
      default:
        platform::MsgBox(QStringLiteral("未対応のデータ型が指定されました"), platform::vbCritical);
        cmbValueType->setFocus();
        break;
    }
    if (!value.isValid()) {
      // A rejected entry leaves no variable of that name behind, not even an older one.
      RemoveParameter(db, name);
    } else if (db) {
      // Only an error of this registration is reported, not one left by an earlier statement.
      db->LastServerErrReset();
      ora::OraParameters& params = db->Parameters();
      RemoveParameter(db, name);
      params.Add(name, value, kind);
      ora::ErrClear();
      if (ora::OraParameter* p = params.Item(name)) p->SetServerType(type);
      ora::ErrClear();
      if (db->LastServerErr() != 0) platform::MsgBox(db->LastServerErrText(), platform::vbOKOnly);
    }
  }
  mSb_ResetSession(mintSessionNo);
  ora::ErrClear();
}

void frmBind::cmdDel_Click() {
  RemoveParameter(Database(), cmbName->currentText());
  if (ItemSelected(cmbName))
    cmbName->removeItem(cmbName->currentIndex());
  else
    cmbName->clearEditText();
  cmbValue->clearEditText();
  if (cmbName->count() > 0) {
    cmbName->setCurrentIndex(0);
    cmbName_Click();
  } else {
    cmbName->clearEditText();
  }
}

void frmBind::mnuToolDelBind_Click() {
  if (platform::MsgBox(QStringLiteral("全てのバインド変数を削除しますか？"),
                       platform::vbQuestion | platform::vbOKCancel) == platform::vbOK) {
    if (ora::OraDatabase* db = Database()) {
      QStringList names;
      ora::OraParameters& params = db->Parameters();
      for (int i = 0; i < params.Count(); ++i) {
        if (ora::OraParameter* p = params.Item(i)) names << p->Name();
      }
      for (const QString& name : names) RemoveParameter(db, name);
    }
    ora::ErrClear();
  }
  mSb_SetBindList();
}

void ShowBindWindow(QWidget* parent, int sessionNo) {
  auto* dialog = new frmBind(parent);
  // Closing releases the dialog; the next opening starts from a fresh load.
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->mSb_SetSessionNo(sessionNo);
  dialog->Load();
  dialog->exec();
}
