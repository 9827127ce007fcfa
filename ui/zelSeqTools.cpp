// The sequence tab's operations on the field's text.
#include "ui/zelSeqTools.h"

#include <algorithm>

#include "seq/bioSeq.h"

std::string TZelSeqTools::WithoutSpaces(const std::string& field) {
  std::string s;
  s.reserve(field.size());
  for (char c : field)
    if (c != ' ') s += c;
  return s;
}

size_t TZelSeqTools::Length(const std::string& field) {
  return size_t(std::count_if(field.begin(), field.end(), [](char c) { return c != ' '; }));
}

std::string TZelSeqTools::Spaced(const std::string& field) const {
  const std::string s = WithoutSpaces(field);
  if (Spacing == 0 || s.size() <= Spacing) return s;
  std::string out;
  out.reserve(s.size() + s.size() / Spacing);
  for (size_t i = 0; i < s.size(); ++i) {
    if (i > 0 && i % Spacing == 0) out += ' ';
    out += s[i];
  }
  return out;
}

std::string TZelSeqTools::Apply(TSeqToolOp op, const std::string& field) {
  const std::string s = WithoutSpaces(field);
  const auto flipDirection = [this] { Marker[0] = Marker[0] == '>' ? '<' : '>'; };
  const auto flipStrand = [this] { Marker[1] = Marker[1] == '+' ? '-' : '+'; };
  std::string r;
  switch (op) {
    case TSeqToolOp::Reverse:
      r = ReverseSeq(s);
      flipDirection();
      break;
    case TSeqToolOp::Complement:
      r = ComplementSeq(s);
      flipStrand();
      break;
    case TSeqToolOp::ReverseComplement:
      r = ReverseComplementSeq(s);
      flipDirection();
      flipStrand();
      break;
    case TSeqToolOp::Translate:
      r = TranslateDNA(s, 0, 'X');
      break;
    case TSeqToolOp::RevTranslate:
      r = ReverseTranslate(s, '-', '-', '?');
      break;
  }
  return Spaced(r);
}
