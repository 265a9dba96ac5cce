// lumbra: a small, strict SDIF (format version 3) reader and writer.
//
// Writing: fill SDIFNameValueTable objects and add them (AddNVT), declare matrix and frame
// types (AddMatrixType, AddFrameType), OpenWrite, then fill an SDIFFrame with SDIFMatrix
// copies and Write it once per time instant, and Close. The file appears under its name only
// at Close (it is written to a temporary name in the same directory and renamed), so a run
// that stops half-way never leaves a truncated file behind.
//
// Reading: OpenRead parses the file header and the header frames (tables and type
// declarations); ChangeSelection restricts the frames and matrices delivered; ReadNextFrame
// returns the size of the frame read, 0 when nothing was delivered (call again), and throws
// SDIFEof once the file is exhausted. Every size read from the file is checked against the
// bytes that remain before anything is allocated: a malformed file raises an SDIFException
// subclass that names the file and the byte offset of the fault.
//
// All numbers in the files are big-endian. Signatures are four ASCII characters held in a
// 32-bit value, first character in the most significant byte ("1MRK" is 0x314D524B).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <source_location>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <version>

// ---------------------------------------------------------------------------------------------
// Signatures and data types

using SdifSignature = std::uint32_t;

// Packs four characters into a signature, first character most significant.
constexpr SdifSignature SdifSignatureConst(char a, char b, char c, char d) {
  return (SdifSignature{static_cast<unsigned char>(a)} << 24) |
         (SdifSignature{static_cast<unsigned char>(b)} << 16) |
         (SdifSignature{static_cast<unsigned char>(c)} << 8) |
         SdifSignature{static_cast<unsigned char>(d)};
}

// The four characters of a signature, in reading order (non-printable bytes kept as they are).
std::string SdifSignatureToString(SdifSignature sig);

// True when every byte of the signature is printable ASCII other than a blank (0x21..0x7E).
bool SdifSignatureIsValid(SdifSignature sig);

// Parses a four-character text ("1FQ0") into a signature; throws SDIFUnDefined when the text is
// not exactly four printable, non-blank ASCII characters.
SdifSignature SdifStringToSignature(std::string_view text);

// Matrix element types: the high byte is the class, the low byte the element size in bytes.
enum SdifDataType : std::uint32_t {
  eFloat4 = 0x0004,
  eFloat8 = 0x0008,
  eInt1 = 0x0101,
  eInt2 = 0x0102,
  eInt4 = 0x0104,
  eInt8 = 0x0108,
  eUInt1 = 0x0201,
  eUInt2 = 0x0202,
  eUInt4 = 0x0204,
  eUInt8 = 0x0208,
  eText = 0x0301,
  eByte = 0x0401,
};

// True for the twelve codes of SdifDataType.
bool SdifDataTypeIsKnown(std::uint32_t code);

// Element size in bytes of a data type code (its low byte).
constexpr std::size_t SdifSizeofDataType(std::uint32_t code) {
  return code & 0xffu;
}

// Readable name of a data type code ("float32", "int16", "text", ...; "unknown" otherwise).
std::string SdifDataTypeName(std::uint32_t code);

// Signatures of the header frames and matrices.
inline constexpr SdifSignature eSDIF = SdifSignatureConst('S', 'D', 'I', 'F');
inline constexpr SdifSignature e1NVT = SdifSignatureConst('1', 'N', 'V', 'T');
inline constexpr SdifSignature e1TYP = SdifSignatureConst('1', 'T', 'Y', 'P');
inline constexpr SdifSignature e1IDS = SdifSignatureConst('1', 'I', 'D', 'S');

// Stream ids written on the header frames.
inline constexpr std::uint32_t kNVTStreamID = 0xFFFFFFFDu;
inline constexpr std::uint32_t kTYPStreamID = 0xFFFFFFFEu;
inline constexpr std::uint32_t kIDSStreamID = 0xFFFFFFFFu;

// Largest value of a frame's size field (a signed 32-bit count of bytes).
inline constexpr std::int64_t kSdifMaxFrameSize = 2147483647;

// Bytes a matrix occupies in a frame: 16-byte header plus its data padded to 8 bytes. Computed
// in 64 bits, so any row and column counts are safe.
constexpr std::int64_t SdifMatrixBytes(std::int64_t rows, std::int64_t cols, std::uint32_t type) {
  const std::int64_t data = rows * cols * static_cast<std::int64_t>(SdifSizeofDataType(type));
  return 16 + (data + 7) / 8 * 8;
}

// ---------------------------------------------------------------------------------------------
// Library set-up. Nothing needs it (the library has no global state to prepare); it is kept so
// that programs can bracket their use of the library.

void LumbraInit(const std::string& options = "");
void LumbraEnd();

// True when the file at path is a complete, well-formed SDIF file: valid file header, header
// frames that parse, and every frame and matrix header consistent with the file's size. Matrix
// data are not read. Never throws.
bool SdifCheckFileFormat(const std::string& path);

// ---------------------------------------------------------------------------------------------
// Exceptions. Each carries a text; ErrorMessage() writes it to the error stream.

#if defined(__cpp_lib_source_location)
using SdifSourceLocation = std::source_location;
#else
// Where an exception was raised, for compilers whose standard library has no
// std::source_location (clang 14 on libstdc++, the fuzzing build): the file and line that the
// compiler's builtins give at the throwing call.
struct SdifSourceLocation {
  static constexpr SdifSourceLocation current(const char* file = __builtin_FILE(),
                                              unsigned line = __builtin_LINE()) noexcept {
    return SdifSourceLocation{file, line};
  }
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr unsigned line() const noexcept { return line_; }
  const char* file_ = "";
  unsigned line_ = 0;
};
#endif

class SDIFException : public std::exception {
 public:
  explicit SDIFException(std::string text,
                         SdifSourceLocation where = SdifSourceLocation::current());
  const char* what() const noexcept override { return text_.c_str(); }
  const std::string& Text() const { return text_; }
  const std::string& SourceFile() const { return source_file_; }
  int SourceLine() const { return source_line_; }
  // "Exception: " + text + line end, then, when the source location is known,
  // "Source file : " + file + "\nat line : " + line + line end.
  [[nodiscard]] std::string Message() const;
  // Writes Message() to standard error.
  void ErrorMessage() const;

 private:
  std::string text_;
  std::string source_file_;
  int source_line_ = 0;
};

#define LUMBRA_EXCEPTION(Name)                                                                \
  class Name : public SDIFException {                                                         \
   public:                                                                                    \
    explicit Name(std::string text, SdifSourceLocation where = SdifSourceLocation::current()) \
        : SDIFException(std::move(text), where) {}                                            \
  }

// A file that cannot be opened, created, written or renamed, or whose file header is wrong.
LUMBRA_EXCEPTION(SDIFFileError);
// A name-value table or type declaration text that does not parse or holds invalid entries.
LUMBRA_EXCEPTION(SDIFAsciiChunkError);
// Something the format does not define: unknown data type, invalid signature, bad selection.
LUMBRA_EXCEPTION(SDIFUnDefined);
// A structural fault met while reading: truncation, sizes that do not add up, time order.
LUMBRA_EXCEPTION(SDIFReading);
// The end of the file was reached: no frame is left.
LUMBRA_EXCEPTION(SDIFEof);
// Matrix contents that are not allowed: non-zero padding, two matrices of one type in a frame,
// a text matrix of the wrong shape, a numeric access to text.
LUMBRA_EXCEPTION(SDIFMatrixDataError);
// A row, column, matrix or table index out of range.
LUMBRA_EXCEPTION(SDIFArrayPosition);

#undef LUMBRA_EXCEPTION

// ---------------------------------------------------------------------------------------------
// Name-value table: an ordered list of (name, value) texts, one 1NVT frame in the file.

class SDIFNameValueTable {
 public:
  // Adds a pair, or replaces the value of an existing name (its position is kept). Throws
  // SDIFAsciiChunkError when the name is empty or holds a blank, TAB, line end or zero byte,
  // when the value holds a line end or zero byte, or when either is not valid UTF-8.
  void AddNameValue(const std::string& name, const std::string& value);
  // Value of a name; the empty text when the table has no such name.
  std::string GetValue(const std::string& name) const;
  bool HasName(const std::string& name) const;
  std::size_t GetNbData() const { return entries_.size(); }
  const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

  // The table as stored in a 1NVT matrix: "name\tvalue\n" per entry, in order.
  std::string ToText() const;
  // Parses 1NVT text: bare "name\tvalue\n" lines, the same inside "{ }" (a trailing ';' of a
  // value is dropped), or "{ name value; ... }". Trailing zero bytes are ignored. Throws
  // SDIFAsciiChunkError on anything else, on a zero byte inside the text and on a name given
  // twice.
  static SDIFNameValueTable FromText(std::string_view text);

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

// ---------------------------------------------------------------------------------------------
// Type declarations (the 1TYP text).

struct SDIFMatrixType {
  SdifSignature signature = 0;
  std::vector<std::string> columns;  // column names, in column order
};

struct SDIFFrameComponent {
  SdifSignature matrix = 0;  // matrix signature
  std::string name;          // component name
};

struct SDIFFrameType {
  SdifSignature signature = 0;
  std::vector<SDIFFrameComponent> components;
};

struct SDIFTypeDeclarations {
  std::vector<SDIFMatrixType> matrices;
  std::vector<SDIFFrameType> frames;

  bool empty() const { return matrices.empty() && frames.empty(); }
  // The text of a 1TYP matrix: "{\n", one "  1MTD SIG {a, b}\n" line per matrix type, then each
  // frame type as "  1FTD SIG\n    {\n      MSIG name;\n    }\n", then "}\n".
  std::string ToText() const;
  // Parses 1TYP text by its grammar (blanks free between tokens, outer braces optional).
  // Throws SDIFAsciiChunkError on a syntax error, an invalid signature or a type declared twice.
  static SDIFTypeDeclarations FromText(std::string_view text);
};

// ---------------------------------------------------------------------------------------------
// Matrix: signature, data type, rows x columns elements stored row by row.

class SDIFMatrix {
 public:
  // A matrix of rows x cols zero elements. Throws SDIFUnDefined for an unknown data type or an
  // invalid signature, SDIFArrayPosition for negative counts.
  explicit SDIFMatrix(SdifSignature sig = SdifSignatureConst('N', 'U', 'L', 'L'), int rows = 0,
                      int cols = 0, std::uint32_t type = eFloat4);
  // The same with its elements left unset, for data about to be written over (a matrix being
  // read, or one filled column by column): no pass over the bytes before the first real one.
  static SDIFMatrix Unset(SdifSignature sig, int rows, int cols, std::uint32_t type);
  // A 0x0301 text matrix of one column and one row per byte of text.
  static SDIFMatrix Text(SdifSignature sig, std::string_view text);
  // Makes this a rows x cols matrix of that signature and type with its elements left unset
  // (as Unset does), keeping the storage it already has when that is large enough: a loop that
  // refills one matrix allocates only when it grows. Same exceptions as the constructor.
  void Reset(SdifSignature sig, int rows, int cols, std::uint32_t type);

  SdifSignature GetSignature() const { return sig_; }
  std::uint32_t GetType() const { return type_; }
  int GetNbRows() const { return rows_; }
  int GetNbCols() const { return cols_; }
  // Resizes to rows x cols; kept elements keep their (row, column) place, new ones are 0.
  void Resize(int rows, int cols);

  // Element (row, col), 0-based, converted to double (integers of more than 53 bits round).
  // Throws SDIFArrayPosition out of range and SDIFMatrixDataError on text or byte matrices.
  double GetDouble(int row, int col) const;
  std::int64_t GetInt(int row, int col) const;
  // Column col copied into out[0 .. rows-1] as doubles (fast path of GetDouble).
  void GetCol(int col, double* out) const;

  // Sets element (row, col), converted to the matrix's data type (rounded toward zero and
  // clamped for integer types). Same exceptions as GetDouble.
  void Set(int row, int col, double value);
  void Set(int row, int col, int value);
  // Sets column col from values[0 .. rows-1].
  void SetCol(int col, const double* values);

  // The bytes of a text or byte matrix, in row order (trailing zero bytes included).
  std::string GetText() const;

  // Bytes this matrix occupies in a frame (header, data and padding).
  std::int64_t SizeInFile() const { return SdifMatrixBytes(rows_, cols_, type_); }

  // Raw elements in the host's byte order, row by row: rows * cols * element size bytes.
  // Bytes made by a resize are left unset (see Unset); the library always passes a value
  // where it means zeros.
  template <class T>
  struct UnsetAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
      using other = UnsetAllocator<U>;
    };
    UnsetAllocator() noexcept = default;
    template <class U>
    UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
      ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    void construct(U* p) noexcept {
      ::new (static_cast<void*>(p)) U;
    }
  };
  using Bytes = std::vector<unsigned char, UnsetAllocator<unsigned char>>;
  const Bytes& Data() const { return data_; }
  Bytes& MutableData() { return data_; }

 private:
  std::size_t Offset(int row, int col) const;

  SdifSignature sig_;
  std::uint32_t type_;
  int rows_ = 0;
  int cols_ = 0;
  Bytes data_;
};

// ---------------------------------------------------------------------------------------------
// Frame: signature, stream id, time and its matrices.

class SDIFEntity;

class SDIFFrame {
 public:
  SDIFFrame() = default;

  void SetSignature(SdifSignature sig) { sig_ = sig; }
  void SetSignature(const std::string& sig) { sig_ = SdifStringToSignature(sig); }
  void SetStreamID(std::uint32_t id) { stream_ = id; }
  void SetTime(double t) { time_ = t; }
  void SetHeader(SdifSignature sig, std::uint32_t stream, double t) {
    sig_ = sig;
    stream_ = stream;
    time_ = t;
  }

  SdifSignature GetSignature() const { return sig_; }
  std::uint32_t GetStreamID() const { return stream_; }
  double GetTime() const { return time_; }

  // Appends a copy of the matrix. Throws SDIFMatrixDataError when the frame already holds a
  // matrix of that signature (a frame holds at most one matrix per type).
  void AddMatrix(const SDIFMatrix& m);
  void AddMatrix(SDIFMatrix&& m);  // moves a large matrix in without copying its data
  std::size_t GetNbMatrix() const { return matrices_.size(); }
  // Matrix by position (0-based) or by signature; throws SDIFArrayPosition when absent.
  SDIFMatrix& GetMatrix(std::size_t index);
  const SDIFMatrix& GetMatrix(std::size_t index) const;
  SDIFMatrix& GetMatrixWithSig(SdifSignature sig);
  const SDIFMatrix& GetMatrixWithSig(SdifSignature sig) const;
  bool MatrixExists(SdifSignature sig) const;

  // Removes the matrices; signature, stream and time are kept.
  void ClearData() { matrices_.clear(); }

  // Value of the frame's size field: 16 plus the bytes of every matrix.
  std::int64_t SizeField() const;

  // Writes the frame to an entity opened for writing; returns the bytes written. Throws
  // SDIFFileError when the entity is not open for writing, when the frame would not fit the
  // format's size field, when its time is not a number or goes back in time, or when a write
  // fails; SDIFUnDefined on an invalid signature.
  std::size_t Write(SDIFEntity& entity) const;

 private:
  SdifSignature sig_ = SdifSignatureConst('N', 'U', 'L', 'L');
  std::uint32_t stream_ = 0;
  double time_ = 0.0;
  std::vector<SDIFMatrix> matrices_;
};

// ---------------------------------------------------------------------------------------------
// Selection: which streams, frame and matrix types, columns, rows and times to deliver.

struct SDIFSelection {
  struct IntRange {
    std::int64_t first = 0, last = 0;  // inclusive
  };
  struct TimeRange {
    double first = 0.0, last = 0.0;  // inclusive, seconds
  };
  // An empty list selects everything of its kind.
  std::vector<IntRange> streams;
  std::vector<SdifSignature> frames;
  std::vector<SdifSignature> matrices;
  std::vector<IntRange> columns;  // 1-based
  std::vector<IntRange> rows;     // 1-based
  std::vector<TimeRange> times;

  // Parses a selection: "#streams :frames /matrices .columns _rows @times" in any order, with
  // an optional file name and "::" in front (split at the last "::"); the ':' of a leading
  // frame element may be left out. A "/" list may also hold frame/matrix pairs
  // (":1MRK/1BEG,1MRK/1END"). Throws SDIFUnDefined on a malformed text.
  static SDIFSelection Parse(std::string_view text);

  bool SelectsStream(std::uint32_t id) const;
  bool SelectsFrame(SdifSignature sig) const;
  bool SelectsMatrix(SdifSignature sig) const;
  bool SelectsTime(double t) const;
  bool SelectsColumn(std::int64_t col1) const;  // 1-based
  bool SelectsRow(std::int64_t row1) const;     // 1-based
  bool AllColumns() const { return columns.empty(); }
  bool AllRows() const { return rows.empty(); }
};

// Splits "file::selection" at the last "::"; without "::" the whole text is the file name and
// the selection is empty.
std::pair<std::string, std::string> SdifSplitSelection(const std::string& name);

// ---------------------------------------------------------------------------------------------
// Frame and matrix headers without their elements (SDIFEntity::ReadNextFrameHeader).

// Shape of a matrix and where its elements lie in the file they were read from.
struct SDIFMatrixHeader {
  SdifSignature signature = 0;
  std::uint32_t type = eFloat4;
  int rows = 0;
  int cols = 0;
  std::int64_t data_offset = 0;  // byte offset of its first element in the file
};

struct SDIFFrameHeader {
  SdifSignature signature = 0;
  std::uint32_t stream = 0;
  double time = 0.0;                       // seconds
  std::vector<SDIFMatrixHeader> matrices;  // in file order

  // The matrix of that signature; nullptr when the frame has none.
  const SDIFMatrixHeader* Find(SdifSignature sig) const {
    for (const SDIFMatrixHeader& m : matrices) {
      if (m.signature == sig) return &m;
    }
    return nullptr;
  }
};

// ---------------------------------------------------------------------------------------------
// Entity: one SDIF file opened for reading or for writing.

class SDIFEntity {
 public:
  SDIFEntity();
  ~SDIFEntity();  // closes; a file being written and not closed is discarded
  SDIFEntity(const SDIFEntity&) = delete;
  SDIFEntity& operator=(const SDIFEntity&) = delete;

  // Header of a file to write, before OpenWrite. AddNVT appends a copy of the table.
  void AddNVT(const SDIFNameValueTable& table);
  // Declares a matrix type; columns separated by ',' ("Position, Fundamentalfrequency").
  void AddMatrixType(const std::string& sig, const std::string& columns);
  // Declares a frame type; components "MSIG name" separated by ';'
  // ("1ECS EpocsSmallReallocation; 1ECL EpocsLongReallocation").
  void AddFrameType(const std::string& sig, const std::string& components);

  // Starts writing the file at path: file header, the tables, the type declarations. False
  // when the file cannot be created (missing or read-only directory, path is a directory).
  [[nodiscard]] bool OpenWrite(const std::string& path);

  // Opens path for reading and reads its header frames. False when the file cannot be opened;
  // throws an SDIFException subclass when its file header or header frames are malformed.
  [[nodiscard]] bool OpenRead(const std::string& path);

  // Restricts the frames and matrices that ReadNextFrame delivers (see SDIFSelection::Parse);
  // the empty text selects everything. Throws SDIFUnDefined on a malformed selection.
  void ChangeSelection(const std::string& selection);
  const SDIFSelection& GetSelection() const;

  // Reads the next frame into frame (cleared first). Returns the bytes of the frame in the file,
  // or 0 when no selected frame was left before the end (frame then holds nothing useful).
  // Throws SDIFEof when called at the end, and another SDIFException subclass on a malformed
  // frame.
  std::size_t ReadNextFrame(SDIFFrame& frame);
  // Reads the next frame like ReadNextFrame, with every check it makes (sizes, padding, time
  // order, two matrices of one type), but leaves the matrices' elements in the file: header
  // receives the frame's fields and the shape and place of each matrix the selection keeps. The
  // selection's streams, frames, matrices and times apply; its rows and columns do not (read the
  // rows wanted with ReadMatrixRows). Skipping a large matrix costs a seek, not a read. Returns
  // and throws as ReadNextFrame; header.matrices keeps its storage from call to call.
  std::size_t ReadNextFrameHeader(SDIFFrameHeader& header);

  // Reads rows [first, first + count) of a matrix, every column, into out (which becomes a
  // count x cols matrix of the matrix's signature and type, its storage reused; see
  // SDIFMatrix::Reset). m is a header that ReadNextFrameHeader delivered from the file open in
  // this entity, from this frame or an earlier one; the place of the frame stream is kept, so
  // reading goes on with the next frame. Throws SDIFFileError when no file is open for reading,
  // SDIFArrayPosition when first < 0, count < 0 or first + count > m.rows, SDIFUnDefined for an
  // unknown type, and SDIFReading when m does not lie inside the file or its bytes cannot be
  // read (the file changed since).
  void ReadMatrixRows(const SDIFMatrixHeader& m, int first, int count, SDIFMatrix& out);

  // Writes a data frame of one matrix: rows x 1 float32 elements, values converted as
  // SDIFMatrix::SetCol converts them. The bytes are those of an SDIFFrame holding that matrix,
  // written without making it (no copy of the values is held). Throws as SDIFFrame::Write, and
  // SDIFUnDefined on an invalid matrix signature.
  std::size_t WriteColumnFrame(SdifSignature frame_sig, std::uint32_t stream, double time,
                               SdifSignature matrix_sig, const double* values, std::int64_t rows);

  // True when no frame is left to read.
  bool eof() const;

  // Finishes the file: writing entities flush, sync and move the file into place (throws
  // SDIFFileError when that fails). Closing a closed entity does nothing.
  void Close();
  bool IsOpen() const;

  // Header as read (or as prepared for writing).
  std::size_t GetNbNVT() const;
  // Table by position (0-based); throws SDIFArrayPosition when absent.
  const SDIFNameValueTable& GetNVT(std::size_t index) const;
  const SDIFTypeDeclarations& GetTypes() const;
  // Text of the 1IDS frame, empty when the file has none.
  const std::string& GetStreamIDsText() const;
  const std::string& GetPath() const;

 private:
  friend class SDIFFrame;
  friend bool SdifCheckFileFormat(const std::string& path);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
