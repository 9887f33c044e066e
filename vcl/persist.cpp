#include "persist.h"

#include <cstdlib>

namespace vcl {

namespace {

[[noreturn]] void NoSuchProperty(const TObject& obj, std::string_view name) {
  std::string n(name);
  throw EPropertyError(Format(res::UnknownProperty, obj.ClassName().c_str(), n.c_str(), n.c_str()));
}

const TPropInfo& Find(const TObject& obj, std::string_view name) {
  const TPropInfo* p = obj.ClassType().FindProp(name);
  if (!p) NoSuchProperty(obj, name);
  return *p;
}

// Should a value be written out?
bool Differs(const TPropInfo& p, const TValue& v) {
  if (p.Default) return !(v == *p.Default);
  switch (v.kind) {
    case TValue::vNone: return false;
    case TValue::vString: return !v.s.empty();
    case TValue::vList: return !v.list.empty();
    default: return true;
  }
}

void CollectProps(const TObject& obj, const std::string& prefix,
                  std::vector<std::pair<std::string, TValue>>& out, int depth) {
  if (depth > 16) return;
  for (const TPropInfo* p : obj.ClassType().AllProps()) {
    if (!p->Stored || p->Kind == TPropKind::Indexed) continue;
    if (p->Kind == TPropKind::Class) {
      TObject* sub = p->GetObject ? p->GetObject(obj) : nullptr;
      // Only owned persistent sub-objects are written; references are not.
      if (!sub || !sub->InheritsFrom(TPersistent::StaticClass()) ||
          sub->InheritsFrom(TComponent::StaticClass()))
        continue;
      CollectProps(*sub, prefix + p->Name + ".", out, depth + 1);
      continue;
    }
    if (p->ReadOnly() || !p->Get) continue;
    TValue v = p->Get(obj);
    if (Differs(*p, v)) out.emplace_back(prefix + p->Name, std::move(v));
  }
}

void ReadChild(TComponent& root, TComponent* parent, const TTemplateObject& tpl,
               std::vector<TComponent*>& created) {
  const TClassInfo* cls = FindClass(tpl.ClassName);
  if (!cls || !cls->Create) throw EClassNotFound(Format(res::ClassNotFound, tpl.ClassName.c_str()));
  TComponent* c = cls->Create(&root);
  created.push_back(c);
  c->SetState(TComponentStateItem::csLoading, true);
  c->SetName(tpl.Name);
  c->SetParentComponent(parent);
  for (const auto& [name, value] : tpl.Props) ApplyProperty(*c, name, value, &root);
  if (!tpl.Name.empty()) root.BindField(tpl.Name, c);
  for (const auto& child : tpl.Children) ReadChild(root, c, child, created);
}

std::vector<int64_t> ParseIndexes(std::string_view text) {
  std::vector<int64_t> idx;
  std::string t(text);
  const char* p = t.c_str();
  while (*p) {
    while (*p == ' ' || *p == ',') ++p;
    if (!*p) break;
    char* end = nullptr;
    long long v = std::strtoll(p, &end, 10);
    if (end == p) throw EPropertyError("Invalid index");
    idx.push_back(v);
    p = end;
  }
  return idx;
}

}  // namespace

void ApplyProperty(TObject& obj, std::string_view name, const TValue& value, TComponent* root) {
  size_t dot = name.find('.');
  const TPropInfo& p = Find(obj, name.substr(0, dot));
  if (dot != std::string_view::npos) {
    if (p.Kind != TPropKind::Class || !p.GetObject) NoSuchProperty(obj, name);
    TObject* sub = p.GetObject(obj);
    if (!sub) throw EPropertyError(Format("Property %s has no object", p.Name.c_str()));
    ApplyProperty(*sub, name.substr(dot + 1), value, root);
    return;
  }
  if (p.Kind == TPropKind::Method) {
    if (value.kind != TValue::vIdent) throw EPropertyError("Invalid property value");
    const std::any* code = root ? root->FindMethod(value.s) : nullptr;
    if (!code) throw EPropertyError(Format("Method %s not found", value.s.c_str()));
    p.SetMethod(obj, value.s, *code);
    return;
  }
  if (p.Kind == TPropKind::Class && value.kind == TValue::vList && p.GetObject) {
    if (TObject* sub = p.GetObject(obj)) {
      ApplyProperty(*sub, "Strings", value, root);
      return;
    }
  }
  if (!p.Set) throw EPropertyError(Format("Property %s is read-only", p.Name.c_str()));
  try {
    p.Set(obj, value);
  } catch (const EPropertyError& e) {
    throw EPropertyError(Format("Error reading %s.%s: %s", obj.ClassName().c_str(), p.Name.c_str(),
                                e.Message().c_str()));
  }
}

void LoadTemplate(TComponent& root, const TTemplateObject& tpl) {
  if (!SameTextAscii(tpl.ClassName, root.ClassName()))
    throw EParserError(Format("Template of %s read into %s", tpl.ClassName.c_str(), root.ClassName().c_str()));
  root.SetState(TComponentStateItem::csLoading, true);
  if (!tpl.Name.empty()) root.SetName(tpl.Name);
  for (const auto& [name, value] : tpl.Props) ApplyProperty(root, name, value, &root);
  std::vector<TComponent*> created;
  for (const auto& child : tpl.Children) ReadChild(root, &root, child, created);
  for (TComponent* c : created) c->Loaded();
  root.Loaded();
}

std::string GetPropertyText(const TObject& obj, std::string_view name) {
  size_t bracket = name.find('[');
  size_t dot = name.find('.');
  if (dot != std::string_view::npos && (bracket == std::string_view::npos || dot < bracket)) {
    const TPropInfo& p = Find(obj, name.substr(0, dot));
    TObject* sub = (p.Kind == TPropKind::Class && p.GetObject) ? p.GetObject(obj) : nullptr;
    if (!sub) NoSuchProperty(obj, name);
    return GetPropertyText(*sub, name.substr(dot + 1));
  }
  if (bracket != std::string_view::npos) {
    size_t close = name.find(']', bracket);
    if (close == std::string_view::npos) throw EPropertyError("']' expected");
    const TPropInfo& p = Find(obj, name.substr(0, bracket));
    if (p.Kind != TPropKind::Indexed) throw EPropertyError(Format("Property %s is not indexed", p.Name.c_str()));
    return p.GetIndexed(obj, ParseIndexes(name.substr(bracket + 1, close - bracket - 1)));
  }
  const TPropInfo& p = Find(obj, name);
  if (p.Kind == TPropKind::Class) {
    TObject* sub = p.GetObject ? p.GetObject(obj) : nullptr;
    if (auto* strings = dynamic_cast<TStrings*>(sub)) return strings->Text();
    if (auto* comp = dynamic_cast<TComponent*>(sub)) return comp->Name();
    return sub ? sub->ClassName() : std::string();
  }
  if (!p.Get) throw EPropertyError(Format("Property %s cannot be read", p.Name.c_str()));
  return p.Get(obj).ToText();
}

std::string WriteProperties(const TPersistent& obj) {
  std::vector<std::pair<std::string, TValue>> props;
  CollectProps(obj, "", props, 0);
  std::string out;
  for (const auto& [name, value] : props) out += name + " = " + ValueToTemplateText(value) + "\r\n";
  return out;
}

void ReadProperties(TPersistent& obj, std::string_view text) {
  auto* root = dynamic_cast<TComponent*>(&obj);
  for (const auto& [name, value] : ParsePropertyList(text)) ApplyProperty(obj, name, value, root);
}

static TTemplateObject ComponentTemplate(const TComponent& c) {
  TTemplateObject t;
  t.Name = c.Name();
  t.ClassName = c.ClassName();
  CollectProps(c, "", t.Props, 0);
  for (int i = 0; i < c.ComponentCount(); ++i) t.Children.push_back(ComponentTemplate(*c.Components(i)));
  return t;
}

std::string WriteComponent(const TComponent& c) { return WriteTemplate(ComponentTemplate(c)); }

void ReadComponent(TComponent& c, std::string_view text) { LoadTemplate(c, ParseTemplate(text)); }

}  // namespace vcl
