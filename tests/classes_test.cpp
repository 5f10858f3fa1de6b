#include <gtest/gtest.h>

#include "platform/object/classes.h"
#include "platform/object/delegate.h"
#include "platform/runtime/runtime.h"

namespace {

using fw::Value;

struct Base : fw::Object {
  FW_CLASS_HANDLE()
  std::int32_t calls = 0;
  std::int32_t Twice(std::int32_t v) { return 2 * v; }
  void Touch() { ++calls; }
};

struct Derived : Base {
  FW_CLASS_HANDLE()
  std::int32_t Thrice(std::int32_t v) { return 3 * v; }
  std::string Greet(const std::string& who, std::int32_t n) { return who + std::to_string(n); }
};

int finalised = 0;

const fw::ClassRecord& Base::ClassHandle() {
  if (auto* c = fw::FindClass("Base")) return *c;
  return fw::ClassBuilder("Base", nullptr)
      .Allocator([] { return new Base; })
      .Finalizer([](fw::Object&) { ++finalised; })
      .Add("Compute", {"Int32"}, "Int32", fw::Method<&Base::Twice>())
      .Add("Touch", {}, "", fw::Method<&Base::Touch>())
      .Register();
}

const fw::ClassRecord& Derived::ClassHandle() {
  if (auto* c = fw::FindClass("Derived")) return *c;
  return fw::ClassBuilder("Derived", &Base::ClassHandle())
      .Allocator([] { return new Derived; })
      .Override("Compute", {"Int32"}, fw::Method<&Derived::Thrice>())
      .Add("Greet", {"String", "Int32"}, "String", fw::Method<&Derived::Greet>())
      .Register();
}

TEST(ClassRecords, RegisterOnceAndKeepParentSlotsFirst) {
  const auto& first = Derived::ClassHandle();
  EXPECT_EQ(&first, &Derived::ClassHandle());
  EXPECT_EQ(&first, fw::FindClass("Derived"));
  EXPECT_THROW(fw::ClassBuilder("Derived", nullptr).Register(), fw::RuntimeException);

  ASSERT_EQ(first.Table().size(), 3u);
  EXPECT_EQ(first.Table()[0].name, "Compute");
  EXPECT_EQ(first.Table()[0].declaredBy, "Derived");  // the override keeps its parent's slot
  EXPECT_EQ(first.Table()[1].name, "Touch");
  EXPECT_EQ(first.Table()[1].declaredBy, "Base");
  EXPECT_EQ(first.Table()[2].name, "Greet");
  EXPECT_TRUE(first.IsA(Base::ClassHandle()));
  EXPECT_FALSE(Base::ClassHandle().IsA(first));
}

TEST(ClassRecords, CallsGoThroughTheObjectsOwnTable) {
  auto base = fw::RuntimeNewObject(Base::ClassHandle());
  auto derived = fw::RuntimeNewObject(Derived::ClassHandle());
  EXPECT_EQ(fw::FromValue<std::int32_t>(fw::Call(*base, "Compute", 5)), 10);
  EXPECT_EQ(fw::FromValue<std::int32_t>(fw::Call(*derived, "Compute", 5)), 15);
  EXPECT_EQ(fw::FromValue<std::string>(fw::Call(*derived, "Greet", std::string("n"), 7)), "n7");
  EXPECT_THROW(fw::Call(*derived, "Greet", 7, 7), fw::TypeMismatchException);
  EXPECT_THROW(fw::Call(*derived, "Compute"), fw::RuntimeException);
  EXPECT_THROW(fw::Call(*derived, "Missing"), fw::RuntimeException);
}

TEST(ClassRecords, LastReleaseRunsFinalisersOnce) {
  finalised = 0;
  {
    auto object = fw::RuntimeNewObject(Derived::ClassHandle());
    fw::Ref<fw::Object> copy = object;
    EXPECT_EQ(object->References(), 2);
  }
  EXPECT_EQ(finalised, 1);
}

TEST(ClassRecords, AbsentReferencesRaiseInsteadOfCrashing) {
  fw::Ref<Base> none;
  EXPECT_THROW(none->Touch(), fw::NilObjectException);
  EXPECT_THROW((void)*none, fw::NilObjectException);
  none.Reset();  // releasing an absent reference does nothing
  EXPECT_FALSE(none);
  auto base = fw::MakeRef<Base>();
  EXPECT_THROW(fw::Cast<Derived>(base), fw::IllegalCastException);
  EXPECT_FALSE(fw::Cast<Derived>(fw::Ref<Base>()));
}

TEST(ClassRecords, UnsupportedBodiesSayWhatIsMissing) {
  auto body = fw::Unsupported("Window.NewDragItem");
  Base b;
  try {
    body(b, {});
    FAIL();
  } catch (const fw::UnsupportedOperationException& e) {
    EXPECT_NE(e.Message().find("Window.NewDragItem"), std::string::npos);
  }
}

TEST(Delegates, MatchTheirSignatureText) {
  EXPECT_EQ(fw::SignatureTypes("(  )"), std::vector<std::string>{});
  EXPECT_EQ(fw::SignatureTypes("( Int32, Int32, String )"),
            (std::vector<std::string>{"Int32", "Int32", "String"}));
  EXPECT_THROW(fw::SignatureTypes("Int32"), fw::RuntimeException);

  const auto& record = Derived::ClassHandle();
  const fw::Operation& greet = record.Slot(2);
  auto target = fw::RuntimeNewObject(record);
  auto d = fw::RuntimeCreateDelegate(&fw::Delegate::IM_Invoke_Int32, &greet, target,
                                     "( String, Int32 )");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->method, &greet);
  // A wrong signature or no method makes no delegate.
  EXPECT_FALSE(fw::RuntimeCreateDelegate(&fw::Delegate::IM_Invoke_Int32, &greet, target, "( Int32 )"));
  EXPECT_FALSE(fw::RuntimeCreateDelegate(&fw::Delegate::IM_Invoke_None, nullptr, target, "(  )"));

  int ran = 0;
  auto routine = fw::RuntimeCreateDelegate(&fw::Delegate::Invoke, [&] { ++ran; }, "(  )");
  routine->Callable()();
  EXPECT_EQ(ran, 1);
}

struct Clicker : fw::Object, fw::EventSource {
  fw::Ref<fw::Object> target;
  std::vector<std::string> EventNames() const override { return {"Action"}; }
  fw::Ref<fw::Object> EventTarget() override { return target; }
  bool Click() { return RaiseEvent("Action"); }
};

struct Thrower : fw::Object {
  FW_CLASS_HANDLE()
  int runs = 0;
  void Boom() {
    ++runs;
    throw fw::NilObjectException("boom");
  }
};

const fw::ClassRecord& Thrower::ClassHandle() {
  if (auto* c = fw::FindClass("Thrower")) return *c;
  return fw::ClassBuilder("Thrower", nullptr)
      .Allocator([] { return new Thrower; })
      .Add("Boom", {}, "", fw::Method<&Thrower::Boom>())
      .Register();
}

TEST(Events, HandlerExceptionIsReportedAndTheCallerGoesOn) {
  std::vector<std::string> steps;
  fw::SetTraceSink([&](std::string_view s) { steps.emplace_back(s); });
  auto clicker = fw::MakeRef<Clicker>();
  auto thrower = fw::Cast<Thrower>(fw::RuntimeNewObject(Thrower::ClassHandle()));
  clicker->target = thrower;
  EXPECT_FALSE(clicker->Click());  // nothing bound yet
  fw::InstallInstanceEventHandler(*clicker, "Action", &Thrower::ClassHandle().Slot(0));
  EXPECT_THROW(fw::InstallInstanceEventHandler(*clicker, "Paint", nullptr), fw::RuntimeException);
  EXPECT_TRUE(clicker->Click());
  EXPECT_TRUE(clicker->Click());
  EXPECT_EQ(thrower->runs, 2);
  EXPECT_NE(std::find(steps.begin(), steps.end(), "handler exception: NilObjectException: boom"),
            steps.end());
  fw::SetTraceSink({});
}

}  // namespace
