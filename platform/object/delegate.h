#pragma once

// Delegates: a method (or a plain routine) with its target and signature text, and the invokers
// that call it with an event's arguments passed through unchanged.

#include <functional>
#include <span>
#include <string>

#include "platform/object/classes.h"

namespace fw {

class Delegate;
using Invoker = Value (*)(const Delegate& delegate, std::span<const Value> arguments);

class Delegate : public Object {
  FW_CLASS_HANDLE()
  Invoker invoker = nullptr;
  const Operation* method = nullptr;  // a class-table operation, or none for a plain routine
  std::function<void()> routine;      // the plain routine, when `method` is none
  Ref<Object> target;
  std::string signature;

  Value operator()(std::span<const Value> arguments) const { return invoker(*this, arguments); }
  // The delegate as a callable of no arguments (for "(  )" delegates).
  std::function<void()> Callable() const;

  // The invoker of a plain routine.
  static Value Invoke(const Delegate& delegate, std::span<const Value> arguments);
  // One invoker per event signature; each checks the arity and calls the method on the target.
  static Value IM_Invoke_None(const Delegate& d, std::span<const Value> arguments);
  static Value IM_Invoke_Int32(const Delegate& d, std::span<const Value> arguments);
  static Value IM_Invoke_Int32Int32String(const Delegate& d, std::span<const Value> arguments);
  static Value IM_Invoke_StringInt32HeadersFile(const Delegate& d,
                                                std::span<const Value> arguments);
};

// The argument types a signature text names: "( Int32, Int32, String )" -> Int32, Int32, String.
std::vector<std::string> SignatureTypes(std::string_view signature);

// A delegate for `method` on `target`; none when there is no method or its argument types do
// not match the signature.
Ref<Delegate> RuntimeCreateDelegate(Invoker invoker, const Operation* method,
                                    const Ref<Object>& target, std::string signature);
Ref<Delegate> RuntimeCreateDelegate(Invoker invoker, std::function<void()> routine,
                                    std::string signature);

// Binds `handler` (none unbinds) to the named event of that one control. The handler then runs
// as a method of the control's window each time the control raises the event.
void InstallInstanceEventHandler(Object& control, std::string_view event,
                                 const Operation* handler);

// Base of every object that raises events to handlers bound per instance.
class EventSource {
 public:
  virtual ~EventSource() = default;
  virtual std::vector<std::string> EventNames() const = 0;
  const Operation* Handler(std::string_view event) const;
  void InstallHandler(std::string_view event, const Operation* handler);

 protected:
  // The object handlers run on: the control's window.
  virtual Ref<Object> EventTarget() = 0;
  // Runs the bound handler, if any, through RunHandler; returns whether one ran.
  bool RaiseEvent(std::string_view event, std::vector<Value> arguments = {});

 private:
  std::vector<std::pair<std::string, const Operation*>> handlers_;
};

}  // namespace fw
