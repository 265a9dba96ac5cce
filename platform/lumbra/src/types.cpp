// Type declarations and their 1TYP text.
#include <algorithm>

#include "bytes.h"
#include "lumbra/lumbra.h"

namespace {

using lumbra_detail::IsBlank;
using lumbra_detail::Trim;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  SDIFTypeDeclarations Run() {
    SkipBlanks();
    bool outer = false;
    if (Peek() == '{') {
      outer = true;
      ++pos_;
    }
    SDIFTypeDeclarations decl;
    for (;;) {
      SkipBlanks();
      if (pos_ >= text_.size()) {
        if (outer) Fail("missing the closing '}'");
        break;
      }
      if (Peek() == '}') {
        if (!outer) Fail("'}' without its '{'");
        ++pos_;
        SkipBlanks();
        if (pos_ != text_.size()) Fail("text after the closing '}'");
        break;
      }
      const std::string_view keyword = Take4("keyword");
      if (keyword == "1MTD") {
        decl.matrices.push_back(MatrixDecl());
      } else if (keyword == "1FTD") {
        decl.frames.push_back(FrameDecl());
      } else {
        Fail("expected 1MTD or 1FTD, found \"" + std::string(keyword) + "\"");
      }
    }
    return decl;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw SDIFAsciiChunkError("type declarations, at character " + std::to_string(pos_) + ": " +
                              what);
  }
  char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  std::string_view Take4(const char* what) {
    if (pos_ + 4 > text_.size()) Fail(std::string("text ends inside a ") + what);
    const std::string_view s = text_.substr(pos_, 4);
    pos_ += 4;
    return s;
  }
  SdifSignature Sig() {
    SkipBlanks();
    const std::string_view s = Take4("signature");
    const SdifSignature sig = SdifSignatureConst(s[0], s[1], s[2], s[3]);
    if (!SdifSignatureIsValid(sig)) Fail("invalid signature \"" + std::string(s) + "\"");
    return sig;
  }
  void Expect(char c) {
    SkipBlanks();
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  SDIFMatrixType MatrixDecl() {
    SDIFMatrixType m;
    m.signature = Sig();
    Expect('{');
    for (;;) {
      const std::size_t start = pos_;
      while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '}') {
        if (text_[pos_] == '{' || text_[pos_] == ';') Fail("unexpected character in column name");
        ++pos_;
      }
      if (pos_ >= text_.size()) Fail("text ends inside a matrix declaration");
      const std::string_view name = Trim(text_.substr(start, pos_ - start));
      const char sep = text_[pos_++];
      if (name.empty()) {
        // "{}" declares no column; anything else needs a name between the commas.
        if (!(sep == '}' && m.columns.empty())) Fail("empty column name");
      } else {
        m.columns.emplace_back(name);
      }
      if (sep == '}') break;
    }
    return m;
  }

  SDIFFrameType FrameDecl() {
    SDIFFrameType f;
    f.signature = Sig();
    Expect('{');
    for (;;) {
      SkipBlanks();
      if (Peek() == '}') {
        ++pos_;
        break;
      }
      SDIFFrameComponent c;
      c.matrix = Sig();
      if (!IsBlank(Peek())) Fail("expected a blank after the component's matrix signature");
      SkipBlanks();
      const std::size_t start = pos_;
      while (pos_ < text_.size() && text_[pos_] != ';') {
        if (text_[pos_] == '{' || text_[pos_] == '}' || text_[pos_] == ',') {
          Fail("component without its ';'");
        }
        ++pos_;
      }
      if (pos_ >= text_.size()) Fail("text ends inside a frame declaration");
      const std::string_view name = Trim(text_.substr(start, pos_ - start));
      if (name.empty()) Fail("component without a name");
      ++pos_;  // ';'
      c.name = std::string(name);
      f.components.push_back(std::move(c));
    }
    return f;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string SDIFTypeDeclarations::ToText() const {
  std::string t = "{\n";
  for (const auto& m : matrices) {
    t += "  1MTD " + SdifSignatureToString(m.signature) + " {";
    for (std::size_t i = 0; i < m.columns.size(); ++i) {
      if (i) t += ", ";
      t += m.columns[i];
    }
    t += "}\n";
  }
  for (const auto& f : frames) {
    t += "  1FTD " + SdifSignatureToString(f.signature) + "\n    {\n";
    for (const auto& c : f.components) {
      t += "      " + SdifSignatureToString(c.matrix) + " " + c.name + ";\n";
    }
    t += "    }\n";
  }
  t += "}\n";
  return t;
}

SDIFTypeDeclarations SDIFTypeDeclarations::FromText(std::string_view text) {
  text = lumbra_detail::HeaderText(text, "type declarations");
  SDIFTypeDeclarations decl = Parser(text).Run();
  // The first type declared twice, matrices before frames.
  const auto check_unique = [](const auto& list, const char* kind) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        if (list[i].signature == list[j].signature) {
          throw SDIFAsciiChunkError(std::string("type declarations: ") + kind + " type " +
                                    SdifSignatureToString(list[i].signature) + " declared twice");
        }
      }
    }
  };
  check_unique(decl.matrices, "matrix");
  check_unique(decl.frames, "frame");
  return decl;
}
