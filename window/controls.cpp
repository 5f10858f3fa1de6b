// The nineteen controls of the main window: creation, font calls, design values and event
// binding, in the one fixed order.

#include "platform/object/delegate.h"
#include "platform/object/property_list.h"
#include "window/property_lists.h"
#include "window/window1.h"

namespace frametide {

namespace {

enum Font : unsigned { kNoFont = 0, kTextSize = 1, kTextUnit = 2 };

struct ControlDesign {
  const char* name;
  const fw::ClassRecord& (*classHandle)();
  unsigned fontCalls;
};

#define FRAMETIDE_CONTROL_DESIGN(name, type, madeAs, fontCalls, ...) \
  {#name, &madeAs::ClassHandle, fontCalls},
constexpr ControlDesign kDesign[] = {FRAMETIDE_WINDOW1_CONTROLS(FRAMETIDE_CONTROL_DESIGN)};
#undef FRAMETIDE_CONTROL_DESIGN

struct EventBinding {
  const char* control;
  const char* event;
  const char* signature;
  fw::Invoker invoker;
  const char* handler;
};

#define FRAMETIDE_EVENT_BINDING(control, event, signature, invoker) \
  {#control, #event, signature, &fw::Delegate::invoker, #control "_" #event},
constexpr EventBinding kBindings[] = {FRAMETIDE_WINDOW1_EVENTS(FRAMETIDE_EVENT_BINDING)};
#undef FRAMETIDE_EVENT_BINDING

constexpr float kTextSizePoints = 12.0f;

void SetTextSize(const fw::Window& window, const char* name) {
  auto control = window.FindControl(name);
  if (auto* text = dynamic_cast<fw::StaticText*>(control.Get())) return text->SetTextSize(kTextSizePoints);
  if (auto* field = dynamic_cast<fw::EditField*>(control.Get())) return field->SetTextSize(kTextSizePoints);
  fw::Cast<fw::PushButton>(control)->SetTextSize(kTextSizePoints);
}

void SetTextUnit(const fw::Window& window, const char* name) {
  auto control = window.FindControl(name);
  if (auto* text = dynamic_cast<fw::StaticText*>(control.Get())) return text->SetTextUnit(0);
  fw::Cast<fw::PushButton>(control)->SetTextUnit(0);
}

}  // namespace

void Window1::CreateControls() {
  fw::Invoke(*this, static_cast<std::size_t>(Class().SlotOf("_CreateControls0")));
}

void Window1::CreateControls0() {
  for (const ControlDesign& design : kDesign) {
    {
      const fw::Value newArgs[] = {design.classHandle().Name()};
      auto control = fw::FromValue<fw::Ref<fw::Object>>(fw::Invoke(*this, kNewSlot, newArgs));
      fw::Invoke(*control, static_cast<std::size_t>(control->Class().SlotOf("Constructor", {})));
      const fw::Value addArgs[] = {std::string(design.name), fw::ToValue(control)};
      fw::Invoke(*this, kAddControlSlot, addArgs);
    }
    // From here on the control is reached only by its name.
    if (design.fontCalls & kTextSize) SetTextSize(*this, design.name);
    if (design.fontCalls & kTextUnit) SetTextUnit(*this, design.name);
    fw::SetProperties(*FindControl(design.name), ControlPropertyList(design.name));

    for (const EventBinding& binding : kBindings) {
      if (std::string_view(binding.control) != design.name) continue;
      auto control = FindControl(binding.control);
      const int slot = Class().SlotOf(binding.handler);
      const fw::Operation* method = slot < 0 ? nullptr : &Class().Slot(static_cast<std::size_t>(slot));
      auto delegate = fw::RuntimeCreateDelegate(binding.invoker, method, fw::Ref<fw::Object>(this),
                                                binding.signature);
      const fw::Operation* handler = delegate ? delegate->method : nullptr;
      fw::InstallInstanceEventHandler(*control, binding.event, handler);
      delegate.Reset();
    }
  }
}

// The two non-visual controls tie themselves to their window through _PaneChild.
template <class Control>
static fw::ClassBuilder& AddPaneChild(fw::ClassBuilder& b) {
  return b
      .Add("_SetWindow", {"Window"}, "", fw::Method<&Control::SetWindow>())
      .Add("Window", {}, "Window", fw::Method<&Control::Window>())
      .Add("_Index", {}, "Int32", fw::Method<&Control::GetIndex>())
      .Add("_SetIndex", {"Int32"}, "", fw::Method<&Control::SetIndex>())
      .Interface("_PaneChild");
}

template <class Control>
static void ReleaseOwner(fw::Object& self) {
  dynamic_cast<Control&>(self).ownerWindow.Reset();
}

const fw::ClassRecord& Window1Socket1::ClassHandle() {
  if (auto* c = fw::FindClass("Window1.Socket1")) return *c;
  const auto& parent = fw::HTTPSocket::ClassHandle();
  const int slot = parent.SlotOf("Constructor", {});
  auto inherited = parent.Slot(static_cast<std::size_t>(slot)).body;
  fw::ClassBuilder b("Window1.Socket1", &parent);
  b.Scope("Public")
      .Allocator([] { return new Window1Socket1; })
      .Finalizer(&ReleaseOwner<Window1Socket1>)
      // Runs HTTPSocket's constructor on the new object and nothing else.
      .Override("Constructor", {}, [inherited](fw::Object& self, std::span<const fw::Value> a) {
        return inherited ? inherited(self, a) : fw::Value{};
      });
  return AddPaneChild<Window1Socket1>(b).Register();
}

const fw::ClassRecord& Window1Timer1::ClassHandle() {
  if (auto* c = fw::FindClass("Window1.Timer1")) return *c;
  fw::ClassBuilder b("Window1.Timer1", &fw::Timer::ClassHandle());
  b.Scope("Public")
      .Allocator([] { return new Window1Timer1; })
      .Finalizer(&ReleaseOwner<Window1Timer1>);
  AddPaneChild<Window1Timer1>(b);
  return b.Add("Constructor", {}, "", fw::Method<&Window1Timer1::Constructor>()).Register();
}

}  // namespace frametide
