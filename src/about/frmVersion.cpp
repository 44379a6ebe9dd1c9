#include "about/frmVersion.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Platform.h"

namespace {

// The title's face; the rest of the dialog keeps the application's gothic font.
QFont MinchoFont(int pointSize) {
  QFont f;
  f.setFamilies({QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"),
                 QStringLiteral("Noto Serif CJK JP")});
  f.setPointSize(pointSize);
  return f;
}

// The program's picture, a console over a result grid, drawn when the application carries no
// icon of its own.
QPixmap ProgramPicture() {
  QPixmap pm(48, 48);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor dark(0x1f, 0x4e, 0x79);
  p.setPen(Qt::NoPen);
  p.setBrush(dark);
  p.drawRoundedRect(QRectF(3, 4, 42, 40), 5, 5);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(7, 9, 34, 12));
  p.setPen(dark);
  QFont f(QStringLiteral("monospace"));
  f.setPixelSize(8);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(8, 9, 33, 12), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("SQL>_"));
  p.setBrush(QColor(0xdb, 0xe8, 0xf5));
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) p.drawRect(QRectF(7 + col * 11.3, 24 + row * 5.7, 11.3, 5.7));
  }
  return pm;
}

}  // namespace

QString VersionLabel(int major, int minor) {
  return QStringLiteral("Ver %1.%2").arg(major).arg(minor, 2, 10, QLatin1Char('0'));
}

frmVersion::frmVersion(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmVersion"));
  setWindowTitle(QStringLiteral("ば～じょん情報"));

  imgIcon = new QLabel(this);
  const QIcon icon = QApplication::windowIcon();
  imgIcon->setPixmap(icon.isNull() ? ProgramPicture() : icon.pixmap(48, 48));
  imgIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  lblTitle = new QLabel(QStringLiteral("Ｑｕｅｒｎａ(クエルナ)"), this);
  lblTitle->setFont(MinchoFont(18));
  lblVersion = new QLabel(this);
  lblVersion->setFont(MinchoFont(12));

  cmdOK = new QPushButton(QStringLiteral("O K"), this);
  cmdOK->setDefault(true);
  cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報..."), this);
  cmdGoHP = new QPushButton(QStringLiteral("ホームページを表示"), this);

  // Rows top to bottom, as the labels' indexes were laid out in the original design.
  static constexpr int kLabelOfRow[5] = {2, 1, 4, 3, 0};
  static const char16_t* const kCaption[5] = {u"メール", u"住　所", u"開発元", u"Ｈ  Ｐ",
                                              u"ＴＥＬ"};
  static const char16_t* const kDesc[5] = {u"Querna プロジェクト", u"（所在地は公開していません）",
                                           u"（電話でのお問い合わせは受け付けていません）",
                                           u"https://querna.example.org/",
                                           u"info@querna.example.org"};

  auto* contact = new QGridLayout;
  contact->setHorizontalSpacing(10);
  contact->setVerticalSpacing(6);
  int widest = 0;
  for (int row = 0; row < 5; ++row) {
    const int label = kLabelOfRow[row];
    Label1[label] = new QLabel(QString::fromUtf16(kCaption[label]), this);
    txtDesc[row] = new QLineEdit(QString::fromUtf16(kDesc[row]), this);
    txtDesc[row]->setReadOnly(true);
    txtDesc[row]->setCursorPosition(0);
    widest = std::max(widest, txtDesc[row]->fontMetrics().horizontalAdvance(txtDesc[row]->text()));
    txtDesc[row]->installEventFilter(this);
    Label1[label]->setBuddy(txtDesc[row]);
    contact->addWidget(Label1[label], row, 0);
    contact->addWidget(txtDesc[row], row, 1);
  }
  // Every contact text shows whole, with room for the box's frame and margins.
  for (QLineEdit* desc : txtDesc) desc->setMinimumWidth(widest + 20);

  auto* titles = new QVBoxLayout;
  titles->addWidget(lblTitle);
  titles->addWidget(lblVersion);
  titles->addStretch();
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdSysInfo);
  buttons->addStretch();
  auto* head = new QHBoxLayout;
  head->setSpacing(12);
  head->addWidget(imgIcon);
  head->addLayout(titles, 1);
  head->addLayout(buttons);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  auto* foot = new QHBoxLayout;
  foot->addStretch();
  foot->addWidget(cmdGoHP);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(10);
  layout->addLayout(head);
  layout->addWidget(line);
  layout->addLayout(contact);
  layout->addLayout(foot);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
  connect(cmdGoHP, &QPushButton::clicked, this, [this] { cmdGoHP_Click(); });

  Form_Load();
}

void frmVersion::Form_Load() {
  lblVersion->setText(VersionLabel(QUERNA_VERSION_MAJOR, QUERNA_VERSION_MINOR));
}

bool frmVersion::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    // Deferred, so that a mouse click that brought the focus does not undo the selection.
    if (auto* edit = qobject_cast<QLineEdit*>(watched))
      QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
  }
  return QDialog::eventFilter(watched, event);
}

void frmVersion::cmdSysInfo_Click() {
  mSb_StartSystemInfo();
}

void frmVersion::mSb_StartSystemInfo() {
  const QString program = platform::SystemInfoProgram();
  if (!program.isEmpty() && platform::StartProgram(program)) return;
  platform::MsgBox(QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), platform::vbOKOnly);
}

void frmVersion::cmdGoHP_Click() {
  platform::OpenDocument(txtDesc[3]->text());
  // The dialog goes down with its owner and is still open when the user restores it.
  if (QWidget* owner = parentWidget()) owner->window()->showMinimized();
}
