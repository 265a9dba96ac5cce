// Reading whole analysis files for the converters: a file mixing text and numbers under one
// matrix signature is refused with a message naming the file.
#include "convert/analysis_file.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/convert_error.h"
#include "lumbra/lumbra.h"
#include "run_program.h"

namespace {

TEST(LoadAnalysisFile, TextAndNumbersUnderOneSignatureAreRefusedNamingTheFile) {
  // Either order: the numeric access to text and the text access to numbers both threw the
  // library's bare text, without the file's name.
  const SdifSignature sig = SdifSignatureConst('1', 'F', 'Q', '0');
  for (const bool text_first : {true, false}) {
    SCOPED_TRACE(text_first);
    testsupport::ScratchDir dir;
    const std::string path = dir / "mixed.sdif";
    {
      SDIFEntity out;
      ASSERT_TRUE(out.OpenWrite(path));
      for (int k = 0; k < 2; ++k) {
        SDIFFrame f;
        f.SetHeader(sig, 0, 0.01 * k);
        if ((k == 0) == text_first) {
          f.AddMatrix(SDIFMatrix::Text(sig, "words"));
        } else {
          SDIFMatrix m(sig, 1, 1, eFloat4);
          m.Set(0, 0, 100.0);
          f.AddMatrix(m);
        }
        f.Write(out);
      }
      out.Close();
    }
    try {
      (void)load_analysis_file(path);
      ADD_FAILURE() << "no refusal";
    } catch (const ConvertError& e) {
      EXPECT_EQ(std::string(e.what()),
                path + ": the 1FQ0 matrices hold text in one frame and numbers in another");
    }
  }
}

}  // namespace
