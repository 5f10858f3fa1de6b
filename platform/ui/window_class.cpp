#include "platform/ui/window.h"

#include "platform/files/picture.h"

// The window's class table: its fifty operations in slot order, then its properties.

namespace fw {

namespace {

Window& W(Object& self) { return dynamic_cast<Window&>(self); }

// An internal callback: raises the window event of that name with the callback's arguments.
OperationImpl RaiseBody(std::string event, bool answersBoolean = false) {
  return [event, answersBoolean](Object& self, std::span<const Value> args) -> Value {
    Value result = W(self).RaiseEvent(event, std::vector<Value>(args.begin(), args.end()));
    if (answersBoolean && std::holds_alternative<std::monostate>(result)) return false;
    return result;
  };
}

ClassBuilder& AddWindowOperations(ClassBuilder& b) {
  const std::string n = "Window.";
  return b
      .Add("Show", {}, "", Method<&Window::Show>())
      .Add("ShowWithin", {"Window"}, "", Method<&Window::ShowWithin>())
      .Add("ShowModalWithin", {"Window"}, "", Method<&Window::ShowModalWithin>())
      .Add("Hide", {}, "", Method<&Window::Hide>())
      .Add("Close", {}, "", Method<&Window::Close>())
      .Add("Refresh", {"Boolean"}, "", Method<&Window::Refresh>())
      .Add("RefreshRect", {"Int32", "Int32", "Int32", "Int32", "Boolean"}, "",
           Method<&Window::RefreshRect>())
      .Add("ShowModal", {}, "", Method<&Window::ShowModal>())
      .Add("NewDragItem", {"Int32", "Int32", "Int32", "Int32"}, "DragItem",
           Unsupported(n + "NewDragItem"))
      .Add("AcceptTextDrop", {}, "", Unsupported(n + "AcceptTextDrop"))
      .Add("AcceptPictureDrop", {}, "", Unsupported(n + "AcceptPictureDrop"))
      .Add("AcceptFileDrop", {"String"}, "", Unsupported(n + "AcceptFileDrop"))
      .Add("AcceptMacDataDrop", {"String"}, "", Unsupported(n + "AcceptMacDataDrop"))
      .Add("AcceptRawDataDrop", {"String"}, "", Unsupported(n + "AcceptRawDataDrop"))
      .Add("Control", {"Int32"}, "RectControl", Method<&Window::Control>())
      .Add("SetFocus", {}, "", Method<&Window::SetFocus>())
      .Add("DrawInto", {"Graphics", "Int32", "Int32"}, "", Method<&Window::DrawInto>())
      .Add("_DrawBackground", {"Graphics"}, "", Unsupported(n + "_DrawBackground"))
      .Add("UpdateNow", {}, "", Method<&Window::UpdateNow>())
      .Add("_AddControl", {"String", "Object"}, "", Method<&Window::AddControl>())
      .Add("_AddMenuHandler", {"String", "Delegate"}, "", Unsupported(n + "_AddMenuHandler"))
      .Add("Window", {}, "", Unsupported(n + "Window"))
      .Add("Operator_Convert", {}, "Object", Unsupported(n + "Operator_Convert"))
      .Add("__New", {"String"}, "Object", Method<&Window::New>())
      .Add("_Move", {"Int32", "Int32"}, "", Method<&Window::Move>())
      .Add("Maximize", {}, "", Method<&Window::Maximize>())
      .Add("Minimize", {}, "", Method<&Window::Minimize>())
      .Add("Restore", {}, "", Method<&Window::Restore>())
      .Add("_Update", {}, "", Unsupported(n + "_Update"))
      .Add("_CallMoved", {}, "", RaiseBody("Moved"))
      .Add("_EnableMenuItems", {}, "", RaiseBody("EnableMenuItems"))
      .Add("_CallActivated", {}, "", RaiseBody("Activate"))
      .Add("_CallDeactivated", {}, "", RaiseBody("Deactivate"))
      .Add("_HandleMenuCommand", {"String"}, "Boolean", Unsupported(n + "_HandleMenuCommand"))
      .Add("_UnifiedClose", {}, "", Method<&Window::Close>())
      .Add("_CallMouseDown", {"Int32", "Int32"}, "Boolean", RaiseBody("MouseDown", true))
      .Add("_CallResized", {}, "", RaiseBody("Resized"))
      .Add("_CallResizing", {}, "", RaiseBody("Resizing"))
      .Add("_RemoveControl", {"Object"}, "", Method<&Window::RemoveControl>())
      .Add("_MouseEnter", {}, "", RaiseBody("MouseEnter"))
      .Add("_MouseExit", {}, "", RaiseBody("MouseExit"))
      .Add("_MouseMove", {"Int32", "Int32"}, "", RaiseBody("MouseMove"))
      .Add("_Paint", {"Graphics"}, "", RaiseBody("Paint"))
      .Add("_MouseWheel", {"Int32", "Int32", "Int32", "Int32"}, "Boolean",
           RaiseBody("MouseWheel", true))
      .Add("_KeyDown", {"String"}, "Boolean", RaiseBody("KeyDown", true))
      .Add("__DependencyList", {}, "", Unsupported(n + "__DependencyList"))
      .Add("Constructor", {}, "", Method<&Window::Constructor>())
      .Add("TrueWindow", {}, "Window", Method<&Window::TrueWindow>())
      .Add("FocusNext", {}, "", Method<&Window::FocusNext>())
      .Add("FocusPrevious", {}, "", Method<&Window::FocusPrevious>());
}

ClassBuilder& AddWindowProperties(ClassBuilder& b) {
  using P = PropertyType;
  return b
      .Property(DeclareProperty<&Window::Placement, &Window::SetPlacement>("Placement", P::Int32))
      .Property(DeclareProperty<&Window::Width, &Window::SetWidth>("Width", P::Int32))
      .Property(DeclareProperty<&Window::Height, &Window::SetHeight>("Height", P::Int32))
      .Property(DeclareProperty<&Window::MinWidth, &Window::SetMinWidth>("MinWidth", P::Int32))
      .Property(DeclareProperty<&Window::MinHeight, &Window::SetMinHeight>("MinHeight", P::Int32))
      .Property(DeclareProperty<&Window::MaxWidth, &Window::SetMaxWidth>("MaxWidth", P::Int32))
      .Property(DeclareProperty<&Window::MaxHeight, &Window::SetMaxHeight>("MaxHeight", P::Int32))
      .Property(DeclareProperty<&Window::Frame, &Window::SetFrame>("Frame", P::Int32))
      .Property(DeclareProperty<&Window::Composite, &Window::SetComposite>("Composite", P::Boolean))
      .Property(DeclareProperty<&Window::HasBackColor, &Window::SetHasBackColor>("HasBackColor",
                                                                                 P::Boolean))
      .Property(DeclareProperty<&Window::BackColor, &Window::SetBackColor>("BackColor", P::Color))
      .Property(DeclareProperty<&Window::Title, &Window::SetTitle>("Title", P::String))
      .Property(DeclareProperty<&Window::Visible, &Window::SetVisible>("Visible", P::Boolean))
      .Property(DeclareProperty<&Window::FullScreen, &Window::SetFullScreen>("FullScreen",
                                                                             P::Boolean))
      .Property(DeclareProperty<&Window::MenuBarVisible, &Window::SetMenuBarVisible>(
          "MenuBarVisible", P::Boolean))
      .Property(DeclareProperty<&Window::CloseButton, &Window::SetCloseButton>("CloseButton",
                                                                               P::Boolean))
      .Property(DeclareProperty<&Window::Resizeable, &Window::SetResizeable>("Resizeable",
                                                                             P::Boolean))
      .Property(DeclareProperty<&Window::LiveResize, &Window::SetLiveResize>("LiveResize",
                                                                             P::Boolean))
      .Property(DeclareProperty<&Window::MaximizeButton, &Window::SetMaximizeButton>(
          "MaximizeButton", P::Boolean))
      .Property(DeclareProperty<&Window::MinimizeButton, &Window::SetMinimizeButton>(
          "MinimizeButton", P::Boolean))
      .Property(DeclareProperty<&Window::MacProcId, &Window::SetMacProcId>("MacProcId", P::Int32))
      .Property(DeclareProperty<&Window::Left, &Window::SetLeft>("Left", P::Int32))
      .Property(DeclareProperty<&Window::Top, &Window::SetTop>("Top", P::Int32))
      .Property(DeclareProperty<&Window::ContentsChanged, &Window::SetContentsChanged>(
          "ContentsChanged", P::Boolean))
      .Property(DeclareProperty<&Window::MenuBar, &Window::SetMenuBar>("MenuBar", P::Object,
                                                                       "MenuBar"));
}

}  // namespace

const ClassRecord& Window::ClassHandle() {
  if (auto* c = FindClass("Window")) return *c;
  ClassBuilder b("Window", nullptr);
  b.Scope("Public").Allocator([] { return new Window; });
  AddWindowOperations(b);
  AddWindowProperties(b);
  return b.Register();
}

Window::SlotNamed::operator std::size_t() const {
  const int slot = ClassHandle().SlotOf(name);
  if (slot < 0) throw RuntimeException("the window class has no operation " + std::string(name));
  return static_cast<std::size_t>(slot);
}

}  // namespace fw
