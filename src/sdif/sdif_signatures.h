// Signatures of the frames and matrices of the analysis files.
#pragma once

#include "lumbra/lumbra.h"

inline constexpr SdifSignature k1FQ0 = SdifSignatureConst('1', 'F', 'Q', '0');
inline constexpr SdifSignature k1EPC = SdifSignatureConst('1', 'E', 'P', 'C');
inline constexpr SdifSignature k1ECS = SdifSignatureConst('1', 'E', 'C', 'S');
inline constexpr SdifSignature k1ECL = SdifSignatureConst('1', 'E', 'C', 'L');
inline constexpr SdifSignature k1VUV = SdifSignatureConst('1', 'V', 'U', 'V');
inline constexpr SdifSignature k1VUN = SdifSignatureConst('1', 'V', 'U', 'N');
inline constexpr SdifSignature k1VUF = SdifSignatureConst('1', 'V', 'U', 'F');
inline constexpr SdifSignature k1VUT = SdifSignatureConst('1', 'V', 'U', 'T');
inline constexpr SdifSignature k1MRK = SdifSignatureConst('1', 'M', 'R', 'K');
inline constexpr SdifSignature k1PEM = SdifSignatureConst('1', 'P', 'E', 'M');
inline constexpr SdifSignature k1BEG = SdifSignatureConst('1', 'B', 'E', 'G');
inline constexpr SdifSignature k1END = SdifSignatureConst('1', 'E', 'N', 'D');
inline constexpr SdifSignature k1PSO = SdifSignatureConst('1', 'P', 'S', 'O');
inline constexpr SdifSignature kITDS = SdifSignatureConst('I', 'T', 'D', 'S');

// Largest number of rows of a one-column float32 matrix alone in a frame: the frame's size
// field (a signed 32-bit count of bytes) must hold 16 + 16 + the data padded to 8.
inline constexpr long kMaxFloatColumnRows = 536870902;
static_assert(16 + SdifMatrixBytes(kMaxFloatColumnRows, 1, eFloat4) <= kSdifMaxFrameSize);
static_assert(16 + SdifMatrixBytes(kMaxFloatColumnRows + 1, 1, eFloat4) > kSdifMaxFrameSize);

// Largest count of frames or rows the writers accept (the largest signed 32-bit count).
inline constexpr long kMaxSdifCount = 2147483647;
