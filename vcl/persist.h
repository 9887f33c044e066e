// Applying templates to components, and writing and reading published
// properties as text. Pure code: no Windows header.
#pragma once

#include <string>
#include <string_view>

#include "classes.h"
#include "dfm.h"

namespace vcl {

// Sets one property, dotted names reaching into sub-objects ("Font.Name").
// Event values are looked up in root's method table. Raises EPropertyError.
void ApplyProperty(TObject& obj, std::string_view name, const TValue& value, TComponent* root);

// Reads a template into root: root's own properties, then every nested
// object, created through the class registry with root as owner, placed in
// its enclosing object, bound to root's field of the same name; finally
// Loaded() on each created component in creation order, then on root.
void LoadTemplate(TComponent& root, const TTemplateObject& tpl);

// Published property value as text, dotted names and indexed reads allowed:
// "Font.Name", "Cells[1,2]", "ColWidths[0]". Raises EPropertyError.
std::string GetPropertyText(const TObject& obj, std::string_view name);

// The published properties that differ from their declared defaults, one
// "Name = value" line each, sub-objects as dotted names.
std::string WriteProperties(const TPersistent& obj);
void ReadProperties(TPersistent& obj, std::string_view text);

// A component with its owned components as template text, and back.
std::string WriteComponent(const TComponent& c);
void ReadComponent(TComponent& c, std::string_view text);

}  // namespace vcl
