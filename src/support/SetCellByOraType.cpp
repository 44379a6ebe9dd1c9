#include <QDateTime>
#include <cmath>

#include "core/NumberText.h"
#include "core/RunErr.h"
#include "grid/vaSpread.h"
#include "support/basFunctions.h"
#include "support/basLog.h"

namespace {

// Runs one step the way "resume next" does: a failure inside ends only this step and stays
// pending as the latest error of the call; an earlier error survives a step that succeeds.
// pending is ora::Err(), passed in by a caller that has it at hand.
template <typename F>
void Step(F&& step, ora::RunError& pending = ora::Err()) {
  // Nothing to keep: the step runs as it is, which is every cell of a fill without errors.
  if (!pending.pending() && pending.Description.isEmpty()) return step();
  const ora::RunError before = pending;
  ora::ErrClear();
  step();
  if (!ora::Err().pending()) ora::Err() = before;
}

// A property read that fails leaves the step without writing anything.
bool Failed() {
  return ora::Err().pending();
}

// Bytes of the value as held: two per character of text, one per byte of binary data (the
// whole length, which the driver knows without handing out every byte).
QString ByteLength(ora::OraField* field) {
  const QVariant v = field->Value();
  if (ora::IsNull(v)) return QString();
  if (v.typeId() == QMetaType::QByteArray) return QString::number(field->ValueBytes());
  return QString::number(v.toString().size() * 2);
}

// A log line carries at most the value's first kLoggedBytes bytes as held.
constexpr int kLoggedBytes = 256;

QString ValueText(const QVariant& v) {
  if (ora::IsNull(v)) return QString();
  if (v.typeId() == QMetaType::QByteArray)
    return QString::fromLatin1(v.toByteArray().left(kLoggedBytes).toHex().toUpper());
  QString text = v.toString();
  if (text.size() > kLoggedBytes / 2) {
    text.truncate(kLoggedBytes / 2);
    if (text.back().isHighSurrogate()) text.chop(1);
  }
  return text;
}

// A number reaches the grid as the text a NUMBER shows, without an exponent within NUMBER's
// range; whole numbers stay numbers, and a NUMBER a driver delivers as text keeps every digit.
QVariant NumberShown(const QVariant& v, int type) {
  switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
      return ora::NumberText(v.toDouble());
    case QMetaType::QString:
      return type == ora::ORATYPE_NUMBER ? QVariant(ora::DecimalText(v.toString())) : v;
    default:
      return v;
  }
}

// Whether the value as the driver holds it makes the same cell as the QVariant route: whole
// numbers, doubles, UTF-8 text in text columns and packed dates in date columns.
bool TakesView(const ora::FieldView& v, int type) {
  switch (type) {
    case ora::ORATYPE_VARCHAR2:
    case ora::ORATYPE_CHAR:
      return v.kind == ora::FieldView::Int || v.kind == ora::FieldView::Double ||
             v.kind == ora::FieldView::Utf8;
    case ora::ORATYPE_NUMBER:
    case ora::ORATYPE_LONG:
      return v.kind == ora::FieldView::Int || v.kind == ora::FieldView::Double;
    case ora::ORATYPE_DATE:
      return v.kind == ora::FieldView::Date;
    default:
      return false;
  }
}

void StoreView(vaSpread* grid, const ora::FieldView& v, int type) {
  switch (v.kind) {
    case ora::FieldView::Int:
      grid->SetValueInt(v.number);
      break;
    case ora::FieldView::Double: {
      if (type != ora::ORATYPE_NUMBER && type != ora::ORATYPE_LONG) {
        grid->SetValueDouble(v.real);
        break;
      }
      // From 1 up to 1e15 the grid's own form of the rounded double is the text a NUMBER shows,
      // so the cell takes the number without writing its text and reading it back.
      const double shown = ora::RoundedNumber(v.real);
      const double magnitude = std::fabs(shown);
      if (magnitude >= 1 && magnitude < 1e15) {
        if (shown == std::trunc(shown))
          grid->SetValueInt(qint64(shown));
        else
          grid->SetValueDouble(shown);
      } else {
        grid->SetValue(NumberShown(QVariant(v.real), type));
      }
      break;
    }
    case ora::FieldView::Utf8:
      grid->SetValueUtf8(std::string_view(v.utf8, std::size_t(v.bytes)));
      break;
    case ora::FieldView::Date:
      grid->SetValueDate(v.number);
      break;
    default:
      break;
  }
}

// The error stays pending for the caller after it is logged.
void LogPending(ora::OraField* field) {
  if (ora::Err().Number <= 0) return;
  const ora::RunError err = ora::Err();
  const QString name = field->Name();
  mSb_WriteLog(name + QLatin1Char(',') + err.Description, true);
  ora::Err() = err;
}

// The six or seven log lines that describe a column the grid cannot show.
void LogUnsupported(ora::OraField* field, int type) {
  QString label;
  switch (type) {
    case ora::ORATYPE_RAW:
      label = QStringLiteral(",ORATYPE_RAW,");
      break;
    case ora::ORATYPE_LONGRAW:
      label = QStringLiteral(",ORATYPE_LONGRAW,");
      break;
    case ora::ORATYPE_MLSLABEL:
      label = QStringLiteral(",ORATYPE_MLSLABEL,");
      break;
    default:
      label = QStringLiteral(",FldType=") + QString::number(type) + QLatin1Char(',');
  }
  auto line = [&](const QString& name, auto read) {
    Step([&] {
      const QString fieldName = field->Name();
      if (Failed()) return;
      const QString value = read();
      if (Failed()) return;
      mSb_WriteLog(fieldName + label + name + QLatin1Char('=') + value, false);
    });
  };
  line(QStringLiteral("OraMaxSize"), [&] { return QString::number(field->OraMaxSize()); });
  line(QStringLiteral("OraMaxDSize"), [&] { return QString::number(field->OraMaxDSize()); });
  line(QStringLiteral("OraPrecision"), [&] { return QString::number(field->OraPrecision()); });
  line(QStringLiteral("OraScale"), [&] { return QString::number(field->OraScale()); });
  if (type != ora::ORATYPE_MLSLABEL)
    line(QStringLiteral("FieldSize"), [&] { return QString::number(field->FieldSize()); });
  line(QStringLiteral("LenB(objOraField.Value)"), [&] { return ByteLength(field); });
  line(QStringLiteral("objOraField.Value"), [&] { return ValueText(field->Value()); });
}

// The seven column settings in their fixed order; maxLen is read last so that a failing read
// leaves the six before it in place.
template <typename MaxLen>
void SetUpColumn(vaSpread* grid, int align, int charSet, MaxLen maxLen) {
  Step([&] { grid->SetCellType(vaSpread::CellTypeEdit); });
  Step([&] { grid->SetTypeHAlign(align); });
  Step([&] { grid->SetTypeEditCharSet(charSet); });
  Step([&] { grid->SetTypeEditCharCase(vaSpread::CaseNoCase); });
  Step([&] { grid->SetTypeEditMultiLine(false); });
  Step([&] { grid->SetTypeEditPassword(false); });
  Step([&] {
    const int n = maxLen();
    if (Failed()) return;
    grid->SetTypeMaxEditLen(n);
  });
}

// Writes the current cell from the field, whose Oracle type is already read. The value is read
// once: every use below sees the same record. The driver's own form of it goes to the grid as it
// is when the grid makes the same cell from it. pending is ora::Err().
void WriteCell(vaSpread* grid, ora::OraField* field, int type, ora::RunError& pending) {
  const ora::FieldView view = field->View();
  if (view.kind == ora::FieldView::Null) return;
  if (TakesView(view, type)) {
    Step([&] { StoreView(grid, view, type); }, pending);
    if (pending.Number > 0) LogPending(field);
    return;
  }
  const QVariant value = field->Value();
  if (ora::IsNull(value)) return;
  switch (type) {
    case ora::ORATYPE_NUMBER:
    case ora::ORATYPE_LONG:
      Step([&] { grid->SetValue(NumberShown(value, type)); });
      break;
    case ora::ORATYPE_VARCHAR2:
    case ora::ORATYPE_CHAR:
    case ora::ORATYPE_ROWID:
      Step([&] { grid->SetValue(value); });
      break;
    case ora::ORATYPE_DATE:
      Step([&] {
        // The grid keeps a date as a date and shows it as "YYYY/MM/DD hh:mm:ss".
        if (value.typeId() == QMetaType::QDateTime) {
          if (static_cast<const QDateTime*>(value.constData())->isValid()) {
            grid->SetValue(value);
            return;
          }
        } else if (const QDateTime dt = value.toDateTime(); dt.isValid()) {
          grid->SetValue(QVariant(dt));
          return;
        }
        ora::Raise(ora::kErrTypeMismatch, QStringLiteral("型が一致しません。"));
      });
      break;
    default:
      Step([&] { grid->SetValue(QStringLiteral("<未対応ﾃﾞｰﾀ型>")); });
  }
  LogPending(field);
}

}  // namespace

void mSb_SetCellByOraType(vaSpread* grid, ora::OraField* field, bool setup) {
  ora::ErrClear();
  if (!grid || !field) {
    ora::Raise(ora::kErrObjectRequired, QStringLiteral("オブジェクトが必要です。"));
    return;
  }
  int type = 0;
  Step([&] { type = field->OraIDataType(); });
  if (!setup) return WriteCell(grid, field, type, ora::Err());

  switch (type) {
    case ora::ORATYPE_VARCHAR2:
    case ora::ORATYPE_CHAR:
      SetUpColumn(grid, vaSpread::HAlignLeft, vaSpread::CharSetAscii,
                  [&] { return field->OraMaxSize(); });
      break;
    case ora::ORATYPE_NUMBER:
    case ora::ORATYPE_LONG:
      SetUpColumn(grid, vaSpread::HAlignRight, vaSpread::CharSetNumeric,
                  [&] { return field->OraMaxDSize(); });
      break;
    case ora::ORATYPE_ROWID:
      // The value of the record current at set-up; an empty result leaves no limit.
      SetUpColumn(grid, vaSpread::HAlignLeft, vaSpread::CharSetAscii, [&] {
        const QVariant v = field->Value();
        return ora::IsNull(v) ? 0 : int(v.toString().size() * 2);
      });
      break;
    case ora::ORATYPE_DATE:
      SetUpColumn(grid, vaSpread::HAlignLeft, vaSpread::CharSetAscii, [] { return 19; });
      break;
    default:
      LogUnsupported(field, type);
  }
  LogPending(field);
}

void SetRowByOraType(vaSpread* grid, const std::vector<ora::OraField*>& fields,
                     const std::vector<int>& types) {
  // Only a cell that fails costs error bookkeeping: the row's latest failure is kept aside while
  // the cells after it run with nothing pending, as each does through mSb_SetCellByOraType.
  ora::RunError latest;
  ora::ErrClear();
  ora::RunError& pending = ora::Err();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    grid->SetCol(int(i) + 1);
    if (types[i] < 0)
      mSb_SetCellByOraType(grid, fields[i], false);
    else
      WriteCell(grid, fields[i], types[i], pending);
    if (!pending.pending()) continue;
    latest = pending;
    ora::ErrClear();
  }
  if (latest.pending()) pending = latest;
}
