// The "SeqTools" tab's state and button logic, kept apart from the widgets: the spacing
// width, the orientation marker, and what each button makes of the sequence field's text.
#pragma once

#include <cstdint>
#include <string>

enum class TSeqToolOp { Reverse, Complement, ReverseComplement, Translate, RevTranslate };

struct TZelSeqTools {
  uint8_t Spacing = 0;        // a space after every n-th character; 0: none
  std::string Marker = ">+";  // direction ">" or "<", strand "+" or "-"

  void Wider() {
    if (Spacing < 255) ++Spacing;
  }
  void Narrower() {
    if (Spacing > 0) --Spacing;
  }
  // The field's text without spaces, with the operation applied, re-spaced; the marker
  // follows the operation.
  std::string Apply(TSeqToolOp op, const std::string& field);
  // The text without spaces, with a space after every Spacing-th character (none at the end).
  std::string Spaced(const std::string& field) const;
  // Characters other than spaces.
  static size_t Length(const std::string& field);
  static std::string WithoutSpaces(const std::string& field);
};
