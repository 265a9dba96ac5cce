// SDIFMatrix: typed elements stored row by row in the host's byte order.
#include <cmath>
#include <cstring>
#include <limits>

#include "bytes.h"
#include "lumbra/lumbra.h"

namespace {

void CheckShape(std::int64_t rows, std::int64_t cols) {
  if (rows < 0 || cols < 0) {
    throw SDIFArrayPosition("matrix of " + std::to_string(rows) + " rows and " +
                            std::to_string(cols) + " columns: counts must not be negative");
  }
}

template <typename T>
T ClampTo(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(std::numeric_limits<T>::lowest())) {
    return std::numeric_limits<T>::lowest();
  }
  if (v >= static_cast<double>(std::numeric_limits<T>::max())) {
    return std::numeric_limits<T>::max();
  }
  return static_cast<T>(v);
}

template <typename T>
T Load(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
void Put(unsigned char* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

double LoadAsDouble(std::uint32_t type, const unsigned char* p) {
  switch (type) {
    case eFloat4:
      return Load<float>(p);
    case eFloat8:
      return Load<double>(p);
    case eInt1:
      return Load<std::int8_t>(p);
    case eInt2:
      return Load<std::int16_t>(p);
    case eInt4:
      return Load<std::int32_t>(p);
    case eInt8:
      return static_cast<double>(Load<std::int64_t>(p));
    case eUInt1:
      return Load<std::uint8_t>(p);
    case eUInt2:
      return Load<std::uint16_t>(p);
    case eUInt4:
      return Load<std::uint32_t>(p);
    case eUInt8:
      return static_cast<double>(Load<std::uint64_t>(p));
    default:
      throw SDIFMatrixDataError("numeric access to a " + SdifDataTypeName(type) + " matrix");
  }
}

void StoreDouble(std::uint32_t type, unsigned char* p, double v) {
  switch (type) {
    case eFloat4:
      Put(p, static_cast<float>(v));
      break;
    case eFloat8:
      Put(p, v);
      break;
    case eInt1:
      Put(p, ClampTo<std::int8_t>(v));
      break;
    case eInt2:
      Put(p, ClampTo<std::int16_t>(v));
      break;
    case eInt4:
      Put(p, ClampTo<std::int32_t>(v));
      break;
    case eInt8:
      Put(p, ClampTo<std::int64_t>(v));
      break;
    case eUInt1:
      Put(p, ClampTo<std::uint8_t>(v));
      break;
    case eUInt2:
      Put(p, ClampTo<std::uint16_t>(v));
      break;
    case eUInt4:
      Put(p, ClampTo<std::uint32_t>(v));
      break;
    case eUInt8:
      Put(p, ClampTo<std::uint64_t>(v));
      break;
    default:
      throw SDIFMatrixDataError("numeric access to a " + SdifDataTypeName(type) + " matrix");
  }
}

}  // namespace

SDIFMatrix::SDIFMatrix(SdifSignature sig, int rows, int cols, std::uint32_t type)
    : sig_(sig), type_(type) {
  if (!SdifSignatureIsValid(sig)) {
    throw SDIFUnDefined("invalid matrix signature " + lumbra_detail::SigForMessage(sig));
  }
  if (!SdifDataTypeIsKnown(type)) {
    throw SDIFUnDefined("unknown matrix data type " + std::to_string(type));
  }
  CheckShape(rows, cols);
  rows_ = rows;
  cols_ = cols;
  data_.assign(
      static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) * SdifSizeofDataType(type),
      0);
}

SDIFMatrix SDIFMatrix::Unset(SdifSignature sig, int rows, int cols, std::uint32_t type) {
  SDIFMatrix m(sig, 0, 0, type);
  CheckShape(rows, cols);
  m.rows_ = rows;
  m.cols_ = cols;
  m.data_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) *
                 SdifSizeofDataType(type));
  return m;
}

void SDIFMatrix::Reset(SdifSignature sig, int rows, int cols, std::uint32_t type) {
  if (!SdifSignatureIsValid(sig)) {
    throw SDIFUnDefined("invalid matrix signature " + lumbra_detail::SigForMessage(sig));
  }
  if (!SdifDataTypeIsKnown(type)) {
    throw SDIFUnDefined("unknown matrix data type " + std::to_string(type));
  }
  CheckShape(rows, cols);
  sig_ = sig;
  type_ = type;
  rows_ = rows;
  cols_ = cols;
  data_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) *
               SdifSizeofDataType(type));
}

SDIFMatrix SDIFMatrix::Text(SdifSignature sig, std::string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw SDIFArrayPosition("text of " + std::to_string(text.size()) +
                            " bytes is too long for a matrix");
  }
  SDIFMatrix m(sig, static_cast<int>(text.size()), 1, eText);
  std::memcpy(m.data_.data(), text.data(), text.size());
  return m;
}

void SDIFMatrix::Resize(int rows, int cols) {
  CheckShape(rows, cols);
  const std::size_t es = SdifSizeofDataType(type_);
  Bytes next(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) * es, 0);
  const int kr = std::min(rows, rows_), kc = std::min(cols, cols_);
  for (int r = 0; r < kr; ++r) {
    std::memcpy(next.data() + (static_cast<std::size_t>(r) * cols) * es,
                data_.data() + (static_cast<std::size_t>(r) * cols_) * es,
                static_cast<std::size_t>(kc) * es);
  }
  data_ = std::move(next);
  rows_ = rows;
  cols_ = cols;
}

std::size_t SDIFMatrix::Offset(int row, int col) const {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_) {
    throw SDIFArrayPosition("element (" + std::to_string(row) + ", " + std::to_string(col) +
                            ") outside the " + std::to_string(rows_) + " x " +
                            std::to_string(cols_) + " matrix " +
                            lumbra_detail::SigForMessage(sig_));
  }
  return (static_cast<std::size_t>(row) * cols_ + col) * SdifSizeofDataType(type_);
}

double SDIFMatrix::GetDouble(int row, int col) const {
  return LoadAsDouble(type_, data_.data() + Offset(row, col));
}

std::int64_t SDIFMatrix::GetInt(int row, int col) const {
  const unsigned char* p = data_.data() + Offset(row, col);
  switch (type_) {
    case eInt1:
      return Load<std::int8_t>(p);
    case eInt2:
      return Load<std::int16_t>(p);
    case eInt4:
      return Load<std::int32_t>(p);
    case eInt8:
      return Load<std::int64_t>(p);
    case eUInt1:
      return Load<std::uint8_t>(p);
    case eUInt2:
      return Load<std::uint16_t>(p);
    case eUInt4:
      return Load<std::uint32_t>(p);
    case eUInt8:
      return static_cast<std::int64_t>(Load<std::uint64_t>(p));
    default:
      return ClampTo<std::int64_t>(LoadAsDouble(type_, p));
  }
}

void SDIFMatrix::GetCol(int col, double* out) const {
  if (rows_ == 0) return;
  Offset(0, col);  // range check of the column
  const std::size_t es = SdifSizeofDataType(type_);
  const std::size_t stride = static_cast<std::size_t>(cols_) * es;
  const unsigned char* p = data_.data() + static_cast<std::size_t>(col) * es;
  if (type_ == eFloat4) {
    for (int r = 0; r < rows_; ++r, p += stride) out[r] = Load<float>(p);
  } else {
    for (int r = 0; r < rows_; ++r, p += stride) out[r] = LoadAsDouble(type_, p);
  }
}

void SDIFMatrix::Set(int row, int col, double value) {
  StoreDouble(type_, data_.data() + Offset(row, col), value);
}

void SDIFMatrix::Set(int row, int col, int value) {
  Set(row, col, static_cast<double>(value));
}

void SDIFMatrix::SetCol(int col, const double* values) {
  if (rows_ == 0) return;
  Offset(0, col);
  const std::size_t es = SdifSizeofDataType(type_);
  const std::size_t stride = static_cast<std::size_t>(cols_) * es;
  unsigned char* p = data_.data() + static_cast<std::size_t>(col) * es;
  if (type_ == eFloat4) {
    for (int r = 0; r < rows_; ++r, p += stride) Put(p, static_cast<float>(values[r]));
  } else {
    for (int r = 0; r < rows_; ++r, p += stride) StoreDouble(type_, p, values[r]);
  }
}

std::string SDIFMatrix::GetText() const {
  if (type_ != eText && type_ != eByte) {
    throw SDIFMatrixDataError("text access to a " + SdifDataTypeName(type_) + " matrix");
  }
  return std::string(reinterpret_cast<const char*>(data_.data()), data_.size());
}
