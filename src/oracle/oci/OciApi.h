#pragma once
// The few Oracle Call Interface calls the driver makes, declared here so that nothing from an
// Oracle client is needed to build: the library is opened at run time and every call is looked
// up by name. Every constant the driver passes to or reads from the library lives in this file;
// the ones marked "unconfirmed" come from general knowledge and have not been checked against a
// real client.
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace ora::oci {

using sword = int;
using ub4 = std::uint32_t;
using sb4 = std::int32_t;
using ub2 = std::uint16_t;
using sb2 = std::int16_t;
using ub1 = std::uint8_t;
using sb1 = std::int8_t;
using uword = unsigned int;
using OraText = unsigned char;

// Every handle is opaque to the driver.
using Handle = void;

inline constexpr sword OCI_SUCCESS = 0;
inline constexpr sword OCI_SUCCESS_WITH_INFO = 1;
inline constexpr sword OCI_NO_DATA = 100;
inline constexpr sword OCI_ERROR = -1;
inline constexpr sword OCI_INVALID_HANDLE = -2;

inline constexpr ub4 OCI_DEFAULT = 0;
inline constexpr ub4 OCI_THREADED = 0x1;

inline constexpr ub4 OCI_HTYPE_ENV = 1;
inline constexpr ub4 OCI_HTYPE_ERROR = 2;
inline constexpr ub4 OCI_HTYPE_SVCCTX = 3;
inline constexpr ub4 OCI_HTYPE_STMT = 4;
inline constexpr ub4 OCI_HTYPE_SERVER = 8;
inline constexpr ub4 OCI_HTYPE_SESSION = 9;
inline constexpr ub4 OCI_HTYPE_DEFINE = 6;
inline constexpr ub4 OCI_DTYPE_LOB = 50;
inline constexpr ub4 OCI_DTYPE_PARAM = 53;

inline constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
inline constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
inline constexpr ub4 OCI_ATTR_DISP_SIZE = 3;
inline constexpr ub4 OCI_ATTR_NAME = 4;
inline constexpr ub4 OCI_ATTR_PRECISION = 5;
inline constexpr ub4 OCI_ATTR_SCALE = 6;
inline constexpr ub4 OCI_ATTR_SERVER = 6;
inline constexpr ub4 OCI_ATTR_SESSION = 7;
inline constexpr ub4 OCI_ATTR_PREFETCH_ROWS = 11;
inline constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;
inline constexpr ub4 OCI_ATTR_USERNAME = 22;
inline constexpr ub4 OCI_ATTR_PASSWORD = 23;
inline constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
inline constexpr ub4 OCI_ATTR_CHARSET_FORM = 32;
inline constexpr ub4 OCI_ATTR_PARSE_ERROR_OFFSET = 129;
inline constexpr ub4 OCI_ATTR_ROWS_FETCHED = 197;
inline constexpr ub4 OCI_ATTR_CHAR_USED = 285;
inline constexpr ub4 OCI_ATTR_CHAR_SIZE = 286;

inline constexpr ub4 OCI_CRED_RDBMS = 1;
inline constexpr ub4 OCI_NTV_SYNTAX = 1;
inline constexpr ub4 OCI_PARSE_ONLY = 0x100;
inline constexpr ub2 OCI_FETCH_NEXT = 0x02;
inline constexpr ub2 OCI_STMT_UNKNOWN = 0;
inline constexpr ub2 OCI_STMT_SELECT = 1;
inline constexpr ub1 OCI_ONE_PIECE = 0;
inline constexpr ub1 SQLCS_IMPLICIT = 1;
inline constexpr ub1 SQLCS_NCHAR = 2;

inline constexpr sb2 OCI_IND_NULL = -1;

// External data type codes, as describe reports them and as defines and binds request them.
inline constexpr ub2 SQLT_CHR = 1;
inline constexpr ub2 SQLT_NUM = 2;
inline constexpr ub2 SQLT_STR = 5;
inline constexpr ub2 SQLT_VNU = 6;
inline constexpr ub2 SQLT_LNG = 8;
inline constexpr ub2 SQLT_DAT = 12;
inline constexpr ub2 SQLT_BFLOAT = 21;
inline constexpr ub2 SQLT_BDOUBLE = 22;
inline constexpr ub2 SQLT_BIN = 23;
inline constexpr ub2 SQLT_LBI = 24;
inline constexpr ub2 SQLT_AFC = 96;
inline constexpr ub2 SQLT_IBFLOAT = 100;
inline constexpr ub2 SQLT_IBDOUBLE = 101;
inline constexpr ub2 SQLT_RDD = 104;
inline constexpr ub2 SQLT_LAB = 105;
inline constexpr ub2 SQLT_CLOB = 112;
inline constexpr ub2 SQLT_BLOB = 113;
inline constexpr ub2 SQLT_DATE = 184;
inline constexpr ub2 SQLT_TIMESTAMP = 187;
inline constexpr ub2 SQLT_TIMESTAMP_TZ = 188;
inline constexpr ub2 SQLT_INTERVAL_YM = 189;
inline constexpr ub2 SQLT_INTERVAL_DS = 190;
inline constexpr ub2 SQLT_TIMESTAMP_LTZ = 232;

// AL32UTF8, for both the character set and the national character set.
inline constexpr ub2 kCharsetAL32UTF8 = 873;
// The size of the buffer OCIErrorGet writes into.
inline constexpr ub4 kErrorMessageSize = 3072;

// Oracle error numbers the driver itself reacts to.
inline constexpr int kOraValueTruncated = 1406;  // a column return code: the value was cut

// Widths of the describe attributes. Reads go through a zeroed 8-byte buffer (see OciDriver.cpp),
// so a client that writes a wider value than stated here cannot overrun it. Unconfirmed: the
// widths of DATA_SIZE, DISP_SIZE, CHAR_SIZE (ub2), PRECISION (sb2), SCALE (sb1), CHAR_USED and
// CHARSET_FORM (ub1), and the ub2 width of PARSE_ERROR_OFFSET.

struct Api {
  using EnvNlsCreate = sword (*)(Handle** envhpp, ub4 mode, void* ctxp,
                                 void* (*malocfp)(void*, std::size_t),
                                 void* (*ralocfp)(void*, void*, std::size_t),
                                 void (*mfreefp)(void*, void*), std::size_t xtramemsz,
                                 void** usrmempp, ub2 charset, ub2 ncharset);
  using HandleAlloc = sword (*)(const Handle* parenth, Handle** hndlpp, ub4 type,
                                std::size_t xtramem_sz, void** usrmempp);
  using HandleFree = sword (*)(Handle* hndlp, ub4 type);
  using DescriptorAlloc = sword (*)(const Handle* parenth, Handle** descpp, ub4 type,
                                    std::size_t xtramem_sz, void** usrmempp);
  using DescriptorFree = sword (*)(Handle* descp, ub4 type);
  using ServerAttach = sword (*)(Handle* srvhp, Handle* errhp, const OraText* dblink,
                                 sb4 dblink_len, ub4 mode);
  using ServerDetach = sword (*)(Handle* srvhp, Handle* errhp, ub4 mode);
  using SessionBegin = sword (*)(Handle* svchp, Handle* errhp, Handle* usrhp, ub4 credt, ub4 mode);
  using SessionEnd = sword (*)(Handle* svchp, Handle* errhp, Handle* usrhp, ub4 mode);
  using AttrSet = sword (*)(Handle* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size,
                            ub4 attrtype, Handle* errhp);
  using AttrGet = sword (*)(const Handle* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                            ub4 attrtype, Handle* errhp);
  using StmtPrepare2 = sword (*)(Handle* svchp, Handle** stmtp, Handle* errhp, const OraText* stmt,
                                 ub4 stmt_len, const OraText* key, ub4 key_len, ub4 language,
                                 ub4 mode);
  using StmtRelease = sword (*)(Handle* stmtp, Handle* errhp, const OraText* key, ub4 key_len,
                                ub4 mode);
  using StmtExecute = sword (*)(Handle* svchp, Handle* stmtp, Handle* errhp, ub4 iters, ub4 rowoff,
                                const Handle* snap_in, Handle* snap_out, ub4 mode);
  using ParamGet = sword (*)(const Handle* hndlp, ub4 htype, Handle* errhp, Handle** parmdpp,
                             ub4 pos);
  using DefineByPos = sword (*)(Handle* stmtp, Handle** defnp, Handle* errhp, ub4 position,
                                void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* rlenp,
                                ub2* rcodep, ub4 mode);
  using StmtFetch2 = sword (*)(Handle* stmtp, Handle* errhp, ub4 nrows, ub2 orientation,
                               sb4 fetchOffset, ub4 mode);
  using BindByName = sword (*)(Handle* stmtp, Handle** bindpp, Handle* errhp,
                               const OraText* placeholder, sb4 placeh_len, void* valuep,
                               sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep,
                               ub4 maxarr_len, ub4* curelep, ub4 mode);
  using ErrorGet = sword (*)(Handle* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep,
                             OraText* bufp, ub4 bufsiz, ub4 type);
  using TransRollback = sword (*)(Handle* svchp, Handle* errhp, ub4 flags);
  using Break = sword (*)(Handle* hndlp, Handle* errhp);
  using LobGetLength2 = sword (*)(Handle* svchp, Handle* errhp, Handle* locp, std::uint64_t* lenp);
  using LobRead2 = sword (*)(Handle* svchp, Handle* errhp, Handle* locp, std::uint64_t* byte_amtp,
                             std::uint64_t* char_amtp, std::uint64_t offset, void* bufp,
                             std::uint64_t bufl, ub1 piece, void* ctxp, void* cbfp, ub2 csid,
                             ub1 csfrm);
  using ClientVersion = void (*)(sword* major, sword* minor, sword* update, sword* patch,
                                 sword* port_update);

  EnvNlsCreate envNlsCreate = nullptr;
  HandleAlloc handleAlloc = nullptr;
  HandleFree handleFree = nullptr;
  DescriptorAlloc descriptorAlloc = nullptr;
  DescriptorFree descriptorFree = nullptr;
  ServerAttach serverAttach = nullptr;
  ServerDetach serverDetach = nullptr;
  SessionBegin sessionBegin = nullptr;
  SessionEnd sessionEnd = nullptr;
  AttrSet attrSet = nullptr;
  AttrGet attrGet = nullptr;
  StmtPrepare2 stmtPrepare2 = nullptr;
  StmtRelease stmtRelease = nullptr;
  StmtExecute stmtExecute = nullptr;
  ParamGet paramGet = nullptr;
  DefineByPos defineByPos = nullptr;
  StmtFetch2 stmtFetch2 = nullptr;
  BindByName bindByName = nullptr;
  ErrorGet errorGet = nullptr;
  TransRollback transRollback = nullptr;
  Break breakCall = nullptr;
  LobGetLength2 lobGetLength2 = nullptr;
  LobRead2 lobRead2 = nullptr;
  // Not called: its presence is the proof that the library is a usable client.
  ClientVersion clientVersion = nullptr;
};

// The client library, opened on first use and kept open for the life of the process (a client
// library is never unloaded while handles from it may exist). nullptr when no library of the
// names to try can be opened or one lacks a call the driver makes.
std::shared_ptr<const Api> LoadApi();

// The names tried in order: the unversioned library, then the versioned ones.
QStringList DefaultLibraryNames();

// Tests point the driver at a library of their own (a path or a list of paths); an empty list
// restores the default names.
void SetLibraryNamesForTest(const QStringList& names);

}  // namespace ora::oci
