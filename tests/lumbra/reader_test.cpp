// Strict reading: malformed and truncated files, header text forms, selections.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "lumbra/lumbra.h"
#include "lumbra_test_util.h"
#include "run_program.h"

using lumbratest::Bytes;
using lumbratest::Set32;

namespace {

// A small valid file: header (0..16), a 1NVT frame (16..80), a 1FQ0 frame at 0 s holding a
// 1x1 float32 with 4 padding bytes (80..128), a 1FQ0 frame at 0.01 s holding a 2x1 (128..176).
Bytes BaseFile() {
  Bytes b = lumbratest::FileHeader();
  const std::string text = "Program\tGlotmark\n";  // 17 bytes, 7 of padding
  lumbratest::PutSig(b, "1NVT");
  lumbratest::Put32(b, 16 + 16 + 24);
  lumbratest::PutF64(b, 0.0);
  lumbratest::Put32(b, 0xFFFFFFFD);
  lumbratest::Put32(b, 1);
  lumbratest::PutSig(b, "1NVT");
  lumbratest::Put32(b, 0x0301);
  lumbratest::Put32(b, static_cast<std::uint32_t>(text.size()));
  lumbratest::Put32(b, 1);
  b.insert(b.end(), text.begin(), text.end());
  b.resize(b.size() + 7, 0);
  lumbratest::PutFloatFrame(b, "1FQ0", 0.0, "1FQ0", 1, 1, {100.f});
  lumbratest::PutFloatFrame(b, "1FQ0", 0.01, "1FQ0", 2, 1, {110.f, 120.f});
  return b;
}

constexpr std::size_t kFrameA = 80, kFrameB = 128, kEnd = 176;

void SetF64(Bytes& b, std::size_t at, double v) {
  Bytes t;
  lumbratest::PutF64(t, v);
  std::copy(t.begin(), t.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

// Opens the file and reads every frame, whole or (headers_only) without the matrices'
// elements; returns the number of data frames read.
int ReadAll(const std::string& path, bool headers_only = false) {
  SDIFEntity e;
  if (!e.OpenRead(path)) throw std::runtime_error("not opened");
  SDIFFrame f;
  SDIFFrameHeader h;
  int n = 0;
  while (!e.eof()) {
    if ((headers_only ? e.ReadNextFrameHeader(h) : e.ReadNextFrame(f)) > 0) ++n;
  }
  return n;
}

TEST(LumbraRead, BaseFileIsValid) {
  testsupport::ScratchDir dir;
  const Bytes b = BaseFile();
  ASSERT_EQ(b.size(), kEnd);
  lumbratest::WriteFile(dir / "ok.sdif", b);
  EXPECT_EQ(ReadAll(dir / "ok.sdif"), 2);
  EXPECT_TRUE(SdifCheckFileFormat(dir / "ok.sdif"));
}

struct Malformed {
  const char* why;
  std::function<void(Bytes&)> damage;
  const char* text;  // expected part of the exception's text
  enum Kind { kFile, kReading, kUndefined, kMatrixData, kAscii } kind;
};

TEST(LumbraRead, MalformedFilesRaiseAClearException) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Malformed cases[] = {
      {"file signature", [](Bytes& b) { b[3] = 'G'; }, "not an SDIF file", Malformed::kFile},
      {"unfinished header size", [](Bytes& b) { Set32(b, 4, 0xFFFFFFFF); }, "header size",
       Malformed::kFile},
      {"format version 2", [](Bytes& b) { Set32(b, 8, 2); }, "version 2", Malformed::kFile},
      {"types version 0", [](Bytes& b) { Set32(b, 12, 0); }, "types version 0", Malformed::kFile},
      {"frame signature", [](Bytes& b) { Set32(b, kFrameA, 0x31000130); }, "at byte 80",
       Malformed::kReading},
      {"frame size not a multiple of 8", [](Bytes& b) { Set32(b, kFrameA + 4, 41); },
       "size field 41", Malformed::kReading},
      {"frame size below 16", [](Bytes& b) { Set32(b, kFrameA + 4, 8); }, "size field 8",
       Malformed::kReading},
      {"frame size -1", [](Bytes& b) { Set32(b, kFrameA + 4, 0xFFFFFFFF); }, "size field -1",
       Malformed::kReading},
      {"frame size past the end", [](Bytes& b) { Set32(b, kFrameB + 4, 48); }, "goes past the end",
       Malformed::kReading},
      {"frame size beyond its matrices", [](Bytes& b) { Set32(b, kFrameA + 4, 48); },
       "bytes before the end", Malformed::kReading},
      {"matrix count -1", [](Bytes& b) { Set32(b, kFrameA + 20, 0xFFFFFFFF); }, "matrix count -1",
       Malformed::kReading},
      {"matrix count too large", [](Bytes& b) { Set32(b, kFrameA + 20, 0x40000000); },
       "matrix count", Malformed::kReading},
      {"matrix count 0 with a matrix", [](Bytes& b) { Set32(b, kFrameA + 20, 0); },
       "bytes before the end", Malformed::kReading},
      {"matrix signature", [](Bytes& b) { Set32(b, kFrameA + 24, 0x0A0A0A0A); }, "matrix signature",
       Malformed::kReading},
      {"rows needing gigabytes", [](Bytes& b) { Set32(b, kFrameA + 32, 0x7FFFFFFF); },
       "2147483647 x 1", Malformed::kReading},
      {"rows and columns overflowing",
       [](Bytes& b) {
         Set32(b, kFrameA + 32, 0x7FFFFFFF);
         Set32(b, kFrameA + 36, 0x7FFFFFFF);
       },
       "elements need more", Malformed::kReading},
      {"negative rows", [](Bytes& b) { Set32(b, kFrameA + 32, 0xFFFFFFFE); }, "-2 rows",
       Malformed::kReading},
      {"unknown data type", [](Bytes& b) { Set32(b, kFrameA + 28, 0x0305); }, "is unknown",
       Malformed::kUndefined},
      {"float32 code of old versions", [](Bytes& b) { Set32(b, kFrameA + 28, 0x20); }, "before 3",
       Malformed::kUndefined},
      {"float32 code 1 of old versions", [](Bytes& b) { Set32(b, kFrameA + 28, 1); }, "before 3",
       Malformed::kUndefined},
      {"non-zero padding", [](Bytes& b) { b[kFrameA + 44] = 1; }, "padding",
       Malformed::kMatrixData},
      {"time not a number", [nan](Bytes& b) { SetF64(b, kFrameB + 8, nan); }, "not a number",
       Malformed::kReading},
      {"infinite data time", [inf](Bytes& b) { SetF64(b, kFrameB + 8, inf); }, "infinite",
       Malformed::kReading},
      {"time going back", [](Bytes& b) { SetF64(b, kFrameB + 8, -1.0); }, "before the previous",
       Malformed::kReading},
      {"table line without TAB", [](Bytes& b) { b[16 + 40 + 7] = ' '; }, "no TAB",
       Malformed::kAscii},
      {"zero byte inside a table", [](Bytes& b) { b[16 + 40 + 2] = 0; }, "zero byte",
       Malformed::kAscii},
      {"table not UTF-8", [](Bytes& b) { b[16 + 40 + 9] = 0xff; }, "UTF-8", Malformed::kAscii},
      {"table as bytes, not text", [](Bytes& b) { Set32(b, 16 + 28, 0x0401); }, "text matrix",
       Malformed::kAscii},
      {"garbage after the last frame", [](Bytes& b) { b.resize(b.size() + 5, 0); }, "truncated",
       Malformed::kReading},
      {"header frame after data",
       [](Bytes& b) {
         lumbratest::PutSig(b, "1NVT");
         lumbratest::Put32(b, 32);
         lumbratest::PutF64(b, 0.0);
         lumbratest::Put32(b, 0xFFFFFFFD);
         lumbratest::Put32(b, 1);
         lumbratest::PutSig(b, "1NVT");
         lumbratest::Put32(b, 0x0301);
         lumbratest::Put32(b, 0);
         lumbratest::Put32(b, 1);
       },
       "after data frames", Malformed::kReading},
      {"two matrices of one type",
       [](Bytes& b) {
         Set32(b, kFrameB + 4, 16 + 16 + 8 + 16 + 8);
         Set32(b, kFrameB + 20, 2);
         Set32(b, kFrameB + 32, 1);
         Set32(b, kFrameB + 44, 0);  // the second value becomes padding
         lumbratest::PutSig(b, "1FQ0");
         lumbratest::Put32(b, 4);
         lumbratest::Put32(b, 1);
         lumbratest::Put32(b, 2);
         lumbratest::PutF32(b, 1.f);
         lumbratest::PutF32(b, 2.f);
       },
       "two matrices", Malformed::kMatrixData},
  };
  testsupport::ScratchDir dir;
  // Reading frame headers only skips the elements but makes every check of a whole read.
  for (const bool headers_only : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.why) + (headers_only ? " (headers only)" : ""));
      Bytes b = BaseFile();
      c.damage(b);
      const std::string path = dir / "bad.sdif";
      lumbratest::WriteFile(path, b);
      EXPECT_FALSE(SdifCheckFileFormat(path));
      try {
        ReadAll(path, headers_only);
        ADD_FAILURE() << "no exception";
      } catch (const SDIFException& e) {
        EXPECT_NE(e.Text().find(c.text), std::string::npos) << e.Text();
        EXPECT_NE(e.Text().find(path), std::string::npos) << "names the file: " << e.Text();
        switch (c.kind) {
          case Malformed::kFile:
            EXPECT_NE(dynamic_cast<const SDIFFileError*>(&e), nullptr);
            break;
          case Malformed::kReading:
            EXPECT_NE(dynamic_cast<const SDIFReading*>(&e), nullptr);
            break;
          case Malformed::kUndefined:
            EXPECT_NE(dynamic_cast<const SDIFUnDefined*>(&e), nullptr);
            break;
          case Malformed::kMatrixData:
            EXPECT_NE(dynamic_cast<const SDIFMatrixDataError*>(&e), nullptr);
            break;
          case Malformed::kAscii:
            EXPECT_NE(dynamic_cast<const SDIFAsciiChunkError*>(&e), nullptr);
            break;
        }
      }
    }
  }
}

TEST(LumbraRead, EveryTruncationIsCaughtExceptAtFrameBoundaries) {
  testsupport::ScratchDir dir;
  const Bytes full = BaseFile();
  const std::string path = dir / "cut.sdif";
  for (std::size_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE("length " + std::to_string(len));
    lumbratest::WriteFile(path, Bytes(full.begin(), full.begin() + static_cast<long>(len)));
    const bool boundary = len == 16 || len == kFrameA || len == kFrameB;
    EXPECT_EQ(SdifCheckFileFormat(path), boundary);
    for (const bool headers_only : {false, true}) {
      if (boundary) {
        EXPECT_EQ(ReadAll(path, headers_only), len == kFrameB ? 1 : 0);
      } else {
        EXPECT_THROW(ReadAll(path, headers_only), SDIFException);
      }
    }
  }
}

TEST(LumbraRead, MissingOrNonRegularFilesAreNotOpened) {
  testsupport::ScratchDir dir;
  SDIFEntity e;
  EXPECT_FALSE(e.OpenRead(dir / "absent.sdif"));
  EXPECT_FALSE(e.OpenRead(dir.path().string()));
  EXPECT_FALSE(SdifCheckFileFormat(dir / "absent.sdif"));
  EXPECT_FALSE(SdifCheckFileFormat(dir.path().string()));
  EXPECT_TRUE(e.eof());
}

TEST(LumbraRead, ExceptionMessageGoesToTheErrorStream) {
  const SDIFReading e("file.sdif: at byte 16: broken");
  testing::internal::CaptureStderr();
  e.ErrorMessage();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("Exception: file.sdif: at byte 16: broken\nSource file : ", 0), 0u) << err;
  EXPECT_NE(err.find("\nat line : "), std::string::npos) << err;
}

TEST(LumbraText, NameValueTablesInEveryKnownForm) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    std::string text;
    Pairs expected;
  } const cases[] = {
      {"A\t1\nB\tx y\n", {{"A", "1"}, {"B", "x y"}}},
      {"A\t1", {{"A", "1"}}},
      {"A\t1\n\r\n", {{"A", "1"}}},
      {std::string("A\t1\n\0\0\0", 7), {{"A", "1"}}},
      {"A\t\n", {{"A", ""}}},
      {"{\n  A\t1;\n  B\t2;\n}\n", {{"A", "1"}, {"B", "2"}}},
      {"{ A 1; B two words; }", {{"A", "1"}, {"B", "two words"}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SDIFNameValueTable::FromText(c.text).Entries(), c.expected);
  }
  for (const std::string& bad :
       {std::string("A 1\n"), std::string("A\t1\nA\t2\n"), std::string("{ A 1 }"),
        std::string("A\t1\0B\t2\n", 9), std::string("{A\t1\n"), std::string("\tnoname\n")}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(SDIFNameValueTable::FromText(bad), SDIFAsciiChunkError);
  }
}

TEST(LumbraText, TypeDeclarationsFollowTheGrammar) {
  const auto d =
      SDIFTypeDeclarations::FromText("1MTD2TM2{a,b}1FTD XFRM{2TM2 first part;\n 1FQ0 f0 ;}");
  ASSERT_EQ(d.matrices.size(), 1u);
  EXPECT_EQ(d.matrices[0].signature, SdifStringToSignature("2TM2"));
  EXPECT_EQ(d.matrices[0].columns, (std::vector<std::string>{"a", "b"}));
  ASSERT_EQ(d.frames.size(), 1u);
  ASSERT_EQ(d.frames[0].components.size(), 2u);
  EXPECT_EQ(d.frames[0].components[0].name, "first part");
  EXPECT_EQ(d.frames[0].components[1].matrix, SdifStringToSignature("1FQ0"));

  const auto braced = SDIFTypeDeclarations::FromText("{ 1MTD XABC {col one , col two} }\n");
  EXPECT_EQ(braced.matrices.at(0).columns, (std::vector<std::string>{"col one", "col two"}));
  EXPECT_EQ(SDIFTypeDeclarations::FromText(d.ToText()).ToText(), d.ToText());

  for (const char* bad :
       {"{ 1MTD XA {a} }", "{ 1FTD XFRM { XABC comp } }", "{ 1MTD XABC {a} 1MTD XABC {b} }",
        "{ 1XXX XABC {a} }", "{ 1MTD XABC {a}", "1MTD XABC {a,,b}", "1MTD XABC {a} }",
        "{ 1FTD XFRM { XABCcomp; } }", "{ 1MTD XABC {a} } x"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(SDIFTypeDeclarations::FromText(bad), SDIFAsciiChunkError);
  }
}

TEST(LumbraSelection, ParsesTheSelectionForms) {
  const auto sig = [](const char* s) { return SdifStringToSignature(s); };
  {
    const auto s = SDIFSelection::Parse("f.sdif::#1:1HRM/1HRM.2,3_1-50@2+0.001");
    ASSERT_EQ(s.streams.size(), 1u);
    EXPECT_EQ(s.streams[0].first, 1);
    EXPECT_EQ(s.frames, std::vector<SdifSignature>{sig("1HRM")});
    EXPECT_EQ(s.matrices, std::vector<SdifSignature>{sig("1HRM")});
    ASSERT_EQ(s.columns.size(), 2u);
    EXPECT_EQ(s.columns[1].first, 3);
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.rows[0].last, 50);
    ASSERT_EQ(s.times.size(), 1u);
    EXPECT_NEAR(s.times[0].first, 1.999, 1e-12);
    EXPECT_NEAR(s.times[0].last, 2.001, 1e-12);
    EXPECT_TRUE(s.SelectsRow(50));
    EXPECT_FALSE(s.SelectsRow(51));
    EXPECT_FALSE(s.SelectsColumn(1));
  }
  struct Case {
    const char* text;
    std::vector<SdifSignature> frames, matrices;
  } const cases[] = {
      {":1FQ0/1FQ0", {sig("1FQ0")}, {sig("1FQ0")}},
      {"1FQ0/1FQ0", {sig("1FQ0")}, {sig("1FQ0")}},
      {"x.sdif::1EPC/1ECS", {sig("1EPC")}, {sig("1ECS")}},
      {":1MRK/1BEG,1MRK/1END", {sig("1MRK"), sig("1MRK")}, {sig("1BEG"), sig("1END")}},
      {":1MRK/1BEG,1END", {sig("1MRK")}, {sig("1BEG"), sig("1END")}},
      {" :1VUV /1VUT ", {sig("1VUV")}, {sig("1VUT")}},  // blanks between elements
      {"", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto s = SDIFSelection::Parse(c.text);
    EXPECT_EQ(s.frames, c.frames);
    EXPECT_EQ(s.matrices, c.matrices);
  }
  const auto t = SDIFSelection::Parse("@1.2 #0-2");
  ASSERT_EQ(t.times.size(), 1u);
  EXPECT_EQ(t.times[0].first, 1.2);
  EXPECT_TRUE(t.columns.empty());
  EXPECT_TRUE(t.SelectsStream(2));
  EXPECT_FALSE(t.SelectsStream(3));

  for (const char* bad : {":1FQ", "/1FQ0,", "#a", "_3-1", "@2-1", "%", ":1FQ0/", "@x", "/ 1VUT"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(SDIFSelection::Parse(bad), SDIFUnDefined);
  }
  EXPECT_EQ(SdifSplitSelection("a::b.sdif::1FQ0"),
            (std::pair<std::string, std::string>{"a::b.sdif", "1FQ0"}));
  EXPECT_EQ(SdifSplitSelection("plain.sdif"),
            (std::pair<std::string, std::string>{"plain.sdif", ""}));
}

// What a selection delivers from a file of frames on two streams with two matrices each.
TEST(LumbraSelection, DeliversOnlyTheSelectedFramesMatricesRowsAndColumns) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "sel.sdif";
  {
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(path));
    for (int i = 0; i < 4; ++i) {
      SDIFFrame f;
      f.SetHeader(SdifStringToSignature(i % 2 ? "XBBB" : "XAAA"), i < 2 ? 0 : 1, 0.5 * i);
      SDIFMatrix m(SdifStringToSignature("XM01"), 3, 2);
      for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 2; ++c) m.Set(r, c, 100 * i + 10 * r + c);
      }
      f.AddMatrix(m);
      f.AddMatrix(SDIFMatrix(SdifStringToSignature("XM02"), 1, 1));
      f.Write(e);
    }
    e.Close();
  }
  struct Case {
    const char* selection;
    std::string expected;  // per delivered matrix: "time:sig:rows x cols:first value;"
  } const cases[] = {
      {"",
       "0:XM01:3x2:0;0:XM02:1x1:0;0.5:XM01:3x2:100;0.5:XM02:1x1:0;1:XM01:3x2:200;"
       "1:XM02:1x1:0;1.5:XM01:3x2:300;1.5:XM02:1x1:0;"},
      {":XAAA/XM01", "0:XM01:3x2:0;1:XM01:3x2:200;"},
      {"#1/XM02", "1:XM02:1x1:0;1.5:XM02:1x1:0;"},
      {"/XM01.2_2-3@0.5-1", "0.5:XM01:2x1:111;1:XM01:2x1:211;"},
      {":XBBB/XM01_3", "0.5:XM01:1x2:120;1.5:XM01:1x2:320;"},
      {"/XNON", ""},
      {"@7", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.selection);
    SDIFEntity e;
    ASSERT_TRUE(e.OpenRead(path));
    e.ChangeSelection(c.selection);
    std::string got;
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) == 0) continue;
      for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) {
        const SDIFMatrix& m = f.GetMatrix(k);
        char buf[96];
        std::snprintf(buf, sizeof buf, "%g:%s:%dx%d:%g;", f.GetTime(),
                      SdifSignatureToString(m.GetSignature()).c_str(), m.GetNbRows(), m.GetNbCols(),
                      m.GetDouble(0, 0));
        got += buf;
      }
    }
    EXPECT_EQ(got, c.expected);
    EXPECT_THROW(e.ReadNextFrame(f), SDIFEof);
  }
}

// Row ranges read from frame headers: the values a whole read gives, for every element type,
// from the current frame or an earlier one, without losing the place in the frame stream.
TEST(LumbraRowRange, RowsReadByHeaderMatchTheWholeMatrix) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "rows.sdif";
  const std::uint32_t types[] = {eFloat4, eFloat8, eInt2, eUInt1, eInt8};
  constexpr int kRows = 1000, kCols = 3;  // 1000 rows: seeks as well as short skips
  {
    SDIFEntity e;
    ASSERT_TRUE(e.OpenWrite(path));
    for (std::size_t i = 0; i < std::size(types); ++i) {
      SDIFFrame f;
      f.SetHeader(SdifStringToSignature("XROW"), 0, 0.1 * static_cast<double>(i));
      SDIFMatrix small(SdifStringToSignature("XSML"), 1, 1);
      small.Set(0, 0, static_cast<double>(i));
      f.AddMatrix(small);
      SDIFMatrix m(SdifStringToSignature("XBIG"), kRows, kCols, types[i]);
      for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kCols; ++c) m.Set(r, c, (r * kCols + c) % 97 + static_cast<int>(i));
      }
      f.AddMatrix(m);
      f.Write(e);
    }
    e.Close();
  }
  SDIFEntity whole;
  ASSERT_TRUE(whole.OpenRead(path));
  SDIFEntity e;
  ASSERT_TRUE(e.OpenRead(path));
  e.ChangeSelection("/XBIG");
  SDIFFrameHeader h, previous;
  SDIFFrame f;
  SDIFMatrix rows;
  struct Range {
    int first, count;
  } const ranges[] = {{0, kRows}, {0, 1}, {kRows - 1, 1}, {417, 100}, {kRows, 0}, {3, 0}};
  for (std::size_t i = 0; i < std::size(types); ++i) {
    SCOPED_TRACE(SdifDataTypeName(types[i]));
    ASSERT_FALSE(e.eof());
    ASSERT_GT(e.ReadNextFrameHeader(h), 0u);
    ASSERT_GT(whole.ReadNextFrame(f), 0u);
    EXPECT_DOUBLE_EQ(h.time, f.GetTime());
    ASSERT_EQ(h.matrices.size(), 1u) << "the selection keeps XBIG only";
    EXPECT_EQ(h.Find(SdifStringToSignature("XSML")), nullptr);
    const SDIFMatrixHeader* big = h.Find(SdifStringToSignature("XBIG"));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->type, types[i]);
    EXPECT_EQ(big->rows, kRows);
    EXPECT_EQ(big->cols, kCols);
    const SDIFMatrix& ref = f.GetMatrixWithSig(SdifStringToSignature("XBIG"));
    for (const Range& r : ranges) {
      e.ReadMatrixRows(*big, r.first, r.count, rows);
      ASSERT_EQ(rows.GetNbRows(), r.count);
      ASSERT_EQ(rows.GetNbCols(), kCols);
      EXPECT_EQ(rows.GetType(), types[i]);
      EXPECT_EQ(rows.GetSignature(), big->signature);
      for (int k = 0; k < r.count; ++k) {
        for (int c = 0; c < kCols; ++c) {
          ASSERT_EQ(rows.GetDouble(k, c), ref.GetDouble(r.first + k, c))
              << "row " << r.first + k << " column " << c;
        }
      }
    }
    if (i > 0) {  // the previous frame's matrix, after this frame's header
      e.ReadMatrixRows(previous.matrices[0], 10, 2, rows);
      EXPECT_EQ(rows.GetDouble(1, 0), (11 * kCols) % 97 + static_cast<int>(i) - 1);
    }
    previous = h;
  }
  EXPECT_TRUE(e.eof());
  EXPECT_THROW(e.ReadNextFrameHeader(h), SDIFEof);
}

TEST(LumbraRowRange, RangesOutsideTheMatrixOrTheFileAreRefused) {
  testsupport::ScratchDir dir;
  const Bytes b = BaseFile();
  lumbratest::WriteFile(dir / "ok.sdif", b);
  SDIFEntity e;
  SDIFMatrix out;
  SDIFFrameHeader h;
  EXPECT_THROW(e.ReadNextFrameHeader(h), SDIFFileError) << "nothing open";
  EXPECT_THROW(e.ReadMatrixRows(SDIFMatrixHeader{}, 0, 0, out), SDIFFileError);
  ASSERT_TRUE(e.OpenRead(dir / "ok.sdif"));
  ASSERT_GT(e.ReadNextFrameHeader(h), 0u);
  ASSERT_GT(e.ReadNextFrameHeader(h), 0u);  // the 2 x 1 matrix at 0.01 s
  ASSERT_EQ(h.matrices.size(), 1u);
  const SDIFMatrixHeader m = h.matrices[0];
  EXPECT_EQ(m.data_offset, static_cast<std::int64_t>(kFrameB + 24 + 16));
  struct Bad {
    int first, count;
  } const bad[] = {{-1, 1}, {0, -1}, {1, 2}, {2, 1}, {0, 3}, {2147483647, 2147483647}};
  for (const Bad& r : bad) {
    SCOPED_TRACE(std::to_string(r.first) + "+" + std::to_string(r.count));
    EXPECT_THROW(e.ReadMatrixRows(m, r.first, r.count, out), SDIFArrayPosition);
  }
  SDIFMatrixHeader outside = m;
  outside.data_offset = static_cast<std::int64_t>(kEnd) - 4;  // the second value past the end
  EXPECT_THROW(e.ReadMatrixRows(outside, 0, 1, out), SDIFReading);
  outside.data_offset = -8;
  EXPECT_THROW(e.ReadMatrixRows(outside, 0, 1, out), SDIFReading);
  SDIFMatrixHeader unknown = m;
  unknown.type = 0x0305;
  EXPECT_THROW(e.ReadMatrixRows(unknown, 0, 1, out), SDIFUnDefined);
  // After the refusals the matrix still reads and the stream is at its end.
  e.ReadMatrixRows(m, 1, 1, out);
  EXPECT_EQ(out.GetDouble(0, 0), 120.0);
  EXPECT_TRUE(e.eof());
}

}  // namespace
