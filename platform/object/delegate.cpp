#include "platform/object/delegate.h"

#include <algorithm>

#include "platform/runtime/runtime.h"
#include "platform/text/text.h"

namespace fw {

namespace {

Value InvokeMethod(const Delegate& d, std::span<const Value> arguments, std::size_t arity) {
  if (arguments.size() != arity)
    throw RuntimeException("delegate " + d.signature + " called with " +
                           std::to_string(arguments.size()) + " arguments");
  if (!d.method || !d.method->body) throw NilObjectException("delegate holds no method");
  return d.method->body(*d.target, arguments);
}

}  // namespace

const ClassRecord& Delegate::ClassHandle() {
  if (auto* c = FindClass("Delegate")) return *c;
  return ClassBuilder("Delegate", nullptr).Allocator([] { return new Delegate; }).Register();
}

std::function<void()> Delegate::Callable() const {
  Ref<Delegate> self(const_cast<Delegate*>(this));
  return [self] { (*self)({}); };
}

Value Delegate::Invoke(const Delegate& d, std::span<const Value> arguments) {
  if (!arguments.empty()) throw RuntimeException("delegate " + d.signature + " takes no arguments");
  if (d.routine) {
    d.routine();
    return {};
  }
  return InvokeMethod(d, arguments, 0);
}

Value Delegate::IM_Invoke_None(const Delegate& d, std::span<const Value> a) {
  return InvokeMethod(d, a, 0);
}
Value Delegate::IM_Invoke_Int32(const Delegate& d, std::span<const Value> a) {
  return InvokeMethod(d, a, 1);
}
Value Delegate::IM_Invoke_Int32Int32String(const Delegate& d, std::span<const Value> a) {
  return InvokeMethod(d, a, 3);
}
Value Delegate::IM_Invoke_StringInt32HeadersFile(const Delegate& d, std::span<const Value> a) {
  return InvokeMethod(d, a, 4);
}

std::vector<std::string> SignatureTypes(std::string_view signature) {
  std::string inner = Trim(signature, " ");
  if (inner.size() < 2 || inner.front() != '(' || inner.back() != ')')
    throw RuntimeException("not a signature: " + std::string(signature));
  inner = Trim(std::string_view(inner).substr(1, inner.size() - 2), " ");
  std::vector<std::string> types;
  if (inner.empty()) return types;
  for (const auto& piece : Split(inner, ",")) types.push_back(Trim(piece, " "));
  return types;
}

Ref<Delegate> RuntimeCreateDelegate(Invoker invoker, const Operation* method,
                                    const Ref<Object>& target, std::string signature) {
  if (!invoker || !method || !target) return nullptr;
  if (SignatureTypes(signature) != method->arguments) return nullptr;
  auto d = MakeRef<Delegate>();
  d->invoker = invoker;
  d->method = method;
  d->target = target;
  d->signature = std::move(signature);
  return d;
}

Ref<Delegate> RuntimeCreateDelegate(Invoker invoker, std::function<void()> routine,
                                    std::string signature) {
  if (!invoker || !routine) return nullptr;
  auto d = MakeRef<Delegate>();
  d->invoker = invoker;
  d->routine = std::move(routine);
  d->signature = std::move(signature);
  return d;
}

void InstallInstanceEventHandler(Object& control, std::string_view event,
                                 const Operation* handler) {
  auto* source = dynamic_cast<EventSource*>(&control);
  if (!source)
    throw RuntimeException("class " + control.Class().Name() + " raises no events");
  source->InstallHandler(event, handler);
}

const Operation* EventSource::Handler(std::string_view event) const {
  for (const auto& [name, op] : handlers_)
    if (name == event) return op;
  return nullptr;
}

void EventSource::InstallHandler(std::string_view event, const Operation* handler) {
  const auto names = EventNames();
  if (std::find(names.begin(), names.end(), event) == names.end())
    throw RuntimeException("no event named " + std::string(event));
  for (auto& [name, op] : handlers_)
    if (name == event) {
      op = handler;
      return;
    }
  handlers_.emplace_back(std::string(event), handler);
}

bool EventSource::RaiseEvent(std::string_view event, std::vector<Value> arguments) {
  const Operation* handler = Handler(event);
  if (!handler || !handler->body) return false;
  Ref<Object> target = EventTarget();
  if (!target) return false;
  RunHandler([&] { handler->body(*target, arguments); });
  return true;
}

}  // namespace fw
