// The text format of window templates and persisted properties:
//
//   object Name: TClass
//     Prop = 12
//     Font.Name = 'MS Sans Serif'
//     Anchors = [akLeft, akTop]
//     Lines.Strings = ('one' 'two')
//     object Child: TLabel
//       Caption = 'It''s'#13#10'two lines'
//     end
//   end
//
// Values: integers (decimal or $hex), floats, strings ('...' with '' for a
// quote and #nnn for any byte, joined by +), identifiers, sets [a, b],
// lists (v v ...), binary {hex}. Pure code: no Windows header.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "typinfo.h"

struct TTemplateObject {
  std::string Name;
  std::string ClassName;
  int Line = 0;
  std::vector<std::pair<std::string, TValue>> Props;
  std::vector<TTemplateObject> Children;
};

// Raise EParserError naming the line on malformed text.
TTemplateObject ParseTemplate(std::string_view text);
// A bare list of "Name = value" lines, as WriteProperties produces.
std::vector<std::pair<std::string, TValue>> ParsePropertyList(std::string_view text);

std::string WriteTemplate(const TTemplateObject& obj);
std::string ValueToTemplateText(const TValue& v);
