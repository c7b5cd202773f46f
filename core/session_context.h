// The session record: every setting a user can tune and the per-command state
// that the block reader, row decoders, unload drivers, dump printers, scans
// and dictionary readers share. The interpreter owns exactly one for the run
// and passes it by reference. This header depends on nothing else of the
// project so that the block layer can include it.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>

struct DataFileSet;
struct RdbaList;
struct ReadAheadCache;
struct ColumnStats;
struct GuessedTableList;
struct ASMDiskGroup;
struct LobHashMap;
struct LobReader;
struct BlockTally;
struct TextOutput;
struct BlockShare;
struct UndoTable;

constexpr int kMaxColumns = 1024;
constexpr int kTagSize = 128;
constexpr uint64_t kNoRowLimit = 0x8000000000000000ULL;
constexpr uint32_t kDefaultBlockSize = 8192;
constexpr uint32_t kDefaultCacheSize = 256 * 1024;
inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
// Row decoding: the column map of one row piece, the compression symbol
// table's column length table and column order, and the number of values of
// an unknown-type column that are shown in a warning.
constexpr int kMaxMappedColumns = 256;
constexpr int kMaxCompressEntries = 255;
constexpr uint8_t kUnknownTypeWarnings = 5;
// Room of the export dump carry-over buffer: one column split across row
// pieces (a column length is at most 16 bits).
constexpr uint32_t kCarryOverSize = 65536;

// Unload column type codes: Oracle internal type numbers plus a few of our own.
enum ColumnTypeCode : uint8_t {
  kColSkip = 0,
  kColVarchar2 = 1,
  kColNumber = 2,
  kColLong = 8,
  kColVarchar = 9,
  kColDate = 12,
  kColRaw = 23,
  kColLongRaw = 24,
  kColChar = 96,
  kColBinaryFloat = 100,
  kColBinaryDouble = 101,
  kColNArray = 108,
  kColVArray = 109,
  kColClob = 112,
  kColBlob = 113,
  kColTimestamp = 180,
  kColTimestampTZ = 181,
  kColIntervalYM = 182,
  kColIntervalDS = 183,
  kColTimestampLTZ = 231,
  kColNotGiven = 253,
  kColNChar = 254,
  kColNClob = 255,
};

// One mapped column: where its bytes lie in the block buffer; length 0 is NULL.
struct MappedColumn {
  uint16_t offset = 0;
  uint16_t length = 0;
};

struct SessionContext {
  uint8_t bigfile = 0;        // BIGFILE: whole 32-bit address is a block number
  uint8_t outputStyle = 0;    // OUTPUT_STYLE: 0 text, 1 export dump, 2 CSV
  uint8_t byteOrder = 0;      // BYTE_ORDER: 1 big-endian, 0 little-endian
  uint8_t clobByteOrder = 1;  // CLOB_EDIAN: 1 big (as CLOBs are stored), 0 little
  uint8_t lobStorage = 0;     // LOB_STORAGE: 0 inline, 1 file, other: not written
  uint8_t rowAddress = 0;     // ROW_ADDRESS
  uint8_t indexNumber = 0;    // UNLOAD ... INDEX, reset before every command
  uint16_t columnCount = 0;
  uint16_t fieldTagLength = 1;
  uint16_t recordTagLength = 2;
  uint16_t longTagLength = 0;
  char fieldTag[kTagSize] = {'|'};
  char recordTag[kTagSize] = {'\r', '\n'};
  char longTag[kTagSize] = {};
  uint8_t columnTypes[kMaxColumns] = {};
  uint16_t lobIndexFile[kMaxColumns] = {};
  uint32_t lobIndexBlock[kMaxColumns] = {};
  int32_t chunkCount = 1;
  uint16_t columnLength[kMaxColumns] = {};
  uint16_t columnCharsetId[kMaxColumns] = {};
  uint16_t columnCharsetForm[kMaxColumns] = {};
  DataFileSet* fileSet = nullptr;
  uint16_t blockSize = kDefaultBlockSize;  // 32768 still fits
  unsigned char* blockBuffer = nullptr;
  RdbaList* corruptList = nullptr;
  RdbaList* skipList = nullptr;
  ReadAheadCache* dataCache = nullptr;
  ReadAheadCache* lobCache = nullptr;
  ColumnStats* columnStats = nullptr;
  GuessedTableList* guessedTables = nullptr;
  uint16_t guessSize = 8192;     // GUESS_SIZE
  uint8_t rowOutputMode = 0;     // 0 unload, 2 SAMPLE
  uint8_t verbose = 0;           // VERBOSE
  uint8_t blockCheck = 0;        // BLOCK_CHECK
  uint16_t maxLobDir = 500;      // MAXLOBDIR
  uint64_t rowsUnloaded = 0;
  uint64_t rowLimit = kNoRowLimit;
  uint32_t maxChains = 0;        // MAXCHAINS
  ASMDiskGroup* diskGroups = nullptr;
  LobHashMap* lobMap = nullptr;
  // The LOB value reader of the unload under way (lob/lob_value.h): its
  // block buffer, converters and FILE-mode state; null outside an unload.
  LobReader* lobReader = nullptr;
  // The blocks an unload's maps named and those it could not read
  // (unload/unload_drivers.h); null when nobody is counting.
  BlockTally* blockTally = nullptr;
  // What a table or object unload learns from the text it writes, and its
  // CSV style (rows/text_output.h); null for other row walks.
  TextOutput* textOutput = nullptr;
  // The share of a segment's blocks this process reads when several
  // processes unload one segment (unload/unload_drivers.h); null: all.
  BlockShare* blockShare = nullptr;
  // The undo segment headers a committed-only unload asks about ITL entries
  // that carry no commit flag (rows/undo_verdict.h); null when not asking.
  UndoTable* undoTable = nullptr;
  uint16_t transOffset = 0;      // TRANS_OFFSET
  uint16_t transCount = 0;       // TRANS_COUNT
  iconv_t ncharConverter = kNoConverter;  // ICONV_NCHAR
  iconv_t nclobConverter = kNoConverter;  // ICONV_NCLOB
  iconv_t clobConverter = kNoConverter;   // ICONV_CLOB
  // National text (NCHAR, NVARCHAR2, NCLOB) where ICONV_NCHAR or ICONV_NCLOB
  // does not say otherwise: from the national character set (AL16UTF16, or
  // UTF8 when nationalSourceUtf8 is set) to the output character set, set up
  // for each unload (values/charset.h). Characters it cannot map are written
  // as "?" and counted in *nationalUnmapped when that is not null.
  iconv_t nationalConverter = kNoConverter;
  uint8_t nationalSourceUtf8 = 0;
  uint64_t* nationalUnmapped = nullptr;

  // Column map of the row piece just mapped (rows/data_block.h,
  // rows/compress.h): the columns, the piece's flag byte, its next piece
  // address (0 when none) and, for the body of a migrated or compressed row,
  // its head row address.
  uint16_t mappedCount = 0;
  uint8_t rowFlag = 0;
  uint32_t nextPieceRDBA = 0;
  uint16_t nextPieceSlot = 0;
  uint32_t headRowRDBA = 0;
  uint16_t headRowSlot = 0;
  MappedColumn columnMap[kMaxMappedColumns] = {};
  // Compression state of the block under decoding (getCompressOrder): the
  // column length table (NL entries) and the column order (NO entries).
  uint8_t compressLengthCount = 0;
  uint8_t compressOrderCount = 0;
  int16_t compressLengths[kMaxCompressEntries] = {};
  uint8_t compressOrder[kMaxCompressEntries] = {};
  // Values of each unknown-type column shown so far in a warning.
  uint8_t unknownTypeWarnings[kMaxColumns] = {};
  // Export dump rows: a long value is open, and the bytes of a column split
  // across row pieces. carryOver points to kCarryOverSize bytes owned by the
  // interpreter (a worker copy shares them); null when not set up.
  uint8_t dmpLongValue = 0;
  uint32_t carryOverLength = 0;
  unsigned char* carryOver = nullptr;
};

// Settings the interpreter keeps beside the record and passes where needed.
struct UserSettings {
  uint16_t charset = 1;        // CHARSET
  uint16_t nlsCharset = 2000;  // NLSCHARSET
  uint8_t fixedCharset = 0;    // FIXED_CHARSET
  uint8_t deletedRow = 0;      // DELETED_ROW
  uint8_t commitedOnly = 0;    // COMMITED_ONLY
  uint16_t tablespace = 0;     // TABLESPACE
  // BLOCK_SIZE or BYTE_ORDER was set in this session (at the prompt or in a
  // script); until then OPEN takes both from the file headers.
  uint8_t blockLayoutSet = 0;
  uint8_t fieldTagSet = 0;  // FIELD_TAG was set: CSV separates with it, not ","
  uint8_t csvHeader = 0;    // CSV_HEADER: a first line of column names
  uint8_t parallel = 1;     // PARALLEL: unload processes; 0 one per online core
  // Tags keep their decoded length so that a NUL byte can be a separator.
  uint16_t fieldTagLength = 1;
  uint16_t recordTagLength = 2;
  char fieldTag[kTagSize] = {'|'};
  char recordTag[kTagSize] = {'\r', '\n'};
  char longTag[kTagSize] = {};
};

// Copies the user tags into the record, with their lengths.
inline void copyUserTags(SessionContext& ctx, const UserSettings& user) {
  for (int i = 0; i < kTagSize; i++) {
    ctx.fieldTag[i] = user.fieldTag[i];
    ctx.recordTag[i] = user.recordTag[i];
    ctx.longTag[i] = user.longTag[i];
  }
  ctx.fieldTagLength = user.fieldTagLength;
  ctx.recordTagLength = user.recordTagLength;
  uint16_t n = 0;
  while (n < kTagSize - 1 && user.longTag[n] != 0) n++;
  ctx.longTagLength = n;
}

// The tags every UNLOAD starts from, and the dictionary files always use:
// "," between fields and a line feed after each row.
inline void setDefaultUnloadTags(SessionContext& ctx) {
  for (int i = 0; i < kTagSize; i++) ctx.fieldTag[i] = ctx.recordTag[i] = 0;
  ctx.fieldTag[0] = ',';
  ctx.recordTag[0] = '\n';
  ctx.fieldTagLength = 1;
  ctx.recordTagLength = 1;
}
