// Every #include "room/..." in src/ points down the room table of docs/architecture.md.
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>
#include <functional>

namespace {

using Table = QMap<QString, QSet<QString>>;

// The table's rows "| room | a, b |", each widened to every room reachable below it.
Table ReadTable(const QString& markdown) {
  Table direct;
  static const QRegularExpression row(QStringLiteral("^\\|\\s*([a-z]+)\\s*\\|([a-z, ]*)\\|\\s*$"),
                                      QRegularExpression::MultilineOption);
  for (auto it = row.globalMatch(markdown); it.hasNext();) {
    const auto m = it.next();
    QSet<QString>& below = direct[m.captured(1)];
    for (const QString& name : m.captured(2).split(QLatin1Char(','), Qt::SkipEmptyParts))
      below.insert(name.trimmed());
  }
  // The table has no cycles, so the walk down ends.
  std::function<QSet<QString>(const QString&)> below = [&](const QString& room) {
    QSet<QString> all = direct.value(room);
    for (const QString& next : direct.value(room)) all.unite(below(next));
    return all;
  };
  Table reach;
  for (auto it = direct.cbegin(); it != direct.cend(); ++it) reach[it.key()] = below(it.key());
  return reach;
}

// "file:line includes room" for every include that leaves its room in a way the table forbids.
QStringList Violations(const QString& srcDir, const Table& table) {
  static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s+\"([a-z]+)/"),
                                          QRegularExpression::MultilineOption);
  QStringList found;
  QDirIterator files(srcDir, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                     QDirIterator::Subdirectories);
  while (files.hasNext()) {
    const QString path = files.next();
    const QString rel = QDir(srcDir).relativeFilePath(path);
    const QString room = rel.section(QLatin1Char('/'), 0, 0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) found << rel + QStringLiteral(": unreadable");
    const QString text = QString::fromUtf8(file.readAll());
    if (!table.contains(room)) {
      found << rel + QStringLiteral(": room not in the table");
      continue;
    }
    for (auto it = include.globalMatch(text); it.hasNext();) {
      const auto m = it.next();
      const QString target = m.captured(1);
      if (target == room || table[room].contains(target)) continue;
      const int line = static_cast<int>(text.left(m.capturedStart()).count(QLatin1Char('\n'))) + 1;
      found << QStringLiteral("%1:%2 includes %3").arg(rel).arg(line).arg(target);
    }
  }
  return found;
}

}  // namespace

class tst_includes : public QObject {
  Q_OBJECT
 private slots:
  void includesPointDown() {
    const QString root = qEnvironmentVariable("QUERNA_SOURCE_DIR");
    QFile doc(root + QStringLiteral("/docs/architecture.md"));
    QVERIFY2(doc.open(QIODevice::ReadOnly), "docs/architecture.md is missing");
    const Table table = ReadTable(QString::fromUtf8(doc.readAll()));
    QVERIFY(table.contains(QStringLiteral("app")) && table.contains(QStringLiteral("core")));
    const QStringList bad = Violations(root + QStringLiteral("/src"), table);
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
  }
};

QTEST_GUILESS_MAIN(tst_includes)
#include "tst_includes.moc"
