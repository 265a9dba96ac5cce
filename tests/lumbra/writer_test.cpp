// Writing: byte layout of files, frames and matrices, header text, and the writer's refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "lumbra/lumbra.h"
#include "lumbra_test_util.h"
#include "run_program.h"

using lumbratest::Bytes;

namespace {

// The 280-byte example file of the format notes: one table, one type declaration, one frame.
const Bytes kWorkedExample = {
    0x53, 0x44, 0x49, 0x46, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01,
    0x31, 0x4e, 0x56, 0x54, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xff, 0xff, 0xff, 0xfd, 0x00, 0x00, 0x00, 0x01, 0x31, 0x4e, 0x56, 0x54, 0x00, 0x00, 0x03, 0x01,
    0x00, 0x00, 0x00, 0x1d, 0x00, 0x00, 0x00, 0x01, 0x50, 0x72, 0x6f, 0x67, 0x72, 0x61, 0x6d, 0x09,
    0x47, 0x6c, 0x6f, 0x74, 0x6d, 0x61, 0x72, 0x6b, 0x0a, 0x56, 0x65, 0x72, 0x73, 0x69, 0x6f, 0x6e,
    0x09, 0x31, 0x2e, 0x30, 0x0a, 0x00, 0x00, 0x00, 0x31, 0x54, 0x59, 0x50, 0x00, 0x00, 0x00, 0x88,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xfe, 0x00, 0x00, 0x00, 0x01,
    0x31, 0x54, 0x59, 0x50, 0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x00, 0x66, 0x00, 0x00, 0x00, 0x01,
    0x7b, 0x0a, 0x20, 0x20, 0x31, 0x4d, 0x54, 0x44, 0x20, 0x31, 0x56, 0x55, 0x54, 0x20, 0x7b, 0x56,
    0x6f, 0x69, 0x63, 0x65, 0x64, 0x55, 0x6e, 0x76, 0x6f, 0x69, 0x63, 0x65, 0x64, 0x54, 0x72, 0x61,
    0x6e, 0x73, 0x46, 0x6c, 0x61, 0x67, 0x7d, 0x0a, 0x20, 0x20, 0x31, 0x46, 0x54, 0x44, 0x20, 0x31,
    0x56, 0x55, 0x56, 0x0a, 0x20, 0x20, 0x20, 0x20, 0x7b, 0x0a, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x31, 0x56, 0x55, 0x54, 0x20, 0x56, 0x6f, 0x69, 0x63, 0x65, 0x64, 0x55, 0x6e, 0x76, 0x6f, 0x69,
    0x63, 0x65, 0x64, 0x54, 0x72, 0x61, 0x6e, 0x73, 0x46, 0x6c, 0x61, 0x67, 0x3b, 0x0a, 0x20, 0x20,
    0x20, 0x20, 0x7d, 0x0a, 0x7d, 0x0a, 0x00, 0x00, 0x31, 0x56, 0x55, 0x56, 0x00, 0x00, 0x00, 0x28,
    0x3f, 0xe0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
    0x31, 0x56, 0x55, 0x54, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
    0x3f, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

constexpr SdifSignature k1VUV = SdifSignatureConst('1', 'V', 'U', 'V');
constexpr SdifSignature k1VUT = SdifSignatureConst('1', 'V', 'U', 'T');

TEST(LumbraWrite, WorkedExampleIsByteExact) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "example.sdif";
  {
    SDIFNameValueTable t;
    t.AddNameValue("Program", "Glotmark");
    t.AddNameValue("Version", "1.0");
    SDIFEntity e;
    e.AddNVT(t);
    e.AddMatrixType("1VUT", "VoicedUnvoicedTransFlag");
    e.AddFrameType("1VUV", "1VUT VoicedUnvoicedTransFlag");
    ASSERT_TRUE(e.OpenWrite(path));
    SDIFFrame f;
    f.SetSignature(k1VUV);
    f.SetTime(0.5);
    f.AddMatrix(SDIFMatrix(k1VUT, 1, 1, eFloat4));
    f.GetMatrix(0).Set(0, 0, 1.0);
    EXPECT_EQ(f.Write(e), 48u);
    e.Close();
  }
  EXPECT_EQ(lumbratest::ReadFile(path), kWorkedExample);
}

TEST(LumbraWrite, FrameSizesAndPaddingFollowTheElementCount) {
  struct Case {
    int rows, cols;
    std::uint32_t type;
    std::uint32_t size_field;  // 16 + 16 + data padded to 8
  } const cases[] = {
      {0, 1, eFloat4, 32}, {1, 1, eFloat4, 40}, {2, 1, eFloat4, 40}, {3, 1, eFloat4, 48},
      {1, 8, eFloat4, 64}, {1, 1, eFloat8, 40}, {3, 1, eInt2, 40},   {5, 1, eInt1, 40},
      {9, 1, eUInt1, 48},  {1, 0, eFloat4, 32}, {3, 3, eInt8, 104},
  };
  testsupport::ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.cols) + " " +
                 SdifDataTypeName(c.type));
    const std::string path = dir / "f.sdif";
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(path));
    SDIFFrame f;
    f.SetSignature("XTST");
    SDIFMatrix m(SdifSignatureConst('X', 'M', 'A', 'T'), c.rows, c.cols, c.type);
    for (int r = 0; r < c.rows; ++r) {
      for (int k = 0; k < c.cols; ++k) m.Set(r, k, 1 + r * c.cols + k);
    }
    f.AddMatrix(m);
    EXPECT_EQ(f.Write(e), 8u + c.size_field);
    e.Close();
    const Bytes b = lumbratest::ReadFile(path);
    ASSERT_EQ(b.size(), 16u + 8 + c.size_field);
    EXPECT_EQ(b[20] << 24 | b[21] << 16 | b[22] << 8 | b[23], static_cast<int>(c.size_field));
    // Element 0 is 1 in every type: its bytes are big-endian; the padding is zero.
    const std::size_t data = 16 + 24 + 16;
    const std::size_t nbytes =
        static_cast<std::size_t>(c.rows) * c.cols * SdifSizeofDataType(c.type);
    if (nbytes > 0 && (c.type >> 8) != 0) {
      EXPECT_EQ(b[data + SdifSizeofDataType(c.type) - 1], 1);
    }
    for (std::size_t k = data + nbytes; k < b.size(); ++k) EXPECT_EQ(b[k], 0) << "byte " << k;
  }
}

TEST(LumbraWrite, EveryDataTypeReadsBackWithItsValues) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "types.sdif";
  const std::uint32_t types[] = {eFloat4, eFloat8, eInt1,  eInt2,  eInt4,
                                 eInt8,   eUInt1,  eUInt2, eUInt4, eUInt8};
  {
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(path));
    SDIFFrame f;
    f.SetHeader(SdifSignatureConst('X', 'A', 'L', 'L'), 7, 1.25);
    char last = 'A';
    for (const auto t : types) {
      SDIFMatrix m(SdifSignatureConst('X', 'M', '0', last++), 2, 3, t);
      for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) m.Set(r, c, 10 * r + c + 1);
      }
      f.AddMatrix(m);
    }
    f.AddMatrix(SDIFMatrix::Text(SdifSignatureConst('X', 'T', 'X', 'T'), "abc\xc3\xa9"));
    f.Write(e);
    e.Close();
  }
  SDIFEntity e;
  ASSERT_TRUE(e.OpenRead(path));
  SDIFFrame f;
  EXPECT_GT(e.ReadNextFrame(f), 0u);
  EXPECT_EQ(f.GetStreamID(), 7u);
  EXPECT_EQ(f.GetTime(), 1.25);
  ASSERT_EQ(f.GetNbMatrix(), std::size(types) + 1);
  for (std::size_t i = 0; i < std::size(types); ++i) {
    const SDIFMatrix& m = f.GetMatrix(i);
    SCOPED_TRACE(SdifDataTypeName(m.GetType()));
    EXPECT_EQ(m.GetType(), types[i]);
    ASSERT_EQ(m.GetNbRows(), 2);
    ASSERT_EQ(m.GetNbCols(), 3);
    for (int r = 0; r < 2; ++r) {
      for (int c = 0; c < 3; ++c) EXPECT_EQ(m.GetDouble(r, c), 10 * r + c + 1);
    }
    double col[2];
    m.GetCol(2, col);
    EXPECT_EQ(col[1], 13);
  }
  EXPECT_EQ(f.GetMatrix(std::size(types)).GetText(), "abc\xc3\xa9");
  EXPECT_TRUE(e.eof());
  EXPECT_THROW(e.ReadNextFrame(f), SDIFEof);
}

TEST(LumbraWrite, HeaderTablesAndTypesReadBack) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "header.sdif";
  {
    SDIFNameValueTable a, b;
    a.AddNameValue("Program", "Glotmark");
    a.AddNameValue("FileName", "my sound (take 2).wav");
    a.AddNameValue("Empty", "");
    b.AddNameValue("External_f0", "No");
    b.AddNameValue("Tabbed", "x\ty");
    SDIFEntity e;
    e.AddNVT(a);
    e.AddNVT(b);
    e.AddMatrixType("1ECS", "EpocsSmallReallocation");
    e.AddMatrixType("1PSO", "Position, Fundamentalfrequency, Mod");
    e.AddFrameType("1EPC", "1ECS EpocsSmallReallocation; 1ECL EpocsLongReallocation");
    ASSERT_TRUE(e.OpenWrite(path));
    e.Close();
  }
  EXPECT_TRUE(SdifCheckFileFormat(path));
  SDIFEntity e;
  ASSERT_TRUE(e.OpenRead(path));
  ASSERT_EQ(e.GetNbNVT(), 2u);
  EXPECT_EQ(e.GetNVT(0).GetValue("FileName"), "my sound (take 2).wav");
  EXPECT_EQ(e.GetNVT(0).GetValue("Empty"), "");
  EXPECT_TRUE(e.GetNVT(0).HasName("Empty"));
  EXPECT_EQ(e.GetNVT(0).GetValue("Missing"), "");
  EXPECT_EQ(e.GetNVT(1).GetValue("External_f0"), "No");
  EXPECT_EQ(e.GetNVT(1).GetValue("Tabbed"), "x\ty");
  EXPECT_THROW(e.GetNVT(2), SDIFArrayPosition);
  const SDIFTypeDeclarations& t = e.GetTypes();
  ASSERT_EQ(t.matrices.size(), 2u);
  EXPECT_EQ(t.matrices[1].columns,
            (std::vector<std::string>{"Position", "Fundamentalfrequency", "Mod"}));
  ASSERT_EQ(t.frames.size(), 1u);
  ASSERT_EQ(t.frames[0].components.size(), 2u);
  EXPECT_EQ(t.frames[0].components[1].matrix, SdifSignatureConst('1', 'E', 'C', 'L'));
  EXPECT_EQ(t.frames[0].components[1].name, "EpocsLongReallocation");
  EXPECT_TRUE(e.eof());
}

TEST(LumbraWrite, RefusesWhatWouldMakeANonStandardFile) {
  testsupport::ScratchDir dir;
  SDIFEntity e;
  ASSERT_TRUE(e.OpenWrite(dir / "r.sdif"));
  SDIFFrame f;
  f.SetSignature("1FQ0");
  f.SetTime(1.0);
  f.Write(e);
  f.SetTime(0.5);
  EXPECT_THROW(f.Write(e), SDIFFileError) << "time going back";
  f.SetTime(std::nan(""));
  EXPECT_THROW(f.Write(e), SDIFFileError) << "time not a number";
  f.SetTime(std::numeric_limits<double>::infinity());
  EXPECT_THROW(f.Write(e), SDIFFileError) << "infinite time";
  f.SetTime(1.0);
  f.Write(e);  // equal times are allowed
  f.SetSignature(e1NVT);
  EXPECT_THROW(f.Write(e), SDIFFileError) << "header frame among data";
  f.SetSignature(SdifSignatureConst('1', ' ', 'X', 'X'));
  EXPECT_THROW(f.Write(e), SDIFUnDefined);
  EXPECT_THROW(e.AddNVT(SDIFNameValueTable()), SDIFFileError) << "table after OpenWrite";
  f.SetSignature("1FQ0");
  f.AddMatrix(SDIFMatrix(SdifSignatureConst('1', 'F', 'Q', '0'), 1, 1));
  EXPECT_THROW(f.AddMatrix(SDIFMatrix(SdifSignatureConst('1', 'F', 'Q', '0'), 1, 1)),
               SDIFMatrixDataError);
  e.Close();
  EXPECT_TRUE(SdifCheckFileFormat(dir / "r.sdif"));

  SDIFFrame unopened;
  SDIFEntity closed;
  EXPECT_THROW(unopened.Write(closed), SDIFFileError);
}

// A column written straight from the values is the file a frame holding the same matrix makes,
// through zero rows, padding, the conversion's rounding and special values, and more rows than
// one conversion chunk holds; and it keeps the frame writer's refusals.
TEST(LumbraWrite, ColumnFrameIsTheFrameOfTheSameMatrix) {
  testsupport::ScratchDir dir;
  const SdifSignature frame_sig = SdifSignatureConst('1', 'E', 'P', 'C');
  const SdifSignature matrix_sig = SdifSignatureConst('1', 'E', 'C', 'S');
  for (const int rows : {0, 1, 2, 3, 16384, 16385, 40001}) {
    SCOPED_TRACE(std::to_string(rows) + " rows");
    std::vector<double> v(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) v[static_cast<std::size_t>(i)] = std::sin(0.37 * i) / 3.0;
    if (rows > 3) {
      v[1] = std::nan("");
      v[2] = -std::numeric_limits<double>::infinity();
      v[3] = 1e300;  // beyond float: infinity either way
    }
    const std::string by_frame = dir / "frame.sdif", by_column = dir / "column.sdif";
    {
      SDIFEntity e;
      ASSERT_TRUE(e.OpenWrite(by_frame));
      SDIFFrame f;
      f.SetHeader(frame_sig, 0, 0.25);
      SDIFMatrix m(matrix_sig, rows, 1, eFloat4);
      m.SetCol(0, v.data());
      f.AddMatrix(std::move(m));
      const std::size_t n = f.Write(e);
      e.Close();
      SDIFEntity c;
      ASSERT_TRUE(c.OpenWrite(by_column));
      EXPECT_EQ(c.WriteColumnFrame(frame_sig, 0, 0.25, matrix_sig, v.data(), rows), n);
      c.Close();
    }
    EXPECT_EQ(lumbratest::ReadFile(by_column), lumbratest::ReadFile(by_frame));
  }

  SDIFEntity e;
  ASSERT_TRUE(e.OpenWrite(dir / "r.sdif"));
  const double one = 1.0;
  e.WriteColumnFrame(frame_sig, 0, 1.0, matrix_sig, &one, 1);
  EXPECT_THROW(e.WriteColumnFrame(frame_sig, 0, 0.5, matrix_sig, &one, 1), SDIFFileError)
      << "time going back";
  EXPECT_THROW(e.WriteColumnFrame(frame_sig, 0, std::nan(""), matrix_sig, &one, 1), SDIFFileError);
  EXPECT_THROW(e.WriteColumnFrame(e1NVT, 0, 1.0, matrix_sig, &one, 1), SDIFFileError);
  EXPECT_THROW(
      e.WriteColumnFrame(frame_sig, 0, 1.0, SdifSignatureConst('1', ' ', 'X', 'X'), &one, 1),
      SDIFUnDefined);
  EXPECT_THROW(e.WriteColumnFrame(frame_sig, 0, 1.0, matrix_sig, &one, 600000000), SDIFFileError)
      << "more than the 32-bit size field holds";
  e.Close();
  EXPECT_TRUE(SdifCheckFileFormat(dir / "r.sdif"));
  SDIFEntity closed;
  EXPECT_THROW(closed.WriteColumnFrame(frame_sig, 0, 0.0, matrix_sig, &one, 1), SDIFFileError);
}

TEST(LumbraWrite, NameValueEntriesThatWouldBreakTheTableAreRefused) {
  struct Case {
    std::string name, value;
  } const bad[] = {
      {"", "x"},
      {"two words", "x"},
      {"tab\tname", "x"},
      {"line\nname", "x"},
      {"Name", "a\nb"},
      {"Name", std::string("a\0b", 3)},
      {"Name", "\xff\xfe"},
      {"\xc3(", "x"},
  };
  for (const auto& c : bad) {
    SCOPED_TRACE(c.name + " = " + c.value);
    SDIFNameValueTable t;
    EXPECT_THROW(t.AddNameValue(c.name, c.value), SDIFAsciiChunkError);
    EXPECT_EQ(t.GetNbData(), 0u);
  }
  SDIFNameValueTable t;
  t.AddNameValue("Key", "1");
  t.AddNameValue("Key", "2");
  EXPECT_EQ(t.GetNbData(), 1u);
  EXPECT_EQ(t.GetValue("Key"), "2");
}

TEST(LumbraWrite, FileAppearsOnlyWhenClosed) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "atomic.sdif";
  lumbratest::WriteFile(path, lumbratest::FileHeader());  // an earlier version of the file
  {
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(path));
    SDIFFrame f;
    f.SetSignature("1FQ0");
    f.Write(e);
    EXPECT_EQ(lumbratest::ReadFile(path), lumbratest::FileHeader()) << "old file untouched";
    // Destroyed without Close: the new file is dropped, the old one stays.
  }
  EXPECT_EQ(lumbratest::ReadFile(path), lumbratest::FileHeader());
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& p : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1u) << "no temporary file left behind";

  SDIFEntity e;
  ASSERT_TRUE(e.OpenWrite(path));
  e.Close();
  EXPECT_EQ(lumbratest::ReadFile(path).size(), 16u);
}

TEST(LumbraWrite, OpenWriteFailsWhereNoFileCanBeCreated) {
  testsupport::ScratchDir dir;
  SDIFEntity e;
  EXPECT_FALSE(e.OpenWrite(dir / "missing/sub/x.sdif"));
  EXPECT_FALSE(e.OpenWrite(dir.path().string()));
  EXPECT_FALSE(e.OpenWrite(""));
  EXPECT_FALSE(e.IsOpen());
}

TEST(LumbraWrite, SignaturesPackFirstCharacterHighest) {
  EXPECT_EQ(SdifStringToSignature("1MRK"), 0x314D524Bu);
  EXPECT_EQ(SdifSignatureToString(0x314D524Bu), "1MRK");
  for (const char* bad : {"1MR", "1MRKX", "1 RK", "1\tRK"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(SdifStringToSignature(bad), SDIFUnDefined);
  }
}

}  // namespace
