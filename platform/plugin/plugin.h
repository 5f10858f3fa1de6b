#pragma once

// Plug-in binding: routines of plug-in libraries found in the application's folder, bound by the
// full text of their declaration. Each library is loaded once and kept loaded; the first library
// (by file name) that supplies a declaration wins. A declaration no library supplies is bound to
// a routine of the program's that fails with "plug-in routine not available: <declaration>", so
// binding never fails and calling such an entry raises PluginException instead of crashing.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/object/object.h"
#include "platform/plugin/plugin_abi.h"
#include "platform/object/value.h"

namespace fw {

struct PluginEntrypoint {
  std::string declaration;
  ft_plugin_routine routine = nullptr;
  // False when no library supplied the declaration and the routine is the failing stand-in.
  bool supplied = false;
};

// The table of bound routines; entry k is called for declaration k.
class PluginEntrypointsTable : public Object {
  FW_CLASS_HANDLE()

  explicit PluginEntrypointsTable(std::size_t count = 0) : entries_(count) {}
  std::size_t Count() const noexcept { return entries_.size(); }
  void Set(std::size_t entry, PluginEntrypoint entrypoint);
  const PluginEntrypoint& At(std::size_t entry) const;
  // Calls through entry k; a failure raises PluginException with the routine's message.
  Value Call(std::size_t entry, std::span<const ft_value> args) const;

 private:
  std::vector<PluginEntrypoint> entries_;
};

// An object of a plug-in class, as the plug-in handed it out. Releasing it does not call the
// plug-in: the class that wraps it calls its "__exit" routine.
class PluginHandle : public Object {
  FW_CLASS_HANDLE()

  explicit PluginHandle(void* h = nullptr) : handle(h) {}
  void* handle;
};

Ref<PluginEntrypointsTable> RuntimeAllocatePluginEntrypointsTable(std::size_t count);
PluginEntrypoint RuntimeLookupPluginEntrypoint(std::string_view declaration);

// The folder searched for plug-ins; empty (the default) means the executable's own folder.
// Changing it takes effect at the next look-up; libraries loaded before stay loaded.
void SetPluginFolder(std::string folder);
std::string PluginFolder();
// Libraries of the folder that could not be used, each with the reason; they are skipped.
std::vector<std::string> SkippedPluginLibraries();

// Calls one routine. The result: none, Int32, Double, String (copied), or a PluginHandle object
// (absent for a null handle). A non-zero return raises PluginException carrying the routine's
// message.
Value CallPluginRoutine(const PluginEntrypoint& entrypoint, std::span<const ft_value> args);

// What one routine gave, copied out of the call and holding no framework object, so that the
// routine may run on another thread and its result be made into a value on the loop's.
struct PluginOutcome {
  bool failed = false;
  std::string message;  // the routine's failure
  ft_value result{};    // a string result's text is in `text`
  std::string text;
  bool textCopied = false;
};
PluginOutcome RunPluginRoutine(const PluginEntrypoint& entrypoint, std::span<const ft_value> args);
// The outcome as CallPluginRoutine gives it: its value, or PluginException on failure.
Value PluginOutcomeValue(const PluginOutcome& outcome, const std::string& declaration);

// Arguments for plug-in calls. Strings and images point into the caller's storage, which must
// outlive the call.
ft_value PluginNone();
ft_value PluginInt32(std::int32_t value);
ft_value PluginDouble(double value);
ft_value PluginString(std::string_view text);
ft_value PluginHandleArg(void* handle);
ft_value PluginImage(std::int32_t width, std::int32_t height, std::int32_t bytesPerRow,
                     const std::uint8_t* bgraPixels);

// The handle inside a call result: nullptr for an absent object; anything else raises
// TypeMismatchException.
void* PluginHandleOf(const Value& value);

}  // namespace fw
