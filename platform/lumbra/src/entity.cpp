// SDIFEntity: writing and strict reading of one SDIF file, and the file check.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

#include "bytes.h"
#include "lumbra/lumbra.h"

using lumbra_detail::LoadBE32;
using lumbra_detail::LoadBEDouble;
using lumbra_detail::SigForMessage;

namespace {

constexpr std::size_t kFileHeaderBytes = 16;
constexpr std::size_t kFrameHeaderBytes = 24;
constexpr std::size_t kMatrixHeaderBytes = 16;
constexpr std::uint32_t kFormatVersion = 3;
constexpr std::uint32_t kTypesVersion = 1;
constexpr std::size_t kIoBufferBytes = 1 << 20;   // stdio buffer of a file, bytes
constexpr std::size_t kSwapChunkBytes = 1 << 16;  // matrix data converted per write, bytes
constexpr std::size_t kReadThroughBytes = 256;    // skips up to this are read, not sought

bool IsHeaderSignature(SdifSignature sig) {
  return sig == e1NVT || sig == e1TYP || sig == e1IDS;
}

// s without the spaces that open and close it (the declaration lists of AddMatrixType and
// AddFrameType).
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string ErrnoText() {
  return std::strerror(errno);
}

// Fixed fields of a frame as read, with the offset of its first byte.
struct FrameHeader {
  std::int64_t offset = 0;
  SdifSignature sig = 0;
  std::int64_t size = 0;  // the size field: bytes after the size field
  double time = 0.0;
  std::uint32_t stream = 0;
  std::int64_t count = 0;
  std::int64_t End() const { return offset + 8 + size; }
};

}  // namespace

struct SDIFEntity::Impl {
  enum class Mode { kClosed, kRead, kWrite };

  Mode mode = Mode::kClosed;
  std::string path;
  std::vector<SDIFNameValueTable> nvts;
  SDIFTypeDeclarations types;
  std::string ids_text;
  SDIFSelection selection;

  std::FILE* file = nullptr;
  std::vector<char> io_buffer;

  // Writing.
  std::string temp_path;
  bool data_written = false;
  double last_time = 0.0;

  // Reading.
  std::int64_t file_size = 0;
  std::int64_t pos = 0;  // offset of the next byte of the stream
  std::optional<FrameHeader> pending;
  bool data_seen = false;
  std::vector<SdifSignature> seen_scratch;  // matrix signatures of the frame being read
  double last_data_time = 0.0;

  ~Impl() { Discard(); }

  // Releases the file without finishing it; a file being written is removed.
  void Discard() noexcept {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
    if (mode == Mode::kWrite && !temp_path.empty()) ::unlink(temp_path.c_str());
    temp_path.clear();
    mode = Mode::kClosed;
    pending.reset();
  }

  [[noreturn]] void ReadFault(std::int64_t at, const std::string& what) const {
    throw SDIFReading(path + ": at byte " + std::to_string(at) + ": " + what);
  }

  // ---- reading -------------------------------------------------------------------------------

  void ReadExact(void* dst, std::size_t n) {
    if (n == 0) return;
    if (std::fread(dst, 1, n, file) != n) {
      ReadFault(pos, "the file ends or cannot be read (it changed while being read?)");
    }
    pos += static_cast<std::int64_t>(n);
  }

  void SkipTo(std::int64_t offset) {
    if (offset == pos) return;
    // Short skips read through the stdio buffer; seeking would drop it.
    if (offset > pos && offset - pos <= static_cast<std::int64_t>(kReadThroughBytes)) {
      unsigned char scratch[kReadThroughBytes];
      ReadExact(scratch, static_cast<std::size_t>(offset - pos));
      return;
    }
    if (::fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) {
      ReadFault(pos, "cannot seek: " + ErrnoText());
    }
    pos = offset;
  }

  void ReadFileHeader() {
    if (file_size < static_cast<std::int64_t>(kFileHeaderBytes)) {
      throw SDIFFileError(path + ": not an SDIF file (" + std::to_string(file_size) +
                          " bytes, shorter than the 16-byte file header)");
    }
    unsigned char h[kFileHeaderBytes];
    ReadExact(h, sizeof h);
    if (LoadBE32(h) != eSDIF) {
      throw SDIFFileError(path + ": not an SDIF file (it does not start with \"SDIF\")");
    }
    const std::uint32_t size = LoadBE32(h + 4);
    if (size != 8) {
      throw SDIFFileError(path + ": file header size " + std::to_string(size) +
                          ", expected 8 (an unfinished file?)");
    }
    const std::uint32_t version = LoadBE32(h + 8);
    if (version != kFormatVersion) {
      throw SDIFFileError(path + ": SDIF format version " + std::to_string(version) +
                          ", only version 3 is read");
    }
    const std::uint32_t types_version = LoadBE32(h + 12);
    if (types_version < kTypesVersion) {
      throw SDIFFileError(path + ": standard types version " + std::to_string(types_version) +
                          ", at least 1 expected");
    }
  }

  // Reads and checks the next frame header; nullopt at the end of the file.
  std::optional<FrameHeader> NextHeader() {
    if (pending) {
      FrameHeader h = *pending;
      pending.reset();
      return h;
    }
    const std::int64_t left = file_size - pos;
    if (left == 0) return std::nullopt;
    if (left < static_cast<std::int64_t>(kFrameHeaderBytes)) {
      ReadFault(pos, "the file is truncated: " + std::to_string(left) +
                         " bytes left, less than a 24-byte frame header");
    }
    unsigned char b[kFrameHeaderBytes];
    FrameHeader h;
    h.offset = pos;
    ReadExact(b, sizeof b);
    h.sig = LoadBE32(b);
    h.size = static_cast<std::int32_t>(LoadBE32(b + 4));
    h.time = LoadBEDouble(b + 8);
    h.stream = LoadBE32(b + 16);
    h.count = static_cast<std::int32_t>(LoadBE32(b + 20));
    if (!SdifSignatureIsValid(h.sig)) {
      ReadFault(h.offset, "frame signature " + SigForMessage(h.sig) +
                              " is not four printable characters (corrupted file?)");
    }
    const std::string frame = "frame " + SigForMessage(h.sig) + ": ";
    if (h.size < 16 || h.size % 8 != 0) {
      ReadFault(h.offset, frame + "size field " + std::to_string(h.size) +
                              " is not a multiple of 8 of at least 16");
    }
    if (8 + h.size > file_size - h.offset) {
      ReadFault(h.offset, frame + "size field " + std::to_string(h.size) +
                              " goes past the end of the file (" +
                              std::to_string(file_size - h.offset - 8) +
                              " bytes left; truncated file?)");
    }
    if (std::isnan(h.time)) ReadFault(h.offset, frame + "time is not a number");
    if (h.count < 0 || 16 * h.count > h.size - 16) {
      ReadFault(h.offset, frame + "matrix count " + std::to_string(h.count) +
                              " does not fit its size field " + std::to_string(h.size));
    }
    return h;
  }

  // Reads the matrices of the frame whose header is h. With out, the matrices kept by sel (or
  // all without sel) are stored in out; the others are checked and skipped. With headers, the
  // elements are skipped and the header of each matrix sel keeps is appended there instead.
  void ReadMatrices(const FrameHeader& h, SDIFFrame* out, const SDIFSelection* sel,
                    std::vector<SDIFMatrixHeader>* headers = nullptr) {
    const std::int64_t end = h.End();
    std::vector<SdifSignature>& seen = seen_scratch;
    seen.clear();
    for (std::int64_t i = 0; i < h.count; ++i) {
      const std::int64_t at = pos;
      if (end - at < static_cast<std::int64_t>(kMatrixHeaderBytes)) {
        ReadFault(at, "matrix " + std::to_string(i) + " of frame " + SigForMessage(h.sig) +
                          " starts past the end of its frame");
      }
      unsigned char b[kMatrixHeaderBytes];
      ReadExact(b, sizeof b);
      const SdifSignature msig = LoadBE32(b);
      const std::uint32_t type = LoadBE32(b + 4);
      const std::int64_t rows = static_cast<std::int32_t>(LoadBE32(b + 8));
      const std::int64_t cols = static_cast<std::int32_t>(LoadBE32(b + 12));
      // Text of the messages, built only when one is needed.
      const auto what = [&] {
        return "matrix " + SigForMessage(msig) + " of frame " + SigForMessage(h.sig) + ": ";
      };
      if (!SdifSignatureIsValid(msig)) {
        ReadFault(at, "matrix signature " + SigForMessage(msig) +
                          " is not four printable characters (corrupted file?)");
      }
      if (!SdifDataTypeIsKnown(type)) {
        const bool old = type == 0x1 || type == 0x2 || type == 0x20 || type == 0x40;
        throw SDIFUnDefined(path + ": at byte " + std::to_string(at) + ": " + what() +
                            "data type code " + std::to_string(type) +
                            (old ? " is from a format version before 3" : " is unknown"));
      }
      if (rows < 0 || cols < 0) {
        ReadFault(at, what() + std::to_string(rows) + " rows and " + std::to_string(cols) +
                          " columns: counts must not be negative");
      }
      const auto es = static_cast<std::int64_t>(SdifSizeofDataType(type));
      const std::int64_t left = end - pos;
      const std::int64_t elements = rows * cols;  // both below 2^31: no overflow
      if (elements > left / es) {
        ReadFault(at, what() + std::to_string(rows) + " x " + std::to_string(cols) + " " +
                          SdifDataTypeName(type) + " elements need more than the " +
                          std::to_string(left) + " bytes left in the frame");
      }
      const std::int64_t data = elements * es;
      const std::int64_t padded = data + lumbra_detail::Padding8(data);
      if (padded > left) {
        ReadFault(at, what() + "its padding goes past the end of the frame");
      }
      for (const SdifSignature s : seen) {
        if (s == msig) {
          throw SDIFMatrixDataError(path + ": at byte " + std::to_string(at) + ": frame " +
                                    SigForMessage(h.sig) + " holds two matrices " +
                                    SigForMessage(msig));
        }
      }
      seen.push_back(msig);

      const bool keep = out != nullptr && (sel == nullptr || sel->SelectsMatrix(msig));
      const auto npad = static_cast<std::size_t>(padded - data);
      if (!keep) {
        if (headers != nullptr && (sel == nullptr || sel->SelectsMatrix(msig))) {
          headers->push_back({msig, type, static_cast<int>(rows), static_cast<int>(cols), pos});
        }
        SkipTo(pos + data);
        CheckPadding(npad, what);
        continue;
      }
      SDIFMatrix m = SDIFMatrix::Unset(msig, static_cast<int>(rows), static_cast<int>(cols), type);
      auto& bytes = m.MutableData();
      ReadExact(bytes.data(), bytes.size());
      lumbra_detail::SwapElements(bytes.data(), static_cast<std::size_t>(elements),
                                  static_cast<std::size_t>(es));
      CheckPadding(npad, what);
      if (sel != nullptr && !(sel->AllRows() && sel->AllColumns())) m = Subset(m, *sel);
      out->AddMatrix(std::move(m));
    }
    if (pos != end) {
      ReadFault(pos, "the matrices of frame " + SigForMessage(h.sig) + " at byte " +
                         std::to_string(h.offset) + " end " + std::to_string(end - pos) +
                         " bytes before the end given by its size field");
    }
  }

  // Reads the npad padding bytes that follow matrix data; they must be zero.
  template <class What>
  void CheckPadding(std::size_t npad, const What& what) {
    unsigned char pad[8] = {};
    ReadExact(pad, npad);
    for (std::size_t k = 0; k < npad; ++k) {
      if (pad[k] != 0) {
        throw SDIFMatrixDataError(path + ": at byte " + std::to_string(pos - npad) + ": " + what() +
                                  "padding bytes are not zero");
      }
    }
  }

  static SDIFMatrix Subset(const SDIFMatrix& m, const SDIFSelection& sel) {
    std::vector<int> rows, cols;
    for (int r = 0; r < m.GetNbRows(); ++r) {
      if (sel.SelectsRow(r + 1)) rows.push_back(r);
    }
    for (int c = 0; c < m.GetNbCols(); ++c) {
      if (sel.SelectsColumn(c + 1)) cols.push_back(c);
    }
    SDIFMatrix s = SDIFMatrix::Unset(m.GetSignature(), static_cast<int>(rows.size()),
                                     static_cast<int>(cols.size()), m.GetType());
    const std::size_t es = SdifSizeofDataType(m.GetType());
    const auto& src = m.Data();
    auto& dst = s.MutableData();
    std::size_t k = 0;
    for (const int r : rows) {
      for (const int c : cols) {
        std::memcpy(dst.data() + k,
                    src.data() + (static_cast<std::size_t>(r) * m.GetNbCols() + c) * es, es);
        k += es;
      }
    }
    return s;
  }

  // Reads a header frame (1NVT, 1TYP, 1IDS) and stores what it holds.
  void ReadHeaderFrame(const FrameHeader& h) {
    SDIFFrame f;
    ReadMatrices(h, &f, nullptr);
    const std::string name = SdifSignatureToString(h.sig);
    if (f.GetNbMatrix() != 1 || f.GetMatrix(0).GetSignature() != h.sig ||
        f.GetMatrix(0).GetType() != eText || f.GetMatrix(0).GetNbCols() > 1 ||
        (f.GetMatrix(0).GetNbCols() == 0 && f.GetMatrix(0).GetNbRows() != 0)) {
      throw SDIFAsciiChunkError(path + ": at byte " + std::to_string(h.offset) + ": header frame " +
                                name + " must hold exactly one " + name +
                                " text matrix of one column");
    }
    const std::string text = f.GetMatrix(0).GetText();
    try {
      if (h.sig == e1NVT) {
        nvts.push_back(SDIFNameValueTable::FromText(text));
      } else if (h.sig == e1TYP) {
        if (!types.empty()) throw SDIFAsciiChunkError("a second 1TYP frame");
        types = SDIFTypeDeclarations::FromText(text);
      } else {
        std::string_view t = text;
        while (!t.empty() && t.back() == '\0') t.remove_suffix(1);
        if (t.find('\0') != std::string_view::npos || !lumbra_detail::IsValidUtf8(t)) {
          throw SDIFAsciiChunkError("stream table text holds a zero byte or invalid UTF-8");
        }
        ids_text = std::string(t);
      }
    } catch (const SDIFAsciiChunkError& e) {
      throw SDIFAsciiChunkError(path + ": at byte " + std::to_string(h.offset) + ": " + e.Text());
    }
  }

  // Reads the header frames that open the file; stops before the first data frame.
  void ReadHeaderFrames() {
    while (auto h = NextHeader()) {
      if (!IsHeaderSignature(h->sig)) {
        pending = *h;
        return;
      }
      ReadHeaderFrame(*h);
    }
  }

  // Checks the order rules of a data frame.
  void CheckDataFrame(const FrameHeader& h) {
    if (IsHeaderSignature(h.sig)) {
      ReadFault(h.offset, "header frame " + SigForMessage(h.sig) + " after data frames");
    }
    if (!std::isfinite(h.time)) ReadFault(h.offset, "frame time is infinite");
    if (data_seen && h.time < last_data_time) {
      ReadFault(h.offset, "frame time " + std::to_string(h.time) +
                              " s is before the previous frame's " +
                              std::to_string(last_data_time) + " s");
    }
    data_seen = true;
    last_data_time = h.time;
  }

  // ---- writing -------------------------------------------------------------------------------

  void WriteBytes(const void* p, std::size_t n) {
    if (n != 0 && std::fwrite(p, 1, n, file) != n) {
      throw SDIFFileError(path + ": write failed: " + ErrnoText());
    }
  }

  void WriteFrameHeader(SdifSignature sig, std::int64_t size, double time, std::uint32_t stream,
                        std::size_t matrices) {
    unsigned char h[kFrameHeaderBytes];
    lumbra_detail::StoreBE32(h, sig);
    lumbra_detail::StoreBE32(h + 4, static_cast<std::uint32_t>(size));
    lumbra_detail::StoreBEDouble(h + 8, time);
    lumbra_detail::StoreBE32(h + 16, stream);
    lumbra_detail::StoreBE32(h + 20, static_cast<std::uint32_t>(matrices));
    WriteBytes(h, sizeof h);
  }

  void WriteMatrixHeader(SdifSignature sig, std::uint32_t type, int rows, int cols) {
    unsigned char mh[kMatrixHeaderBytes];
    lumbra_detail::StoreBE32(mh, sig);
    lumbra_detail::StoreBE32(mh + 4, type);
    lumbra_detail::StoreBE32(mh + 8, static_cast<std::uint32_t>(rows));
    lumbra_detail::StoreBE32(mh + 12, static_cast<std::uint32_t>(cols));
    WriteBytes(mh, sizeof mh);
  }

  // The checks of a data frame about to be written at time: signature, finite time, order.
  void CheckFrameToWrite(SdifSignature sig, double time) const {
    if (!SdifSignatureIsValid(sig)) {
      throw SDIFUnDefined(path + ": invalid frame signature " + lumbra_detail::SigForMessage(sig));
    }
    if (IsHeaderSignature(sig)) {
      throw SDIFFileError(path + ": header frames are written by OpenWrite, not as data");
    }
    if (!std::isfinite(time)) {
      throw SDIFFileError(path + ": frame " + lumbra_detail::SigForMessage(sig) +
                          ": time is not a finite number");
    }
    if (data_written && time < last_time) {
      throw SDIFFileError(path + ": frame " + lumbra_detail::SigForMessage(sig) + " at " +
                          std::to_string(time) + " s would come after a frame at " +
                          std::to_string(last_time) + " s: frame times must not decrease");
    }
  }

  std::size_t WriteFrame(const SDIFFrame& f) {
    const std::int64_t size = f.SizeField();
    if (size > kSdifMaxFrameSize) {
      throw SDIFFileError(path + ": frame " + SigForMessage(f.GetSignature()) + " of " +
                          std::to_string(size) +
                          " bytes does not fit the format's 32-bit size field");
    }
    WriteFrameHeader(f.GetSignature(), size, f.GetTime(), f.GetStreamID(), f.GetNbMatrix());
    std::vector<unsigned char> chunk;
    for (std::size_t i = 0; i < f.GetNbMatrix(); ++i) {
      const SDIFMatrix& m = f.GetMatrix(i);
      WriteMatrixHeader(m.GetSignature(), m.GetType(), m.GetNbRows(), m.GetNbCols());
      const auto& data = m.Data();
      const std::size_t es = SdifSizeofDataType(m.GetType());
      if (es == 1 || std::endian::native == std::endian::big) {
        WriteBytes(data.data(), data.size());
      } else {
        chunk.resize(std::min(data.size(), kSwapChunkBytes));
        for (std::size_t at = 0; at < data.size(); at += chunk.size()) {
          const std::size_t n = std::min(chunk.size(), data.size() - at);
          std::memcpy(chunk.data(), data.data() + at, n);
          lumbra_detail::SwapElements(chunk.data(), n / es, es);
          WriteBytes(chunk.data(), n);
        }
      }
      static constexpr unsigned char kZeros[8] = {};
      WriteBytes(kZeros, static_cast<std::size_t>(
                             lumbra_detail::Padding8(static_cast<std::int64_t>(data.size()))));
    }
    return static_cast<std::size_t>(8 + size);
  }

  void WriteTextFrame(SdifSignature sig, std::uint32_t stream, const std::string& text) {
    SDIFFrame f;
    f.SetHeader(sig, stream, 0.0);
    f.AddMatrix(SDIFMatrix::Text(sig, text));
    WriteFrame(f);
  }
};

SDIFEntity::SDIFEntity() : impl_(std::make_unique<Impl>()) {}
SDIFEntity::~SDIFEntity() = default;

void SDIFEntity::AddNVT(const SDIFNameValueTable& table) {
  if (impl_->mode != Impl::Mode::kClosed) {
    throw SDIFFileError("AddNVT: tables are added before the file is opened");
  }
  impl_->nvts.push_back(table);
}

void SDIFEntity::AddMatrixType(const std::string& sig, const std::string& columns) {
  if (impl_->mode != Impl::Mode::kClosed) {
    throw SDIFFileError("AddMatrixType: types are declared before the file is opened");
  }
  SDIFMatrixType m;
  m.signature = SdifStringToSignature(sig);
  std::string_view rest = columns;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view name = TrimSpaces(rest.substr(0, comma));
    if (name.empty() || name.find_first_of("{};,\n\t") != std::string_view::npos) {
      throw SDIFAsciiChunkError("AddMatrixType " + sig + ": bad column list \"" + columns + "\"");
    }
    m.columns.emplace_back(name);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  for (const auto& other : impl_->types.matrices) {
    if (other.signature == m.signature) {
      throw SDIFAsciiChunkError("AddMatrixType: matrix type " + sig + " declared twice");
    }
  }
  impl_->types.matrices.push_back(std::move(m));
}

void SDIFEntity::AddFrameType(const std::string& sig, const std::string& components) {
  if (impl_->mode != Impl::Mode::kClosed) {
    throw SDIFFileError("AddFrameType: types are declared before the file is opened");
  }
  SDIFFrameType f;
  f.signature = SdifStringToSignature(sig);
  std::string_view rest = components;
  while (!rest.empty()) {
    const std::size_t semi = rest.find(';');
    const std::string_view item = TrimSpaces(rest.substr(0, semi));
    if (!item.empty()) {
      const std::size_t blank = item.find(' ');
      const std::string_view name =
          blank == std::string_view::npos ? "" : TrimSpaces(item.substr(blank + 1));
      if (blank != 4 || name.empty() || name.find_first_of("{};,\n\t") != std::string_view::npos) {
        throw SDIFAsciiChunkError("AddFrameType " + sig + ": bad component \"" + std::string(item) +
                                  "\"");
      }
      f.components.push_back({SdifStringToSignature(item.substr(0, 4)), std::string(name)});
    }
    if (semi == std::string_view::npos) break;
    rest.remove_prefix(semi + 1);
  }
  for (const auto& other : impl_->types.frames) {
    if (other.signature == f.signature) {
      throw SDIFAsciiChunkError("AddFrameType: frame type " + sig + " declared twice");
    }
  }
  impl_->types.frames.push_back(std::move(f));
}

bool SDIFEntity::OpenWrite(const std::string& path) {
  Impl& d = *impl_;
  if (d.mode != Impl::Mode::kClosed) Close();
  std::error_code ec;
  if (path.empty() || std::filesystem::is_directory(path, ec)) return false;
  if (std::filesystem::exists(path, ec) && ::access(path.c_str(), W_OK) != 0) return false;

  // Write under a temporary name in the same directory; Close renames it.
  static unsigned counter = 0;
  int fd = -1;
  std::string temp;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  d.file = ::fdopen(fd, "wb");
  if (d.file == nullptr) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  d.io_buffer.resize(kIoBufferBytes);
  std::setvbuf(d.file, d.io_buffer.data(), _IOFBF, d.io_buffer.size());
  d.mode = Impl::Mode::kWrite;
  d.path = path;
  d.temp_path = temp;
  d.data_written = false;

  unsigned char h[kFileHeaderBytes];
  lumbra_detail::StoreBE32(h, eSDIF);
  lumbra_detail::StoreBE32(h + 4, 8);
  lumbra_detail::StoreBE32(h + 8, kFormatVersion);
  lumbra_detail::StoreBE32(h + 12, kTypesVersion);
  d.WriteBytes(h, sizeof h);
  for (const auto& t : d.nvts) d.WriteTextFrame(e1NVT, kNVTStreamID, t.ToText());
  if (!d.types.empty()) d.WriteTextFrame(e1TYP, kTYPStreamID, d.types.ToText());
  return true;
}

std::size_t SDIFFrame::Write(SDIFEntity& entity) const {
  SDIFEntity::Impl& d = *entity.impl_;
  if (d.mode != SDIFEntity::Impl::Mode::kWrite) {
    throw SDIFFileError("SDIFFrame::Write: the entity is not open for writing");
  }
  d.CheckFrameToWrite(sig_, time_);
  const std::size_t n = d.WriteFrame(*this);
  d.data_written = true;
  d.last_time = time_;
  return n;
}

std::size_t SDIFEntity::WriteColumnFrame(SdifSignature frame_sig, std::uint32_t stream, double time,
                                         SdifSignature matrix_sig, const double* values,
                                         std::int64_t rows) {
  Impl& d = *impl_;
  if (d.mode != Impl::Mode::kWrite) {
    throw SDIFFileError("WriteColumnFrame: the entity is not open for writing");
  }
  if (!SdifSignatureIsValid(matrix_sig)) {
    throw SDIFUnDefined(d.path + ": invalid matrix signature " +
                        lumbra_detail::SigForMessage(matrix_sig));
  }
  d.CheckFrameToWrite(frame_sig, time);
  const std::int64_t data = rows * static_cast<std::int64_t>(sizeof(float));
  const std::int64_t padded = data + lumbra_detail::Padding8(data);
  const std::int64_t size = 16 + static_cast<std::int64_t>(kMatrixHeaderBytes) + padded;
  if (rows < 0 || rows > 2147483647 || size > kSdifMaxFrameSize) {
    throw SDIFFileError(d.path + ": frame " + lumbra_detail::SigForMessage(frame_sig) + " of " +
                        std::to_string(rows) + " rows does not fit the format's 32-bit size field");
  }
  d.WriteFrameHeader(frame_sig, size, time, stream, 1);
  d.WriteMatrixHeader(matrix_sig, eFloat4, static_cast<int>(rows), 1);
  // Converted and put in file order a chunk at a time: the values are never copied whole.
  constexpr std::size_t kChunkRows = kSwapChunkBytes / sizeof(float);
  unsigned char chunk[kSwapChunkBytes];
  for (std::int64_t at = 0; at < rows;) {
    const auto n = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(kChunkRows), rows - at));
    for (std::size_t k = 0; k < n; ++k) {
      auto v = std::bit_cast<std::uint32_t>(static_cast<float>(values[at + k]));
      if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
      std::memcpy(chunk + 4 * k, &v, sizeof v);
    }
    d.WriteBytes(chunk, 4 * n);
    at += static_cast<std::int64_t>(n);
  }
  static constexpr unsigned char kZeros[8] = {};
  d.WriteBytes(kZeros, static_cast<std::size_t>(padded - data));
  d.data_written = true;
  d.last_time = time;
  return static_cast<std::size_t>(8 + size);
}

bool SDIFEntity::OpenRead(const std::string& path) {
  Impl& d = *impl_;
  if (d.mode != Impl::Mode::kClosed) Close();
  d.nvts.clear();
  d.types = {};
  d.ids_text.clear();
  d.pending.reset();
  d.data_seen = false;
  d.pos = 0;
  // Opened without blocking and refused unless it is a regular file: a FIFO would block the
  // open until some writer came, a device would never end.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return false;
  }
  d.file = ::fdopen(fd, "rb");
  if (d.file == nullptr) {
    ::close(fd);
    return false;
  }
  d.io_buffer.resize(kIoBufferBytes);
  std::setvbuf(d.file, d.io_buffer.data(), _IOFBF, d.io_buffer.size());
  d.mode = Impl::Mode::kRead;
  d.path = path;
  d.file_size = static_cast<std::int64_t>(st.st_size);
  try {
    d.ReadFileHeader();
    d.ReadHeaderFrames();
  } catch (...) {
    d.Discard();
    throw;
  }
  return true;
}

void SDIFEntity::ChangeSelection(const std::string& selection) {
  impl_->selection = SDIFSelection::Parse(selection);
}

const SDIFSelection& SDIFEntity::GetSelection() const {
  return impl_->selection;
}

std::size_t SDIFEntity::ReadNextFrame(SDIFFrame& frame) {
  Impl& d = *impl_;
  if (d.mode != Impl::Mode::kRead) throw SDIFFileError("ReadNextFrame: no file open for reading");
  frame.ClearData();
  bool first = true;
  for (;;) {
    auto h = d.NextHeader();
    if (!h) {
      if (first) throw SDIFEof(d.path + ": end of file");
      return 0;
    }
    first = false;
    d.CheckDataFrame(*h);
    const SDIFSelection& sel = d.selection;
    if (!sel.SelectsFrame(h->sig) || !sel.SelectsStream(h->stream) || !sel.SelectsTime(h->time)) {
      d.ReadMatrices(*h, nullptr, nullptr);
      continue;
    }
    frame.SetHeader(h->sig, h->stream, h->time);
    d.ReadMatrices(*h, &frame, &sel);
    // A frame that matches but keeps none of its matrices is skipped.
    if (frame.GetNbMatrix() == 0 && h->count != 0) continue;
    return static_cast<std::size_t>(8 + h->size);
  }
}

std::size_t SDIFEntity::ReadNextFrameHeader(SDIFFrameHeader& header) {
  Impl& d = *impl_;
  if (d.mode != Impl::Mode::kRead) {
    throw SDIFFileError("ReadNextFrameHeader: no file open for reading");
  }
  header.matrices.clear();
  bool first = true;
  for (;;) {
    auto h = d.NextHeader();
    if (!h) {
      if (first) throw SDIFEof(d.path + ": end of file");
      return 0;
    }
    first = false;
    d.CheckDataFrame(*h);
    const SDIFSelection& sel = d.selection;
    if (!sel.SelectsFrame(h->sig) || !sel.SelectsStream(h->stream) || !sel.SelectsTime(h->time)) {
      d.ReadMatrices(*h, nullptr, nullptr);
      continue;
    }
    header.signature = h->sig;
    header.stream = h->stream;
    header.time = h->time;
    d.ReadMatrices(*h, nullptr, &sel, &header.matrices);
    // As ReadNextFrame: a frame that matches but keeps none of its matrices is skipped.
    if (header.matrices.empty() && h->count != 0) continue;
    return static_cast<std::size_t>(8 + h->size);
  }
}

void SDIFEntity::ReadMatrixRows(const SDIFMatrixHeader& m, int first, int count, SDIFMatrix& out) {
  Impl& d = *impl_;
  if (d.mode != Impl::Mode::kRead) throw SDIFFileError("ReadMatrixRows: no file open for reading");
  const std::string what = d.path + ": matrix " + lumbra_detail::SigForMessage(m.signature);
  if (!SdifDataTypeIsKnown(m.type)) {
    throw SDIFUnDefined(what + ": unknown data type code " + std::to_string(m.type));
  }
  if (m.rows < 0 || m.cols < 0 || first < 0 || count < 0 ||
      static_cast<std::int64_t>(first) + count > m.rows) {
    throw SDIFArrayPosition(what + ": rows " + std::to_string(first) + " to " +
                            std::to_string(static_cast<std::int64_t>(first) + count) +
                            " asked of a matrix of " + std::to_string(m.rows) + " rows");
  }
  const auto es = static_cast<std::int64_t>(SdifSizeofDataType(m.type));
  const std::int64_t row_bytes = es * m.cols;
  if (m.data_offset < 0 || m.data_offset > d.file_size ||
      (m.rows != 0 && row_bytes > (d.file_size - m.data_offset) / m.rows)) {
    d.ReadFault(m.data_offset, what + ": its elements would lie outside the file");
  }
  out.Reset(m.signature, count, m.cols, m.type);
  const std::int64_t resume = d.pos;
  try {
    d.SkipTo(m.data_offset + first * row_bytes);
    auto& bytes = out.MutableData();
    d.ReadExact(bytes.data(), bytes.size());
    lumbra_detail::SwapElements(bytes.data(), bytes.size() / static_cast<std::size_t>(es),
                                static_cast<std::size_t>(es));
  } catch (...) {
    // Back to the frame stream whatever happened, so that the next read starts right.
    if (::fseeko(d.file, static_cast<off_t>(resume), SEEK_SET) == 0) d.pos = resume;
    throw;
  }
  d.SkipTo(resume);
}

bool SDIFEntity::eof() const {
  const Impl& d = *impl_;
  return d.mode != Impl::Mode::kRead || (!d.pending && d.pos == d.file_size);
}

void SDIFEntity::Close() {
  Impl& d = *impl_;
  if (d.mode == Impl::Mode::kWrite) {
    const std::string temp = d.temp_path;
    bool ok = std::fflush(d.file) == 0 && std::ferror(d.file) == 0;
    std::string why = ok ? "" : ErrnoText();
    if (ok && ::fsync(::fileno(d.file)) != 0 && errno != EINVAL && errno != EROFS) {
      ok = false;
      why = ErrnoText();
    }
    const int closed = std::fclose(d.file);
    d.file = nullptr;
    if (ok && closed != 0) {
      ok = false;
      why = ErrnoText();
    }
    if (ok && std::rename(temp.c_str(), d.path.c_str()) != 0) {
      ok = false;
      why = ErrnoText();
    }
    if (!ok) {
      ::unlink(temp.c_str());
      d.temp_path.clear();
      d.mode = Impl::Mode::kClosed;
      throw SDIFFileError(d.path + ": cannot finish writing the file: " + why);
    }
    d.temp_path.clear();
    d.mode = Impl::Mode::kClosed;
    return;
  }
  d.Discard();
}

bool SDIFEntity::IsOpen() const {
  return impl_->mode != Impl::Mode::kClosed;
}

std::size_t SDIFEntity::GetNbNVT() const {
  return impl_->nvts.size();
}

const SDIFNameValueTable& SDIFEntity::GetNVT(std::size_t index) const {
  if (index >= impl_->nvts.size()) {
    throw SDIFArrayPosition(impl_->path + ": name-value table " + std::to_string(index) +
                            " asked, the file has " + std::to_string(impl_->nvts.size()));
  }
  return impl_->nvts[index];
}

const SDIFTypeDeclarations& SDIFEntity::GetTypes() const {
  return impl_->types;
}
const std::string& SDIFEntity::GetStreamIDsText() const {
  return impl_->ids_text;
}
const std::string& SDIFEntity::GetPath() const {
  return impl_->path;
}

bool SdifCheckFileFormat(const std::string& path) {
  try {
    SDIFEntity e;
    if (!e.OpenRead(path)) return false;
    SDIFEntity::Impl& d = *e.impl_;
    while (auto h = d.NextHeader()) {
      d.CheckDataFrame(*h);
      d.ReadMatrices(*h, nullptr, nullptr);
    }
    return true;
  } catch (const SDIFException&) {
    return false;
  } catch (const std::exception&) {
    return false;
  }
}
