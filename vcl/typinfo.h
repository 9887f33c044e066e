// Run-time class and published-property descriptions.
//
// Every class that takes part in window templates or persistence describes
// its published properties once, in a table built by TPropBuilder. The same
// table serves the template loader, the writer/reader of persisted
// properties and the automation interface through which test drivers read
// what a user sees. Pure code: no Windows header.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "sysutils.h"

class TObject;
class TPersistent;
class TComponent;
class TStrings;
struct TClassInfo;

// A value as it appears in a template or a persisted text, and as a
// property reports itself.
struct TValue {
  enum Kind { vNone, vInt, vFloat, vString, vIdent, vSet, vList, vBinary };
  Kind kind = vNone;
  int64_t i = 0;
  double f = 0;
  std::string s;                // vString, vIdent, vBinary (raw bytes)
  std::vector<std::string> set;  // vSet: identifiers
  std::vector<TValue> list;      // vList

  static TValue Int(int64_t v) { TValue r; r.kind = vInt; r.i = v; return r; }
  static TValue Float(double v) { TValue r; r.kind = vFloat; r.f = v; return r; }
  static TValue Str(std::string v) { TValue r; r.kind = vString; r.s = std::move(v); return r; }
  static TValue Ident(std::string v) { TValue r; r.kind = vIdent; r.s = std::move(v); return r; }
  static TValue Set(std::vector<std::string> v) { TValue r; r.kind = vSet; r.set = std::move(v); return r; }

  bool operator==(const TValue& o) const;
  // Display text: numbers in decimal, strings as they are, identifiers by
  // name, sets as "[a,b]", lists one item a line.
  std::string ToText() const;
};

// Names of an enumeration's values (in order) or of a set's elements.
struct TEnumInfo {
  const char* TypeName;
  std::vector<const char*> Names;
  int IndexOf(std::string_view name) const;  // case-insensitive; -1 when unknown
};

// Specialise for every enumeration used as a published property.
template <class E>
const TEnumInfo& EnumInfoOf();

// A small set of enumeration values, stored as bits.
template <class E>
class TSet {
 public:
  using ElementType = E;
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) FBits |= Bit(e);
  }
  constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
  constexpr TSet& operator<<(E e) { FBits |= Bit(e); return *this; }
  constexpr TSet& operator>>(E e) { FBits &= ~Bit(e); return *this; }
  constexpr bool operator==(const TSet& o) const { return FBits == o.FBits; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr uint32_t Bits() const { return FBits; }
  static constexpr TSet FromBits(uint32_t b) { TSet s; s.FBits = b; return s; }

 private:
  static constexpr uint32_t Bit(E e) { return 1u << static_cast<unsigned>(e); }
  uint32_t FBits = 0;
};

// A bound event handler with the name it was bound under (for persistence and
// for test drivers).
template <class Sig>
class TEvent;
template <class R, class... A>
class TEvent<R(A...)> {
 public:
  using Function = std::function<R(A...)>;
  TEvent() = default;
  TEvent(std::nullptr_t) {}
  template <class F, class = std::enable_if_t<std::is_invocable_r_v<R, F, A...>>>
  TEvent(F f) : FFn(std::move(f)) {}
  TEvent& operator=(std::nullptr_t) {
    FFn = nullptr;
    FName.clear();
    return *this;
  }
  template <class F, class = std::enable_if_t<std::is_invocable_r_v<R, F, A...>>>
  TEvent& operator=(F f) {
    FFn = Function(std::move(f));
    FName.clear();
    return *this;
  }
  void Bind(Function f, std::string name) {
    FFn = std::move(f);
    FName = std::move(name);
  }
  explicit operator bool() const { return static_cast<bool>(FFn); }
  R operator()(A... a) const { return FFn(std::forward<A>(a)...); }
  const std::string& Name() const { return FName; }

 private:
  Function FFn;
  std::string FName;
};

namespace vcl {
// Colour names of templates and markup ("clRed", "clBtnFace"); pure.
bool ColorFromIdent(std::string_view name, int32_t& color);
std::string ColorToIdent(int32_t color);  // name, or empty when it has none
}  // namespace vcl

enum class TPropKind { Integer, Bool, Float, String, Enum, Set, Color, Class, Method, Strings, Indexed };

// How a value type maps to a property kind and to TValue. Specialised below
// for the kinds the framework uses; enumerations and TSet<E> are handled
// through EnumInfoOf<E>.
template <class T, class Enable = void>
struct TPropTraits;

struct TPropInfo {
  std::string Name;
  TPropKind Kind = TPropKind::Integer;
  const TEnumInfo* Enum = nullptr;
  std::function<TValue(const TObject&)> Get;
  std::function<void(TObject&, const TValue&)> Set;  // empty: read-only
  // Class-kind properties: the owned sub-object (fonts, records, lists).
  std::function<TObject*(const TObject&)> GetObject;
  // Method-kind properties: bind a handler found in the root's method table.
  std::function<void(TObject&, const std::string& name, const std::any& code)> SetMethod;
  // Indexed properties (Cells[c,r], ColWidths[i]), read as text only.
  std::function<std::string(const TObject&, const std::vector<int64_t>&)> GetIndexed;
  std::optional<TValue> Default;  // declared default: a value equal to it is not written
  bool Stored = true;

  bool ReadOnly() const { return !Set && !SetMethod; }
};

// Run-time description of a class.
struct TClassInfo {
  const char* Name;
  const TClassInfo* Parent;
  std::vector<TPropInfo> (*BuildProps)();
  TComponent* (*Create)(TComponent* owner);  // null: not creatable from a template

  const std::vector<TPropInfo>& OwnProps() const;
  // Own properties first searched, then the ancestors'; case-insensitive.
  const TPropInfo* FindProp(std::string_view name) const;
  // All published properties, the ancestors' first, each in declared order.
  std::vector<const TPropInfo*> AllProps() const;
  bool InheritsFrom(const TClassInfo& other) const;
};

namespace vcl {
// The class registry: names to creatable classes.
void RegisterClassInfo(const TClassInfo& info);
const TClassInfo* FindClass(std::string_view name);
// Designer registration: the palette page a component is offered on.
void RegisterComponents(const std::string& page, std::initializer_list<const TClassInfo*> classes);
std::string ComponentPage(const TClassInfo& info);  // empty when not registered
}  // namespace vcl

// ---- Traits -------------------------------------------------------------

template <class T>
struct TPropTraits<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>> {
  static constexpr TPropKind Kind = TPropKind::Integer;
  static TValue To(T v) { return TValue::Int(static_cast<int64_t>(v)); }
  static T From(const TValue& v) {
    if (v.kind == TValue::vInt) return static_cast<T>(v.i);
    if (v.kind == TValue::vFloat) return static_cast<T>(v.f);
    throw EPropertyError("Invalid property value");
  }
};

template <>
struct TPropTraits<bool> {
  static constexpr TPropKind Kind = TPropKind::Bool;
  static TValue To(bool v) { return TValue::Ident(v ? "True" : "False"); }
  static bool From(const TValue& v) {
    if (v.kind == TValue::vIdent) {
      if (SameTextAscii(v.s, "True")) return true;
      if (SameTextAscii(v.s, "False")) return false;
    }
    if (v.kind == TValue::vInt) return v.i != 0;
    throw EPropertyError("Invalid property value");
  }
};

template <>
struct TPropTraits<double> {
  static constexpr TPropKind Kind = TPropKind::Float;
  static TValue To(double v) { return TValue::Float(v); }
  static double From(const TValue& v) {
    if (v.kind == TValue::vFloat) return v.f;
    if (v.kind == TValue::vInt) return static_cast<double>(v.i);
    throw EPropertyError("Invalid property value");
  }
};

template <>
struct TPropTraits<std::string> {
  static constexpr TPropKind Kind = TPropKind::String;
  static TValue To(const std::string& v) { return TValue::Str(v); }
  static std::string From(const TValue& v) {
    if (v.kind == TValue::vString || v.kind == TValue::vIdent) return v.s;
    throw EPropertyError("Invalid property value");
  }
};

template <class E>
struct TPropTraits<E, std::enable_if_t<std::is_enum_v<E>>> {
  static constexpr TPropKind Kind = TPropKind::Enum;
  static TValue To(E v) {
    const TEnumInfo& info = EnumInfoOf<E>();
    auto i = static_cast<size_t>(v);
    return TValue::Ident(i < info.Names.size() ? info.Names[i] : std::to_string(i));
  }
  static E From(const TValue& v) {
    if (v.kind == TValue::vIdent) {
      int i = EnumInfoOf<E>().IndexOf(v.s);
      if (i >= 0) return static_cast<E>(i);
    }
    if (v.kind == TValue::vInt) return static_cast<E>(v.i);
    throw EPropertyError("Invalid property value");
  }
};

template <class E>
struct TPropTraits<TSet<E>> {
  static constexpr TPropKind Kind = TPropKind::Set;
  static TValue To(TSet<E> v) {
    const TEnumInfo& info = EnumInfoOf<E>();
    std::vector<std::string> items;
    for (size_t i = 0; i < info.Names.size(); ++i)
      if (v.Contains(static_cast<E>(i))) items.push_back(info.Names[i]);
    return TValue::Set(std::move(items));
  }
  static TSet<E> From(const TValue& v) {
    if (v.kind != TValue::vSet) throw EPropertyError("Invalid property value");
    TSet<E> s;
    for (const auto& name : v.set) {
      int i = EnumInfoOf<E>().IndexOf(name);
      if (i < 0) throw EPropertyError("Invalid property value");
      s << static_cast<E>(i);
    }
    return s;
  }
};

// Builds a class's property table.
template <class C>
class TPropBuilder {
 public:
  // A property read and written through a field.
  template <class T>
  TPropBuilder& Field(const char* name, T C::*field, std::type_identity_t<std::optional<T>> def = {}) {
    return Prop(
        name, [field](const C& c) -> const T& { return c.*field; },
        [field](C& c, const T& v) { c.*field = v; }, def);
  }
  // A read-only field.
  template <class T>
  TPropBuilder& FieldRO(const char* name, T C::*field) {
    using Tr = TPropTraits<T>;
    TPropInfo p = Base(name, Tr::Kind, EnumOf<T>());
    p.Get = [field](const TObject& o) { return Tr::To(static_cast<const C&>(o).*field); };
    FProps.push_back(std::move(p));
    return *this;
  }
  // A property through a getter and a setter (member functions or lambdas
  // taking the object). A null setter makes it read-only.
  template <class G, class S>
  TPropBuilder& Prop(const char* name, G get, S set, std::optional<std::decay_t<std::invoke_result_t<G, const C&>>> def = {}) {
    using T = std::decay_t<std::invoke_result_t<G, const C&>>;
    using Tr = TPropTraits<T>;
    TPropInfo p = Base(name, Tr::Kind, EnumOf<T>());
    p.Get = [get](const TObject& o) { return Tr::To(std::invoke(get, static_cast<const C&>(o))); };
    if constexpr (!std::is_same_v<S, std::nullptr_t>)
      p.Set = [set](TObject& o, const TValue& v) { std::invoke(set, static_cast<C&>(o), Tr::From(v)); };
    if (def) p.Default = Tr::To(*def);
    FProps.push_back(std::move(p));
    return *this;
  }
  template <class G>
  TPropBuilder& ReadOnly(const char* name, G get) {
    return Prop(name, get, nullptr);
  }
  // A colour (an integer that templates may also give by colour name).
  template <class G, class S>
  TPropBuilder& Color(const char* name, G get, S set, std::optional<int32_t> def = {});
  // An owned sub-object whose own published properties are nested ("Font.Name").
  template <class G>
  TPropBuilder& Object(const char* name, G get) {
    TPropInfo p = Base(name, TPropKind::Class, nullptr);
    p.GetObject = [get](const TObject& o) -> TObject* {
      return std::invoke(get, static_cast<const C&>(o));
    };
    FProps.push_back(std::move(p));
    return *this;
  }
  // An event: Ev is a TEvent<...> field of the class.
  template <class Ev>
  TPropBuilder& Event(const char* name, Ev C::*field) {
    TPropInfo p = Base(name, TPropKind::Method, nullptr);
    p.Get = [field](const TObject& o) {
      const Ev& e = static_cast<const C&>(o).*field;
      return e ? TValue::Ident(e.Name()) : TValue();
    };
    p.SetMethod = [field, name](TObject& o, const std::string& mname, const std::any& code) {
      auto* fn = std::any_cast<typename Ev::Function>(&code);
      if (!fn) throw EPropertyError(Format("Method %s does not fit event %s", mname.c_str(), name));
      (static_cast<C&>(o).*field).Bind(*fn, mname);
    };
    FProps.push_back(std::move(p));
    return *this;
  }
  // An indexed property, readable as text by the automation interface.
  TPropBuilder& Indexed(const char* name,
                        std::function<std::string(const C&, const std::vector<int64_t>&)> get) {
    TPropInfo p = Base(name, TPropKind::Indexed, nullptr);
    p.Stored = false;
    p.GetIndexed = [get](const TObject& o, const std::vector<int64_t>& idx) {
      return get(static_cast<const C&>(o), idx);
    };
    FProps.push_back(std::move(p));
    return *this;
  }
  // A published property that is never written out.
  TPropBuilder& NotStored() {
    FProps.back().Stored = false;
    return *this;
  }
  TPropBuilder& Add(TPropInfo p) {
    FProps.push_back(std::move(p));
    return *this;
  }

  std::vector<TPropInfo> Done() { return std::move(FProps); }

 private:
  template <class T>
  static const TEnumInfo* EnumOf() {
    if constexpr (std::is_enum_v<T>) return &EnumInfoOf<T>();
    else if constexpr (requires { typename T::ElementType; }) return &EnumInfoOf<typename T::ElementType>();
    else return nullptr;
  }
  static TPropInfo Base(const char* name, TPropKind kind, const TEnumInfo* e) {
    TPropInfo p;
    p.Name = name;
    p.Kind = kind;
    p.Enum = e;
    return p;
  }
  std::vector<TPropInfo> FProps;
};

template <class C>
template <class G, class S>
TPropBuilder<C>& TPropBuilder<C>::Color(const char* name, G get, S set, std::optional<int32_t> def) {
  auto to = [](int32_t c) {
    std::string n = vcl::ColorToIdent(c);
    return n.empty() ? TValue::Int(c) : TValue::Ident(n);
  };
  TPropInfo p = Base(name, TPropKind::Color, nullptr);
  p.Get = [get, to](const TObject& o) { return to(static_cast<int32_t>(std::invoke(get, static_cast<const C&>(o)))); };
  p.Set = [set](TObject& o, const TValue& v) {
    int32_t c = 0;
    if (v.kind == TValue::vInt) c = static_cast<int32_t>(v.i);
    else if (!(v.kind == TValue::vIdent && vcl::ColorFromIdent(v.s, c)))
      throw EPropertyError("Invalid property value");
    std::invoke(set, static_cast<C&>(o), c);
  };
  if (def) p.Default = to(*def);
  FProps.push_back(std::move(p));
  return *this;
}

// Class declaration helpers.
#define VCL_CLASS(Cls)                                               \
 public:                                                             \
  static const TClassInfo& StaticClass();                            \
  const TClassInfo& ClassType() const override { return StaticClass(); }

// Defines Cls::StaticClass(). PROPS is a function returning the table,
// FACTORY a TComponent* (*)(TComponent*) or nullptr.
#define VCL_DEFINE_CLASS(Cls, Base, FACTORY, PROPS)                           \
  const TClassInfo& Cls::StaticClass() {                                      \
    static const TClassInfo info{#Cls, &Base::StaticClass(), PROPS, FACTORY}; \
    return info;                                                              \
  }

// Factory for a component class constructible from its owner.
template <class C>
TComponent* CreateComponentOf(TComponent* owner) {
  return new C(owner);
}
