// Fuzz target of the SDIF library. The bytes are opened as a file; the header tables and type
// declarations are read, then every frame with every element, then the whole file again by frame
// headers and row ranges. A library exception is the normal refusal of a malformed file. Besides
// crashes, the harness aborts when the library breaks one of its promises:
//  - a table or declaration read from a file does not read back from the text it writes;
//  - a file read to its end without a fault is not judged well-formed by SdifCheckFileFormat;
//  - reading by headers and row ranges gives other shapes or bytes than reading whole frames.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_file.h"
#include "lumbra/lumbra.h"

namespace {

struct MatrixCopy {
  SdifSignature sig = 0;
  std::uint32_t type = 0;
  int rows = 0, cols = 0;
  SDIFMatrix::Bytes data;
};

void check_header_round_trip(const SDIFEntity& in) try {
  for (std::size_t i = 0; i < in.GetNbNVT(); ++i) {
    const SDIFNameValueTable& table = in.GetNVT(i);
    if (SDIFNameValueTable::FromText(table.ToText()).Entries() != table.Entries()) {
      fuzz_fail("a name-value table does not read back from its own text");
    }
  }
  const SDIFTypeDeclarations& types = in.GetTypes();
  const SDIFTypeDeclarations again = SDIFTypeDeclarations::FromText(types.ToText());
  if (again.ToText() != types.ToText()) fuzz_fail("type declarations do not read back");
} catch (const SDIFException& e) {
  fuzz_fail("a header read from a file does not parse from its own text: " + e.Text());
}

// Every element of every frame; the matrices in file order.
std::vector<MatrixCopy> read_frames(SDIFEntity& in) {
  std::vector<MatrixCopy> out;
  SDIFFrame frame;
  while (!in.eof()) {
    if (in.ReadNextFrame(frame) == 0) continue;
    for (std::size_t k = 0; k < frame.GetNbMatrix(); ++k) {
      const SDIFMatrix& m = frame.GetMatrix(k);
      if (m.GetType() == eText || m.GetType() == eByte) {
        (void)m.GetText();
      } else {
        for (int r = 0; r < m.GetNbRows(); ++r) {
          for (int c = 0; c < m.GetNbCols(); ++c) (void)m.GetDouble(r, c);
        }
      }
      out.push_back({m.GetSignature(), m.GetType(), m.GetNbRows(), m.GetNbCols(), m.Data()});
    }
  }
  return out;
}

// The same file by frame headers, each matrix read in two row ranges (first half, rest).
std::vector<MatrixCopy> read_by_rows(SDIFEntity& in) {
  std::vector<MatrixCopy> out;
  SDIFFrameHeader header;
  SDIFMatrix part;
  while (!in.eof()) {
    if (in.ReadNextFrameHeader(header) == 0) continue;
    for (const SDIFMatrixHeader& m : header.matrices) {
      MatrixCopy copy{m.signature, m.type, m.rows, m.cols, {}};
      const int half = m.rows / 2;
      in.ReadMatrixRows(m, 0, half, part);
      copy.data.assign(part.Data().begin(), part.Data().end());
      in.ReadMatrixRows(m, half, m.rows - half, part);
      copy.data.insert(copy.data.end(), part.Data().begin(), part.Data().end());
      out.push_back(std::move(copy));
    }
  }
  return out;
}

bool same(const std::vector<MatrixCopy>& a, const std::vector<MatrixCopy>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].sig != b[i].sig || a[i].type != b[i].type || a[i].rows != b[i].rows ||
        a[i].cols != b[i].cols || a[i].data != b[i].data) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = fuzz_file(data, size, "input.sdif");
  const bool well_formed = SdifCheckFileFormat(path);

  std::vector<MatrixCopy> whole;
  try {
    SDIFEntity in;
    if (!in.OpenRead(path)) return 0;
    check_header_round_trip(in);
    whole = read_frames(in);
  } catch (const SDIFException&) {
    return 0;
  }
  if (!well_formed) fuzz_fail("a file read without fault is not judged well-formed");

  try {
    SDIFEntity in;
    if (!in.OpenRead(path)) fuzz_fail("a file read once cannot be opened again");
    if (!same(read_by_rows(in), whole)) {
      fuzz_fail("reading by row ranges differs from reading whole frames");
    }
  } catch (const SDIFException& e) {
    fuzz_fail("a file read whole fails by row ranges: " + e.Text());
  }
  return 0;
}
