#include "platform/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Platform.h"

namespace platform {

namespace {

std::optional<QString>& HelpFileOverride() {
  static std::optional<QString> path;
  return path;
}

QString PlainText(const QString& html) {
  return QTextDocumentFragment::fromHtml(html).toPlainText();
}

// Compares the way a reader expects: half-width and full-width forms ("ｸﾘｱ", "クリア"; "SQL",
// "ＳＱＬ") and upper and lower case are the same.
QString Fold(const QString& s) {
  return s.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QFont ReadingFont() {
  QFont f;
  f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                 QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
  f.setPointSize(10);
  return f;
}

}  // namespace

QString HelpFile() {
  if (HelpFileOverride()) return *HelpFileOverride();
  const QString name = QStringLiteral("Querna.hlp");
  const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
  if (QFileInfo::exists(beside)) return beside;
  // An installed program keeps its data apart from the executable (bin/ and share/querna/).
  const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                            QStringLiteral("/../share/querna/") + name);
  if (QFileInfo::exists(installed)) return installed;
  const QString found =
      QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("querna/") + name);
  return found.isEmpty() ? beside : found;
}

void SetHelpFile(std::optional<QString> path) {
  HelpFileOverride() = std::move(path);
}

QList<HelpTopic> ParseHelp(const QString& html, QString* styleSheet) {
  const auto options =
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption;
  static const QRegularExpression heading(QStringLiteral(R"(<h2\b([^>]*)>(.*?)</h2\s*>)"), options);
  static const QRegularExpression attribute(
      QStringLiteral(R"re(\b(id|data-keywords)\s*=\s*"([^"]*)")re"), options);
  static const QRegularExpression style(QStringLiteral(R"(<style\b[^>]*>(.*?)</style\s*>)"),
                                        options);
  static const QRegularExpression bodyEnd(QStringLiteral(R"(</body\s*>)"), options);
  static const QRegularExpression keywordSeparator(QStringLiteral("[,、]"));

  if (styleSheet) *styleSheet = style.match(html).captured(1);
  qsizetype end = html.indexOf(bodyEnd);
  if (end < 0) end = html.size();

  QList<HelpTopic> topics;
  QList<qsizetype> starts;
  for (auto it = heading.globalMatch(html); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (m.capturedStart() >= end) break;
    HelpTopic topic;
    for (auto a = attribute.globalMatch(m.captured(1)); a.hasNext();) {
      const QRegularExpressionMatch am = a.next();
      const QString value = PlainText(am.captured(2));
      if (am.captured(1).compare(QStringLiteral("id"), Qt::CaseInsensitive) == 0) {
        topic.id = value;
      } else {
        for (const QString& k : value.split(keywordSeparator, Qt::SkipEmptyParts)) {
          if (!k.trimmed().isEmpty()) topic.keywords << k.trimmed();
        }
      }
    }
    topic.title = PlainText(m.captured(2)).simplified();
    topics << topic;
    starts << m.capturedStart();
  }
  for (int i = 0; i < topics.size(); ++i) {
    const qsizetype next = i + 1 < topics.size() ? starts[i + 1] : end;
    topics[i].html = html.mid(starts[i], next - starts[i]);
    topics[i].text = PlainText(topics[i].html);
  }
  return topics;
}

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Querna ヘルプ"));
  setFont(ReadingFont());
  resize(900, 620);

  lstContents = new QListWidget(this);
  lstContents->setSpacing(2);
  txtSearch = new QLineEdit(this);
  txtSearch->setPlaceholderText(QStringLiteral("キーワードを入力してください"));
  txtSearch->setClearButtonEnabled(true);
  lstFound = new QListWidget(this);
  lstFound->setSpacing(2);

  auto* searchPage = new QWidget(this);
  auto* searchLayout = new QVBoxLayout(searchPage);
  searchLayout->setContentsMargins(6, 6, 6, 6);
  auto* wordLabel = new QLabel(QStringLiteral("探したい語句(&W):"), searchPage);
  wordLabel->setBuddy(txtSearch);
  auto* foundLabel = new QLabel(QStringLiteral("見つかったトピック(&T):"), searchPage);
  foundLabel->setBuddy(lstFound);
  searchLayout->addWidget(wordLabel);
  searchLayout->addWidget(txtSearch);
  searchLayout->addWidget(foundLabel);
  searchLayout->addWidget(lstFound, 1);

  tabs = new QTabWidget(this);
  tabs->addTab(lstContents, QStringLiteral("目次"));
  tabs->addTab(searchPage, QStringLiteral("検索"));

  txtTopic = new QTextBrowser(this);
  txtTopic->setOpenLinks(false);
  txtTopic->document()->setDocumentMargin(14);

  auto* splitter = new QSplitter(this);
  splitter->addWidget(tabs);
  splitter->addWidget(txtTopic);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({280, 620});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(splitter);

  connect(lstContents, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) ShowTopic(row);
  });
  connect(txtSearch, &QLineEdit::textChanged, this, [this](const QString& t) { Search(t); });
  connect(txtSearch, &QLineEdit::returnPressed, this, [this] {
    if (lstFound->count() > 0) lstFound->setCurrentRow(0);
  });
  connect(lstFound, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item) ShowTopic(item->data(Qt::UserRole).toInt());
  });
  connect(txtTopic, &QTextBrowser::anchorClicked, this,
          [this](const QUrl& url) { FollowLink(url); });
}

void HelpWindow::Open(const QString& file, HelpCommand command) {
  Load(file);
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (command == HelpCommand::Search) {
    tabs->setCurrentIndex(1);
    txtSearch->clear();
    Search(QString());
    txtSearch->setFocus(Qt::OtherFocusReason);
  } else {
    tabs->setCurrentIndex(0);
    lstContents->setFocus(Qt::OtherFocusReason);
  }
}

void HelpWindow::Load(const QString& file) {
  topics_.clear();
  styleSheet_.clear();
  current_ = -1;
  QFile f(file);
  if (f.open(QIODevice::ReadOnly))
    topics_ = ParseHelp(QString::fromUtf8(f.readAll()), &styleSheet_);

  const QSignalBlocker block(lstContents);
  lstContents->clear();
  for (const HelpTopic& topic : topics_) lstContents->addItem(topic.title);
  if (topics_.isEmpty()) {
    txtTopic->document()->setDefaultStyleSheet(QString());
    txtTopic->setHtml(QStringLiteral("<h3>ヘルプファイルを開けません</h3>"
                                     "<p>ヘルプファイル「%1」が見つからないか、読み込めません。</p>"
                                     "<p>プログラムと同じフォルダに Querna.hlp があるか"
                                     "確かめてください。</p>")
                          .arg(file.toHtmlEscaped()));
    return;
  }
  ShowTopic(0);
}

void HelpWindow::ShowTopic(int index) {
  if (index < 0 || index >= topics_.size()) return;
  current_ = index;
  {
    const QSignalBlocker block(lstContents);
    lstContents->setCurrentRow(index);
  }
  txtTopic->document()->setDefaultStyleSheet(styleSheet_);
  txtTopic->setHtml(topics_[index].html);
}

void HelpWindow::Search(const QString& term) {
  const QString wanted = Fold(term.trimmed());
  struct Entry {
    QString key;
    QString label;
    int topic;
  };
  QList<Entry> entries;
  QSet<int> found;
  for (int i = 0; i < topics_.size(); ++i) {
    const HelpTopic& topic = topics_[i];
    QStringList words = topic.keywords;
    words.prepend(topic.title);
    for (const QString& word : words) {
      if (!Fold(word).contains(wanted)) continue;
      const QString label =
          word == topic.title ? word : QStringLiteral("%1 ― %2").arg(word, topic.title);
      entries.push_back({Fold(word), label, i});
      found.insert(i);
    }
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.key < b.key; });
  // Topics that only mention the words in their text come after the keyword hits.
  if (!wanted.isEmpty()) {
    for (int i = 0; i < topics_.size(); ++i) {
      if (!found.contains(i) && Fold(topics_[i].text).contains(wanted))
        entries.push_back({QString(), topics_[i].title, i});
    }
  }

  const QSignalBlocker block(lstFound);
  lstFound->clear();
  QSet<QString> shown;
  for (const Entry& e : entries) {
    if (shown.contains(e.label)) continue;
    shown.insert(e.label);
    auto* item = new QListWidgetItem(e.label, lstFound);
    item->setData(Qt::UserRole, e.topic);
  }
}

void HelpWindow::FollowLink(const QUrl& url) {
  if (url.scheme().isEmpty() && url.path().isEmpty() && url.hasFragment()) {
    for (int i = 0; i < topics_.size(); ++i) {
      if (topics_[i].id == url.fragment()) {
        ShowTopic(i);
        return;
      }
    }
    return;
  }
  OpenDocument(url.toString());
}

HelpWindow* ShowHelp(QWidget* owner, const QString& file, HelpCommand command) {
  static QPointer<HelpWindow> window;
  if (window && window->parentWidget() != owner) {
    delete window;
  }
  if (!window) window = new HelpWindow(owner);
  window->Open(file, command);
  return window;
}

}  // namespace platform
