#include "platform/object/classes.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/runtime/runtime.h"
#include "platform/text/text.h"

namespace fw {

namespace {

std::map<std::string, std::unique_ptr<ClassRecord>, std::less<>>& Registry() {
  // Never destroyed: objects released during static destruction still reach their class.
  static auto* registry = new std::map<std::string, std::unique_ptr<ClassRecord>, std::less<>>;
  return *registry;
}

std::vector<const ClassRecord*>& RegistrationOrder() {
  static auto* order = new std::vector<const ClassRecord*>;
  return *order;
}

// Object's own record, which every chain ends in.
const ClassRecord& ObjectClass() {
  if (auto* record = FindClass("Object")) return *record;
  return ClassBuilder("Object", nullptr).Scope("Public").Register();
}

}  // namespace

void Object::Release() noexcept {
  if (--references_ > 0) return;
  // Finalisers may touch the object through a temporary reference; keep it from re-entering.
  references_ = 1 << 24;
  for (const ClassRecord* c = &Class(); c; c = c->Parent()) {
    if (auto exit = c->Finalizer()) {
      try {
        exit(*this);
      } catch (...) {
        // A finaliser that fails must not leak the rest of the object.
      }
    }
  }
  delete this;
}

const ClassRecord& Object::Class() const { return class_ ? *class_ : DefaultClass(); }

const ClassRecord& Object::DefaultClass() const { return ObjectClass(); }

std::string_view PropertyTypeName(PropertyType type) {
  switch (type) {
    case PropertyType::Int32: return "Int32";
    case PropertyType::Boolean: return "Boolean";
    case PropertyType::Color: return "Color";
    case PropertyType::String: return "String";
    case PropertyType::Single: return "Single";
    case PropertyType::Double: return "Double";
    case PropertyType::Object: return "Object";
  }
  return "Object";
}

bool ClassRecord::IsA(const ClassRecord& other) const noexcept {
  for (const ClassRecord* c = this; c; c = c->parent_)
    if (c == &other) return true;
  return false;
}

const Operation& ClassRecord::Slot(std::size_t index) const {
  if (index >= table_.size())
    throw OutOfBoundsException("class " + name_ + " has no slot " + std::to_string(index));
  return table_[index];
}

int ClassRecord::SlotOf(std::string_view name) const noexcept {
  for (std::size_t i = 0; i < table_.size(); ++i)
    if (table_[i].name == name) return static_cast<int>(i);
  return -1;
}

int ClassRecord::SlotOf(std::string_view name,
                        const std::vector<std::string>& arguments) const noexcept {
  for (std::size_t i = 0; i < table_.size(); ++i)
    if (table_[i].name == name && table_[i].arguments == arguments) return static_cast<int>(i);
  return -1;
}

const MemberDeclaration* ClassRecord::FindMember(std::string_view name) const noexcept {
  for (const auto& m : members_)
    if (m.name == name) return &m;
  return nullptr;
}

const PropertyDeclaration* ClassRecord::FindProperty(std::string_view name) const noexcept {
  for (const ClassRecord* c = this; c; c = c->parent_)
    for (const auto& p : c->properties_)
      if (TextEquals(p.name, name)) return &p;
  return nullptr;
}

const Operation* ClassRecord::EventHandler(std::string_view event) const noexcept {
  for (const ClassRecord* c = this; c; c = c->parent_)
    for (const auto& e : c->events_)
      if (e.event == event) {
        int slot = SlotOf(e.operation);
        return slot < 0 ? nullptr : &table_[static_cast<std::size_t>(slot)];
      }
  return nullptr;
}

bool ClassRecord::Answers(std::string_view interfaceName) const noexcept {
  for (const ClassRecord* c = this; c; c = c->parent_)
    if (std::find(c->interfaces_.begin(), c->interfaces_.end(), interfaceName) !=
        c->interfaces_.end())
      return true;
  return false;
}

ClassBuilder::ClassBuilder(std::string name, const ClassRecord* parent)
    : record_(std::make_unique<ClassRecord>()) {
  record_->name_ = std::move(name);
  if (!parent && record_->name_ != "Object") parent = &ObjectClass();
  record_->parent_ = parent;
  if (parent) {
    record_->table_ = parent->table_;
    record_->allocate_ = parent->allocate_;
  }
}

ClassBuilder& ClassBuilder::Scope(std::string scope) {
  record_->scope_ = std::move(scope);
  return *this;
}

ClassBuilder& ClassBuilder::Allocator(ClassRecord::Allocator allocate) {
  record_->allocate_ = std::move(allocate);
  return *this;
}

ClassBuilder& ClassBuilder::Initializer(ClassRecord::Lifecycle init) {
  record_->initializer_ = init;
  return *this;
}

ClassBuilder& ClassBuilder::Finalizer(ClassRecord::Lifecycle exit) {
  record_->finalizer_ = exit;
  return *this;
}

ClassBuilder& ClassBuilder::Add(std::string name, std::vector<std::string> arguments,
                                std::string result, OperationImpl body) {
  record_->table_.push_back(
      Operation{std::move(name), std::move(arguments), std::move(result), record_->name_,
                std::move(body)});
  return *this;
}

ClassBuilder& ClassBuilder::Override(std::string_view name,
                                     const std::vector<std::string>& arguments,
                                     OperationImpl body) {
  int slot = record_->SlotOf(name, arguments);
  if (slot < 0)
    throw RuntimeException("class " + record_->name_ + " overrides " + std::string(name) +
                           ", which its parent does not have");
  auto& op = record_->table_[static_cast<std::size_t>(slot)];
  op.body = std::move(body);
  op.declaredBy = record_->name_;
  return *this;
}

ClassBuilder& ClassBuilder::Member(MemberDeclaration member) {
  record_->members_.push_back(std::move(member));
  return *this;
}

ClassBuilder& ClassBuilder::Property(PropertyDeclaration property) {
  record_->properties_.push_back(std::move(property));
  return *this;
}

ClassBuilder& ClassBuilder::Event(std::string event, std::string operation) {
  record_->events_.push_back(EventEntry{std::move(event), std::move(operation)});
  return *this;
}

ClassBuilder& ClassBuilder::Interface(std::string name) {
  record_->interfaces_.push_back(std::move(name));
  return *this;
}

const ClassRecord& ClassBuilder::Register() {
  auto& registry = Registry();
  if (registry.count(record_->name_))
    throw RuntimeException("class " + record_->name_ + " is registered already");
  const ClassRecord& record = *record_;
  registry.emplace(record_->name_, std::move(record_));
  RegistrationOrder().push_back(&record);
  Trace("register " + record.Name());
  return record;
}

const ClassRecord* FindClass(std::string_view name) noexcept {
  auto& registry = Registry();
  auto it = registry.find(name);
  return it == registry.end() ? nullptr : it->second.get();
}

std::vector<const ClassRecord*> RegisteredClasses() { return RegistrationOrder(); }

Ref<Object> RuntimeNewObject(const ClassRecord& record) {
  if (!record.Allocate()) throw RuntimeException("class " + record.Name() + " cannot be made");
  Ref<Object> object(record.Allocate()());
  if (!object) throw NilObjectException("class " + record.Name() + " could not be made");
  object->SetClass(record);
  std::vector<const ClassRecord*> chain;
  for (const ClassRecord* c = &record; c; c = c->Parent()) chain.push_back(c);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    if (auto init = (*it)->Initializer()) init(*object);
  return object;
}

Value Invoke(Object& target, std::size_t slot, std::span<const Value> arguments) {
  const Operation& op = target.Class().Slot(slot);
  if (!op.body) throw UnsupportedOperationException(op.declaredBy + "." + op.name);
  return op.body(target, arguments);
}

Value Invoke(Object& target, std::string_view operation, std::span<const Value> arguments) {
  int slot = target.Class().SlotOf(operation);
  if (slot < 0)
    throw RuntimeException("class " + target.Class().Name() + " has no operation " +
                           std::string(operation));
  return Invoke(target, static_cast<std::size_t>(slot), arguments);
}

OperationImpl Unsupported(std::string qualifiedName) {
  return [qualifiedName](Object&, std::span<const Value>) -> Value {
    throw UnsupportedOperationException(qualifiedName + " is not supported on this platform");
  };
}

namespace detail {
void ArityMismatch(std::size_t expected, std::size_t given) {
  throw RuntimeException("operation takes " + std::to_string(expected) + " arguments, given " +
                         std::to_string(given));
}
}  // namespace detail

Attribute ScopeAttribute(std::string scope) { return Attribute{"__Scope", std::move(scope)}; }

const Attribute* FindAttribute(const std::vector<Attribute>& attributes, std::string_view name) {
  for (const auto& a : attributes)
    if (a.name == name) return &a;
  return nullptr;
}

}  // namespace fw
