#pragma once

// Class records: the run-time description of a class. A record carries its class table (the
// virtual operations, the parent's first in the parent's order, an override in its parent's
// slot), its declared members with their attributes, its declared properties with their types
// and setters, its event table and the interfaces it answers. Each class is registered once;
// its class handle registers it on first use.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/object/object.h"
#include "platform/object/value.h"

namespace fw {

using OperationImpl = std::function<Value(Object& self, std::span<const Value> arguments)>;

struct Operation {
  std::string name;
  std::vector<std::string> arguments;  // type names, in order
  std::string result;                  // type name, empty for none
  std::string declaredBy;              // class name of the class that gave the slot its body
  OperationImpl body;
};

struct Attribute {
  std::string name;
  std::optional<std::string> value;  // "Hidden" carries none
  friend bool operator==(const Attribute&, const Attribute&) = default;
};

struct MemberDeclaration {
  std::string name;
  std::vector<std::string> arguments;
  std::string result;
  std::vector<Attribute> attributes;
};

enum class PropertyType { Int32, Boolean, Color, String, Single, Double, Object };

struct PropertyDeclaration {
  std::string name;
  PropertyType type = PropertyType::Int32;
  std::string typeName;  // "Int32", "Boolean", ... or the class name of an object property
  std::function<void(Object&, const Value&)> set;
  std::function<Value(Object&)> get;
  std::vector<Attribute> attributes;
};

// The name a property type has in declarations.
std::string_view PropertyTypeName(PropertyType type);

struct EventEntry {
  std::string event;
  std::string operation;  // name of the class-table operation that handles it
};

class ClassRecord {
 public:
  const std::string& Name() const noexcept { return name_; }
  const ClassRecord* Parent() const noexcept { return parent_; }
  const std::string& Scope() const noexcept { return scope_; }
  bool IsA(const ClassRecord& other) const noexcept;

  const std::vector<Operation>& Table() const noexcept { return table_; }
  const Operation& Slot(std::size_t index) const;
  // Index of the first slot of that name (and, when given, those argument types), or -1.
  int SlotOf(std::string_view name) const noexcept;
  int SlotOf(std::string_view name, const std::vector<std::string>& arguments) const noexcept;

  const std::vector<MemberDeclaration>& Members() const noexcept { return members_; }
  const MemberDeclaration* FindMember(std::string_view name) const noexcept;

  const std::vector<PropertyDeclaration>& Properties() const noexcept { return properties_; }
  // Own properties first, then inherited ones; names match without regard to letter case.
  const PropertyDeclaration* FindProperty(std::string_view name) const noexcept;

  const std::vector<EventEntry>& Events() const noexcept { return events_; }
  // The operation that the class's event table (own, then inherited) gives the event, or none.
  const Operation* EventHandler(std::string_view event) const noexcept;

  const std::vector<std::string>& Interfaces() const noexcept { return interfaces_; }
  bool Answers(std::string_view interfaceName) const noexcept;

  using Allocator = std::function<Object*()>;
  using Lifecycle = void (*)(Object&);
  Lifecycle Initializer() const noexcept { return initializer_; }
  Lifecycle Finalizer() const noexcept { return finalizer_; }
  const Allocator& Allocate() const noexcept { return allocate_; }

 private:
  friend class ClassBuilder;
  std::string name_;
  const ClassRecord* parent_ = nullptr;
  std::string scope_;
  std::vector<Operation> table_;
  std::vector<MemberDeclaration> members_;
  std::vector<PropertyDeclaration> properties_;
  std::vector<EventEntry> events_;
  std::vector<std::string> interfaces_;
  Allocator allocate_;
  Lifecycle initializer_ = nullptr;
  Lifecycle finalizer_ = nullptr;
};

class ClassBuilder {
 public:
  ClassBuilder(std::string name, const ClassRecord* parent);

  ClassBuilder& Scope(std::string scope);
  ClassBuilder& Allocator(ClassRecord::Allocator allocate);
  ClassBuilder& Initializer(ClassRecord::Lifecycle init);
  ClassBuilder& Finalizer(ClassRecord::Lifecycle exit);

  // A new slot after those the class has so far.
  ClassBuilder& Add(std::string name, std::vector<std::string> arguments, std::string result,
                    OperationImpl body);
  // Takes the place of the inherited slot with this name and these argument types.
  ClassBuilder& Override(std::string_view name, const std::vector<std::string>& arguments,
                         OperationImpl body);
  ClassBuilder& Member(MemberDeclaration member);
  ClassBuilder& Property(PropertyDeclaration property);
  ClassBuilder& Event(std::string event, std::string operation);
  ClassBuilder& Interface(std::string name);

  // Hands the record to the registry; a name registered before raises RuntimeException.
  const ClassRecord& Register();

 private:
  std::unique_ptr<ClassRecord> record_;
};

// The registry of class records. Lookup is by class name ("Window1.Window1").
const ClassRecord* FindClass(std::string_view name) noexcept;
std::vector<const ClassRecord*> RegisteredClasses();

// Makes an object of the class, runs the initialisers root first, and returns the one reference.
Ref<Object> RuntimeNewObject(const ClassRecord& record);

// Calls a slot of the object's own class table.
Value Invoke(Object& target, std::size_t slot, std::span<const Value> arguments = {});
Value Invoke(Object& target, std::string_view operation, std::span<const Value> arguments = {});

template <class... Args>
Value Call(Object& target, std::string_view operation, Args&&... arguments) {
  const Value values[] = {Value{}, ToValue(std::forward<Args>(arguments))...};
  return Invoke(target, operation, std::span<const Value>(values + 1, sizeof...(Args)));
}

// A class-table body that raises UnsupportedOperationException naming the operation.
OperationImpl Unsupported(std::string qualifiedName);

// Adapts a member function to a class-table body: the arguments are read from the Values by
// the member's parameter types, and the result, if any, is returned as a Value.
namespace detail {
template <class T>
struct MemberTraits;
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...)> {
  using Class = C;
  using Result = R;
  static constexpr std::size_t arity = sizeof...(A);
  template <auto F, std::size_t... I>
  static Value Call(C& self, std::span<const Value> args, std::index_sequence<I...>) {
    if constexpr (std::is_void_v<R>) {
      (self.*F)(FromValue<A>(args[I])...);
      return {};
    } else {
      return ToValue((self.*F)(FromValue<A>(args[I])...));
    }
  }
};
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...) const> : MemberTraits<R (C::*)(A...)> {};
[[noreturn]] void ArityMismatch(std::size_t expected, std::size_t given);
}  // namespace detail

template <auto F>
OperationImpl Method() {
  using Traits = detail::MemberTraits<decltype(F)>;
  return [](Object& self, std::span<const Value> args) -> Value {
    if (args.size() != Traits::arity) detail::ArityMismatch(Traits::arity, args.size());
    auto* target = dynamic_cast<typename Traits::Class*>(&self);
    if (!target) throw IllegalCastException("the object does not have this operation");
    return Traits::template Call<F>(*target, args, std::make_index_sequence<Traits::arity>{});
  };
}

// A class-table body from a callable that takes the object as a C and the arguments.
template <class C, class F>
OperationImpl On(F body) {
  return [body](Object& self, std::span<const Value> args) -> Value {
    return body(dynamic_cast<C&>(self), args);
  };
}

// The declared type a value property has, from the type its getter returns.
template <class T>
constexpr PropertyType PropertyTypeOf() {
  if constexpr (std::is_same_v<T, std::int32_t>) return PropertyType::Int32;
  else if constexpr (std::is_same_v<T, bool>) return PropertyType::Boolean;
  else if constexpr (std::is_same_v<T, Color>) return PropertyType::Color;
  else if constexpr (std::is_same_v<T, std::string>) return PropertyType::String;
  else if constexpr (std::is_same_v<T, float>) return PropertyType::Single;
  else if constexpr (std::is_same_v<T, double>) return PropertyType::Double;
  else static_assert(sizeof(T) == 0, "an object property names its type");
}

// A property declaration from a getter and a setter member of the class.
template <auto Getter, auto Setter>
PropertyDeclaration DeclareProperty(std::string name, PropertyType type, std::string typeName = {}) {
  using Traits = detail::MemberTraits<decltype(Setter)>;
  using C = typename Traits::Class;
  PropertyDeclaration p;
  p.name = std::move(name);
  p.type = type;
  p.typeName = typeName.empty() ? std::string(PropertyTypeName(type)) : std::move(typeName);
  p.set = [](Object& self, const Value& v) {
    auto& target = dynamic_cast<C&>(self);
    const Value args[] = {v};
    Traits::template Call<Setter>(target, args, std::make_index_sequence<1>{});
  };
  p.get = [](Object& self) -> Value {
    auto& target = dynamic_cast<C&>(self);
    return ToValue((target.*Getter)());
  };
  return p;
}

// A value property, typed by what its getter returns.
template <auto Getter, auto Setter>
PropertyDeclaration DeclareProperty(std::string name) {
  using Result = typename detail::MemberTraits<decltype(Getter)>::Result;
  return DeclareProperty<Getter, Setter>(std::move(name), PropertyTypeOf<std::remove_cvref_t<Result>>());
}

// Attributes the framework's scope rules use.
Attribute ScopeAttribute(std::string scope);
const Attribute* FindAttribute(const std::vector<Attribute>& attributes, std::string_view name);

}  // namespace fw
