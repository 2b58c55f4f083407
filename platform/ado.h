// The data-access objects: Connection, Recordset, Command, Fields and Field, with their
// enumerations and the smart pointers _ConnectionPtr, _RecordsetPtr, _CommandPtr, FieldsPtr and
// FieldPtr. Properties are methods (GetState, PutConnectionTimeout ...) as the generated
// wrappers of a type library present them; failures throw _com_error. Text crosses the
// boundary as UTF-16 (BSTR), so one provider library serves both text widths.
#pragma once

#include "platform/comdef.h"

typedef long ADO_LONGPTR;

enum ObjectStateEnum {
    adStateClosed = 0,
    adStateOpen = 1,
    adStateConnecting = 2,
    adStateExecuting = 4,
    adStateFetching = 8
};
enum CursorTypeEnum {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3
};
enum CursorLocationEnum { adUseNone = 1, adUseServer = 2, adUseClient = 3, adUseClientBatch = 3 };
enum LockTypeEnum {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4
};
enum CommandTypeEnum {
    adCmdUnspecified = -1,
    adCmdUnknown = 8,
    adCmdText = 1,
    adCmdTable = 2,
    adCmdStoredProc = 4,
    adCmdFile = 256,
    adCmdTableDirect = 512
};
enum ExecuteOptionEnum { adOptionUnspecified = -1, adExecuteNoRecords = 128 };
enum ConnectOptionEnum { adConnectUnspecified = -1, adAsyncConnect = 16 };
enum SchemaEnum {
    adSchemaProviderSpecific = -1,
    adSchemaCatalogs = 1,
    adSchemaColumns = 4,
    adSchemaTables = 20,
    adSchemaProcedures = 16,
    adSchemaViews = 23
};
enum DataTypeEnum {
    adEmpty = 0,
    adTinyInt = 16,
    adSmallInt = 2,
    adInteger = 3,
    adBigInt = 20,
    adUnsignedTinyInt = 17,
    adUnsignedSmallInt = 18,
    adUnsignedInt = 19,
    adUnsignedBigInt = 21,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDecimal = 14,
    adNumeric = 131,
    adBoolean = 11,
    adError = 10,
    adUserDefined = 132,
    adVariant = 12,
    adIDispatch = 9,
    adIUnknown = 13,
    adGUID = 72,
    adDate = 7,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adBSTR = 8,
    adChar = 129,
    adVarChar = 200,
    adLongVarChar = 201,
    adWChar = 130,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adBinary = 128,
    adVarBinary = 204,
    adLongVarBinary = 205,
    adChapter = 136,
    adFileTime = 64,
    adPropVariant = 138,
    adVarNumeric = 139,
    adArray = 0x2000
};
enum FieldAttributeEnum {
    adFldUnspecified = -1,
    adFldMayDefer = 0x2,
    adFldUpdatable = 0x4,
    adFldUnknownUpdatable = 0x8,
    adFldFixed = 0x10,
    adFldIsNullable = 0x20,
    adFldMayBeNull = 0x40,
    adFldLong = 0x80,
    adFldRowID = 0x100,
    adFldRowVersion = 0x200,
    adFldCacheDeferred = 0x1000,
    adFldKeyColumn = 0x8000
};

// Error numbers the objects raise (ErrorValueEnum and the OLE DB errors a provider passes on).
enum ErrorValueEnum : std::uint32_t {
    adErrItemNotFound = 0xCC1,
    adErrNoCurrentRecord = 0xBCD,
    adErrObjectClosed = 0xE78,
    adErrObjectOpen = 0xE79,
    adErrInvalidArgument = 0xBB9,
    adErrFeatureNotAvailable = 0xCB3,
    adErrInvalidConnection = 0xE7D,
    adErrProviderNotFound = 0xE7A
};
#define QV_ADO_ERROR(n) ((HRESULT)(0x800A0000u | (n)))
#define DB_E_ERRORSINCOMMAND ((HRESULT)0x80040E14L)
#define DB_E_NOTABLE ((HRESULT)0x80040E37L)
#define DB_E_NOCOMMAND ((HRESULT)0x80040E0CL)
#define DB_E_CANTCONVERTVALUE ((HRESULT)0x80040E07L)

// The "parameter left out" value of optional arguments.
inline _variant_t QvMissingValue() {
    _variant_t v;
    v.vt = VT_ERROR;
    v.scode = (HRESULT)0x80020004L;  // DISP_E_PARAMNOTFOUND
    return v;
}
inline const _variant_t vtMissing = QvMissingValue();

// Class tags for CoCreateInstance / CreateInstance(__uuidof(Connection)), and the interfaces.
struct Connection;
struct Recordset;
struct Command;
struct _Connection;
struct _Recordset;
struct _Command;
struct Fields;
struct Field;

#define QV_ADO_UUID(T, d1)                                                         \
    template <>                                                                    \
    inline const GUID& QvUuidOf<T>() {                                             \
        static const GUID id = {                                                   \
            d1, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}}; \
        return id;                                                                 \
    }
QV_ADO_UUID(Connection, 0x00000514)
QV_ADO_UUID(Recordset, 0x00000535)
QV_ADO_UUID(Command, 0x00000507)
QV_ADO_UUID(_Connection, 0x00001550)
QV_ADO_UUID(_Recordset, 0x00001556)
QV_ADO_UUID(_Command, 0x0000154E)
QV_ADO_UUID(Fields, 0x0000154D)
QV_ADO_UUID(Field, 0x0000154C)
#undef QV_ADO_UUID

_COM_SMARTPTR_TYPEDEF(_Recordset, __uuidof(_Recordset));
_COM_SMARTPTR_TYPEDEF(Fields, __uuidof(Fields));
_COM_SMARTPTR_TYPEDEF(Field, __uuidof(Field));

struct QV_OLE_API Field : IDispatch {
    virtual _variant_t GetValue() = 0;
    virtual _bstr_t GetName() = 0;
    virtual DataTypeEnum GetType() = 0;
    virtual ADO_LONGPTR GetDefinedSize() = 0;
    virtual long GetAttributes() = 0;
    // Size of the current row's value: bytes of text (UTF-16) or binary, the fixed size of
    // other types, 0 for NULL. Raises adErrNoCurrentRecord past the last row.
    virtual ADO_LONGPTR GetActualSize() = 0;
    virtual unsigned char GetPrecision() = 0;
    virtual unsigned char GetNumericScale() = 0;
};

struct QV_OLE_API Fields : IDispatch {
    virtual long GetCount() = 0;
    // By name (text, case ignored) or zero-based position (any integer type).
    virtual FieldPtr GetItem(const _variant_t& index) = 0;
};

struct QV_OLE_API _Recordset : IDispatch {
    virtual void PutCursorType(CursorTypeEnum type) = 0;
    virtual CursorTypeEnum GetCursorType() = 0;
    virtual void PutCursorLocation(CursorLocationEnum location) = 0;
    virtual CursorLocationEnum GetCursorLocation() = 0;
    virtual LockTypeEnum GetLockType() = 0;
    // Source: the command text (or a table name with adCmdTable). ActiveConnection: a
    // Connection object as VT_DISPATCH or VT_UNKNOWN.
    virtual HRESULT Open(const _variant_t& source, const _variant_t& activeConnection,
                         CursorTypeEnum cursorType, LockTypeEnum lockType, long options) = 0;
    virtual HRESULT Close() = 0;
    virtual long GetState() = 0;
    virtual VARIANT_BOOL GetadoEOF() = 0;
    virtual VARIANT_BOOL GetBOF() = 0;
    virtual ADO_LONGPTR GetRecordCount() = 0;
    virtual HRESULT MoveFirst() = 0;
    virtual HRESULT MoveNext() = 0;
    virtual HRESULT MovePrevious() = 0;
    virtual HRESULT MoveLast() = 0;
    // "Name [ASC|DESC], ..." orders the rows; the empty text restores the original order.
    virtual void PutSort(const _bstr_t& criteria) = 0;
    virtual _bstr_t GetSort() = 0;
    virtual FieldsPtr GetFields() = 0;
};

struct QV_OLE_API _Connection : IDispatch {
    virtual long GetState() = 0;
    virtual void PutConnectionTimeout(long seconds) = 0;
    virtual long GetConnectionTimeout() = 0;
    virtual void PutCommandTimeout(long seconds) = 0;
    virtual long GetCommandTimeout() = 0;
    virtual void PutCursorLocation(CursorLocationEnum location) = 0;
    virtual CursorLocationEnum GetCursorLocation() = 0;
    virtual _bstr_t GetConnectionString() = 0;
    virtual HRESULT Open(const _bstr_t& connectionString, const _bstr_t& userId,
                         const _bstr_t& password, long options) = 0;
    virtual HRESULT Close() = 0;
    virtual _RecordsetPtr Execute(const _bstr_t& commandText, VARIANT* recordsAffected,
                                  long options) = 0;
    // adSchemaTables gives TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE (text columns).
    virtual _RecordsetPtr OpenSchema(SchemaEnum schema, const _variant_t& restrictions = vtMissing,
                                     const _variant_t& schemaId = vtMissing) = 0;
};
_COM_SMARTPTR_TYPEDEF(_Connection, __uuidof(_Connection));

struct QV_OLE_API _Command : IDispatch {
    virtual void putref_ActiveConnection(_Connection* connection) = 0;
    virtual void PutActiveConnection(const _variant_t& connection) = 0;
    virtual void PutCommandText(const _bstr_t& text) = 0;
    virtual _bstr_t GetCommandText() = 0;
    virtual void PutCommandType(CommandTypeEnum type) = 0;
    virtual CommandTypeEnum GetCommandType() = 0;
    virtual _RecordsetPtr Execute(VARIANT* recordsAffected, VARIANT* parameters, long options) = 0;
};
_COM_SMARTPTR_TYPEDEF(_Command, __uuidof(_Command));
