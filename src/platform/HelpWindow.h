#pragma once
// The help engine: a window of the program's own that shows the help file, an HTML document in
// which every <h2 id="…" data-keywords="a,b"> starts a topic. Its contents list names the topics;
// its search box finds them by keyword, by title or by their text.
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace platform {

enum class HelpCommand { Contents, Search };

// The program's help file "Querna.hlp": beside the executable, else where the program was
// installed (share/querna); empty when the program has none.
QString HelpFile();
// Replaces the help file's name (an empty text: no help file); nullopt restores the default.
void SetHelpFile(std::optional<QString> path);

struct HelpTopic {
  QString id;
  QString title;
  QStringList keywords;
  QString html;
  QString text;
};

// The topics of a help file's HTML, in document order, and the document's style sheet.
QList<HelpTopic> ParseHelp(const QString& html, QString* styleSheet = nullptr);

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* owner = nullptr);

  // Reads the file afresh; shows the contents, or the search with an empty, focused search box.
  void Open(const QString& file, HelpCommand command);
  void ShowTopic(int index);
  int CurrentTopic() const { return current_; }
  const QList<HelpTopic>& Topics() const { return topics_; }

  QTabWidget* tabs = nullptr;
  QListWidget* lstContents = nullptr;
  QLineEdit* txtSearch = nullptr;
  QListWidget* lstFound = nullptr;
  QTextBrowser* txtTopic = nullptr;

 private:
  void Load(const QString& file);
  void Search(const QString& term);
  void FollowLink(const QUrl& url);

  QList<HelpTopic> topics_;
  QString styleSheet_;
  int current_ = -1;
};

// Shows the program's one help window, owned by the owner window, with the file loaded afresh.
HelpWindow* ShowHelp(QWidget* owner, const QString& file, HelpCommand command);

}  // namespace platform
