#pragma once
// The data access component as the program sees it: session, database, result set (dynaset),
// fields and bind parameters. Two drivers implement it: the local engine (oracle/local) and the
// Oracle client driver (oracle/oci). Objects are held by counted references; releasing a
// reference is separate from Close().
//
// No member throws. Server errors are reported through LastServerErr/LastServerErrText/
// LastServerErrPos; any other failure (a property the driver cannot deliver, a closed object)
// is recorded as the pending run-time error (oracle/RunErr.h) and a neutral value is returned.
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace ora {

// Oracle type codes as the component reports them in OraIDataType.
enum OraType : int {
  ORATYPE_VARCHAR2 = 1,
  ORATYPE_NUMBER = 2,
  ORATYPE_LONG = 8,
  ORATYPE_ROWID = 11,
  ORATYPE_DATE = 12,
  ORATYPE_RAW = 23,
  ORATYPE_LONGRAW = 24,
  ORATYPE_CHAR = 96,
  ORATYPE_MLSLABEL = 106,
  ORATYPE_CLOB = 112,
  ORATYPE_BLOB = 113,
  ORATYPE_TIMESTAMP = 187,
};

// CreateDynaset options.
inline constexpr int ORADYN_DEFAULT = 0;
inline constexpr int ORADYN_READONLY = 4;
inline constexpr int ORADYN_NOCACHE = 8;

// Parameter kinds passed to Parameters().Add, and the Status they report.
inline constexpr int ORAPARM_INPUT = 1;
inline constexpr int ORAPARM_OUTPUT = 2;
inline constexpr int ORAPARM_BOTH = 3;
inline constexpr int ORAPSTAT_INPUT = 13;
inline constexpr int ORAPSTAT_OUTPUT = 14;
inline constexpr int ORAPSTAT_BOTH = 15;

// Values: a Null value is an invalid QVariant (IsNull). Text is QString, numbers are qlonglong
// or double (or QString holding the decimal digits when neither keeps them), dates are QDateTime,
// binary data is QByteArray.
inline bool IsNull(const QVariant& v) {
  return !v.isValid() || v.isNull();
}

// A value of the current record in the form the driver holds it, read without building a
// QVariant. Other: the driver has no such form for this value, and Value() gives it.
struct FieldView {
  enum Kind { Other, Null, Int, Double, Utf8, Date };
  Kind kind = Other;
  qint64 number = 0;  // Int; Date as the digits YYYYMMDDhhmmss
  double real = 0;
  const char* utf8 = nullptr;  // Utf8: valid until the record changes
  qsizetype bytes = 0;
};

class OraField {
 public:
  virtual ~OraField() = default;
  virtual QString Name() const = 0;
  // The value of this column in the result set's current record. A driver may give only the
  // first bytes of a long binary value; ValueBytes() tells its whole length.
  virtual QVariant Value() const = 0;
  // Length in bytes of the current binary value as the database holds it, -1 when the value
  // is not binary.
  virtual qint64 ValueBytes() const {
    const QVariant v = Value();
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray().size() : -1;
  }
  // The current value as the driver holds it; a driver without typed values gives Other.
  virtual FieldView View() const { return {}; }
  virtual int OraIDataType() const = 0;
  virtual int OraMaxSize() const = 0;
  virtual int OraMaxDSize() const = 0;
  virtual int OraPrecision() const = 0;
  virtual int OraScale() const = 0;
  virtual int FieldSize() const = 0;
};

// The fields of a result set in column order. The same field objects serve every record: a
// field's Value() always reads the current record.
class OraFields {
 public:
  virtual ~OraFields() = default;
  virtual int Count() const = 0;
  // nullptr (with a pending error) for an index out of range.
  virtual OraField* Item(int index) = 0;
};

class OraDynaset {
 public:
  virtual ~OraDynaset() = default;
  // True past the last record, and at once when the result has no rows. (The component calls
  // this member EOF, which C++ keeps for a macro.)
  virtual bool IsEOF() const = 0;
  virtual void MoveNext() = 0;
  virtual OraFields& Fields() = 0;
  virtual void Close() = 0;
};

class OraParameter {
 public:
  virtual ~OraParameter() = default;
  virtual QString Name() const = 0;
  virtual QVariant Value() const = 0;
  virtual void SetValue(const QVariant& value) = 0;
  virtual int ServerType() const = 0;
  virtual void SetServerType(int type) = 0;
  virtual int Status() const = 0;
};

class OraParameters {
 public:
  virtual ~OraParameters() = default;
  virtual int Count() const = 0;
  // Adds a parameter (kind ORAPARM_INPUT/OUTPUT/BOTH). Adding a name that exists raises.
  virtual void Add(const QString& name, const QVariant& value, int kind) = 0;
  // Removes by name; an unknown name raises.
  virtual void Remove(const QString& name) = 0;
  // By position in the order added; nullptr (with a pending error) when out of range.
  virtual OraParameter* Item(int index) = 0;
  // By name, case-insensitively; nullptr (with a pending error) when there is none.
  virtual OraParameter* Item(const QString& name) = 0;
};

class OraDatabase {
 public:
  virtual ~OraDatabase() = default;
  // Opens a result set positioned on its first record. Returns nullptr when the statement
  // yields no result set (a server error then shows in LastServerErr; a statement that is not
  // a query yields nullptr with no server error).
  virtual std::shared_ptr<OraDynaset> CreateDynaset(const QString& sql, int options) = 0;
  virtual OraParameters& Parameters() = 0;
  virtual int LastServerErr() const = 0;
  virtual QString LastServerErrText() const = 0;
  // Offset of the error in the statement as typed, in characters from 0; 0 when none is known.
  virtual int LastServerErrPos() const = 0;
  virtual void LastServerErrReset() = 0;
  virtual void Close() = 0;

  // Stops the statement running on this database: its preparation, its execution or a fetch.
  // Any thread may call it; with nothing running it does nothing, so a late break never fails
  // the next statement. The stopped call ends with ORA-01013 (kOraUserCancel).
  virtual void Break() {}
  // Called on the calling thread, every few milliseconds, while CreateDynaset or a fetch waits
  // on the database, so that the window keeps painting and a stop command can reach Break().
  // An empty function turns it off.
  virtual void SetWaitHook(std::function<void()> hook) { (void)hook; }
};

// ORA-01013, the error a statement stopped by Break() ends with.
inline constexpr int kOraUserCancel = 1013;
inline constexpr const char* kOraUserCancelText =
    "ORA-01013: user requested cancel of current operation";

class OraSession {
 public:
  virtual ~OraSession() = default;
  // connect is "user/password". Returns nullptr on failure; the reason shows in LastServerErr,
  // or as a pending run-time error when the driver could not even reach the server.
  virtual std::shared_ptr<OraDatabase> OpenDatabase(const QString& host, const QString& connect,
                                                    int options) = 0;
  virtual void BeginTrans() = 0;
  virtual void RollBack() = 0;
  virtual int LastServerErr() const = 0;
  virtual QString LastServerErrText() const = 0;
  virtual void LastServerErrReset() = 0;
};

}  // namespace ora
