// Fill benchmark: a million rows of eight mixed columns, read (a) by SQLite's bare step loop,
// (b) through the data access component, (c) into the grid by mSb_FillSpread, then (d) sorted by a
// text column. Prints rows per second, the ratios to (a), the grid's bytes per cell and the
// longest time the event loop had to wait during the fill.
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <random>

#include "SqliteDynaset.h"
#include "grid/vaSpread.h"
#include "oracle/OraFactory.h"
#include "core/RunErr.h"
#include "platform/Platform.h"
#include "support/basFunctions.h"

namespace {

constexpr int kRows = 1000000;
constexpr int kCols = 8;
constexpr const char* kSelect = "select * from t";
// Keeps the values read from being optimised away.
volatile qint64 gSink = 0;

QString CacheFile() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  dir += QStringLiteral("/querna-bench");
  QDir().mkpath(dir);
  return dir + QStringLiteral("/rows1m.sqlite");
}

bool HasTable(const QString& path) {
  sqlite3* db = nullptr;
  bool ok = false;
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "select count(*) from t", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      ok = sqlite3_column_int(st, 0) == kRows;
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return ok;
}

std::string RandomText(std::mt19937& rng) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
  std::uniform_int_distribution<int> len(10, 40);
  std::uniform_int_distribution<int> pick(0, int(sizeof kChars) - 2);
  std::string s(std::size_t(len(rng)), ' ');
  for (char& c : s) c = kChars[pick(rng)];
  return s;
}

void BuildDatabase(const QString& path) {
  std::printf("building %s (once)...\n", qPrintable(path));
  std::fflush(stdout);
  QFile::remove(path);
  sqlite3* db = nullptr;
  sqlite3_open(path.toUtf8().constData(), &db);
  sqlite3_exec(db,
               "pragma journal_mode=off; pragma synchronous=off;"
               "create table t(id NUMBER(10), qty NUMBER(6), price NUMBER(12,2), ratio NUMBER,"
               " name VARCHAR2(40), note VARCHAR2(40), created DATE, updated DATE);"
               "begin;",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "insert into t values(?,?,?,?,?,?,?,?)", -1, &st, nullptr);
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> qty(0, 99999);
  std::uniform_real_distribution<double> real(0, 100000);
  std::uniform_int_distribution<int> day(0, 20000);
  std::uniform_int_distribution<int> second(0, 86399);
  const QDate base(1990, 1, 1);
  auto dateText = [&] {
    const QDate d = base.addDays(day(rng));
    const int s = second(rng);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(),
                  s / 3600, s / 60 % 60, s % 60);
    return std::string(buf);
  };
  for (int r = 0; r < kRows; ++r) {
    sqlite3_bind_int64(st, 1, r + 1);
    sqlite3_bind_int(st, 2, qty(rng));
    sqlite3_bind_double(st, 3, double(qRound64(real(rng) * 100)) / 100);
    sqlite3_bind_double(st, 4, real(rng) / 7);
    const std::string name = RandomText(rng);
    const std::string note = RandomText(rng);
    const std::string created = dateText();
    const std::string updated = dateText();
    sqlite3_bind_text(st, 5, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 6, note.c_str(), int(note.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 7, created.c_str(), int(created.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 8, updated.c_str(), int(updated.size()), SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// (a): every row stepped and every value read as its stored type.
double BareStepSeconds(const QString& path, qint64* checksum) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, kSelect, -1, &st, nullptr);
  QElapsedTimer t;
  t.start();
  qint64 sum = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    for (int c = 0; c < kCols; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER:
          sum += sqlite3_column_int64(st, c);
          break;
        case SQLITE_FLOAT:
          sum += qint64(sqlite3_column_double(st, c));
          break;
        default:
          sqlite3_column_text(st, c);
          sum += sqlite3_column_bytes(st, c);
      }
    }
  }
  const double s = t.nsecsElapsed() / 1e9;
  sqlite3_finalize(st);
  sqlite3_close(db);
  *checksum = sum;
  return s;
}

// The component's result set over the file, or nullptr when the component cannot open it.
std::shared_ptr<ora::OraDynaset> OpenThroughComponent(const QString& path,
                                                      std::shared_ptr<ora::OraSession>* session,
                                                      std::shared_ptr<ora::OraDatabase>* db) {
  *session = ora::CreateOraSession(path);
  if (!*session) return nullptr;
  *db = (*session)->OpenDatabase(path, QStringLiteral("u/p"), 0);
  if (!*db) return nullptr;
  return (*db)->CreateDynaset(QString::fromLatin1(kSelect),
                              ora::ORADYN_READONLY | ora::ORADYN_NOCACHE);
}

// (b): CreateDynaset, Fields, MoveNext and every Value.
double ComponentSeconds(const QString& path, int* rows) {
  std::shared_ptr<ora::OraSession> session;
  std::shared_ptr<ora::OraDatabase> db;
  QElapsedTimer t;
  t.start();
  const auto dyn = OpenThroughComponent(path, &session, &db);
  ora::ErrClear();
  if (!dyn) return -1;
  int n = 0;
  qint64 sink = 0;
  while (!dyn->IsEOF()) {
    ora::OraFields& f = dyn->Fields();
    for (int c = 0; c < f.Count(); ++c) sink += f.Item(c)->Value().isValid();
    dyn->MoveNext();
    ++n;
  }
  *rows = n;
  const double s = t.nsecsElapsed() / 1e9;
  dyn->Close();
  if (db) db->Close();
  gSink = sink;
  return s;
}

// Records the longest wait between two turns of the event loop.
class GapRecorder : public QObject {
 public:
  GapRecorder() {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
  }
  void Start() {
    clock_.start();
    last_ = 0;
    longest_ = 0;
    timer_.start();
  }
  double StopMs() {
    tick();
    timer_.stop();
    return longest_ / 1e6;
  }

 private:
  void tick() {
    const qint64 now = clock_.nsecsElapsed();
    longest_ = std::max(longest_, now - last_);
    last_ = now;
  }
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

// Seconds of processor time the process has used: on a busy machine the wall clock measures the
// other programs too.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void Line(const char* what, double seconds, double cpu, int rows) {
  std::printf("%-44s %8.3f s %12.0f rows/s   (processor %6.3f s)\n", what, seconds, rows / seconds,
              cpu);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Fill errors would show a message box; the benchmark reports them on the console instead.
  platform::DialogHandler quiet;
  quiet.msgBox = [](const platform::MsgBoxCall& c) {
    std::printf("message: %s\n", qPrintable(c.prompt));
    return int(platform::vbOK);
  };
  platform::SetDialogHandler(quiet);
  platform::SetProgramFolder(QDir::tempPath());

  const QString path = CacheFile();
  if (!HasTable(path)) BuildDatabase(path);
  std::printf("%d rows x %d columns (integers, reals, texts of 10-40 characters, dates)\n\n", kRows,
              kCols);

  qint64 checksum = 0;
  BareStepSeconds(path, &checksum);  // warms the page cache
  double cpu = CpuSeconds();
  const double a = BareStepSeconds(path, &checksum);
  const double aCpu = CpuSeconds() - cpu;
  Line("(a) SQLite step loop", a, aCpu, kRows);

  int componentRows = 0;
  cpu = CpuSeconds();
  const double b = ComponentSeconds(path, &componentRows);
  const double bCpu = CpuSeconds() - cpu;
  if (b < 0)
    std::printf("%-44s engine not available\n", "(b) fetch through the component");
  else
    Line("(b) fetch through the component", b, bCpu, componentRows);

  vaSpread grid;
  grid.resize(1200, 800);
  grid.show();
  QApplication::processEvents();
  std::shared_ptr<ora::OraSession> session;
  std::shared_ptr<ora::OraDatabase> db;
  std::shared_ptr<ora::OraDynaset> dyn =
      b < 0 ? nullptr : OpenThroughComponent(path, &session, &db);
  const char* source = "(c) mSb_FillSpread, component";
  sqlite3* raw = nullptr;
  if (!dyn) {
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    dyn = std::make_shared<SqliteDynaset>(raw, kSelect);
    source = "(c) mSb_FillSpread, bare SQLite result set";
  }
  GapRecorder gaps;
  QElapsedTimer t;
  cpu = CpuSeconds();
  t.start();
  gaps.Start();
  mSb_FillSpread(dyn, &grid, -1);
  const double c = t.nsecsElapsed() / 1e9;
  const double cCpu = CpuSeconds() - cpu;
  const double gapMs = gaps.StopMs();
  Line(source, c, cCpu, grid.MaxRows());
  dyn->Close();
  dyn.reset();
  if (raw) sqlite3_close(raw);

  cpu = CpuSeconds();
  t.restart();
  mSb_SortSpread(&grid, 5, true, 0, true, 0, true);
  QApplication::processEvents();
  const double d = t.nsecsElapsed() / 1e9;
  const double dCpu = CpuSeconds() - cpu;
  Line("(d) sort by a text column", d, dCpu, grid.MaxRows());

  const double perCell = double(grid.MemoryUsed()) / (double(grid.MaxRows()) * grid.MaxCols());
  std::printf("\n");
  if (b >= 0)
    std::printf("(b)/(a) %6.2f   target <= 2   (processor time %6.2f)\n", b / a, bCpu / aCpu);
  std::printf("(c)/(a) %6.2f   target <= 5   (processor time %6.2f)\n", c / a, cCpu / aCpu);
  std::printf("grid memory %6.1f bytes per cell   target <= 32\n", perCell);
  std::printf("longest event loop gap during (c) %6.1f ms   target <= 50\n", gapMs);
  std::printf("sort %6.3f s   target < 1\n", d);
  std::printf("rows shown %d, first sorted name \"%s\"\n", grid.MaxRows(),
              qPrintable(grid.CellText(5, 1)));
  return 0;
}
