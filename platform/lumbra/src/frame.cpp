// SDIFFrame: header fields and matrices of one frame.
#include "bytes.h"
#include "lumbra/lumbra.h"

void SDIFFrame::AddMatrix(const SDIFMatrix& m) {
  if (MatrixExists(m.GetSignature())) {
    throw SDIFMatrixDataError("frame " + lumbra_detail::SigForMessage(sig_) +
                              " already holds a matrix " +
                              lumbra_detail::SigForMessage(m.GetSignature()));
  }
  matrices_.push_back(m);
}

void SDIFFrame::AddMatrix(SDIFMatrix&& m) {
  if (MatrixExists(m.GetSignature())) {
    throw SDIFMatrixDataError("frame " + lumbra_detail::SigForMessage(sig_) +
                              " already holds a matrix " +
                              lumbra_detail::SigForMessage(m.GetSignature()));
  }
  matrices_.push_back(std::move(m));
}

SDIFMatrix& SDIFFrame::GetMatrix(std::size_t index) {
  return const_cast<SDIFMatrix&>(static_cast<const SDIFFrame&>(*this).GetMatrix(index));
}

const SDIFMatrix& SDIFFrame::GetMatrix(std::size_t index) const {
  if (index >= matrices_.size()) {
    throw SDIFArrayPosition("matrix " + std::to_string(index) + " of a frame holding " +
                            std::to_string(matrices_.size()));
  }
  return matrices_[index];
}

SDIFMatrix& SDIFFrame::GetMatrixWithSig(SdifSignature sig) {
  return const_cast<SDIFMatrix&>(static_cast<const SDIFFrame&>(*this).GetMatrixWithSig(sig));
}

const SDIFMatrix& SDIFFrame::GetMatrixWithSig(SdifSignature sig) const {
  for (const auto& m : matrices_) {
    if (m.GetSignature() == sig) return m;
  }
  throw SDIFArrayPosition("frame " + lumbra_detail::SigForMessage(sig_) + " holds no matrix " +
                          lumbra_detail::SigForMessage(sig));
}

bool SDIFFrame::MatrixExists(SdifSignature sig) const {
  for (const auto& m : matrices_) {
    if (m.GetSignature() == sig) return true;
  }
  return false;
}

std::int64_t SDIFFrame::SizeField() const {
  std::int64_t size = 16;
  for (const auto& m : matrices_) size += m.SizeInFile();
  return size;
}
