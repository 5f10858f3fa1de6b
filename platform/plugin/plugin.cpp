#include "platform/plugin/plugin.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <map>

#include "platform/object/classes.h"
#include "platform/runtime/runtime.h"

namespace fw {

namespace {

struct Library {
  std::string path;
  std::vector<ft_plugin_entry> entries;
};

struct PluginState {
  std::string folder;         // as set; empty for the executable's folder
  std::string scannedFolder;  // folder the list below belongs to
  bool scanned = false;
  std::vector<const Library*> libraries;          // of the scanned folder, by file name
  std::map<std::string, Library> loaded;          // every library loaded, by path: once each
  std::map<std::string, std::string> problems;    // path -> why it was skipped
};

PluginState& State() {
  static PluginState state;
  return state;
}

// Stands in for every declaration that no plug-in supplies.
int Unavailable(ft_plugin_call* call) {
  std::snprintf(call->error, sizeof call->error, "plug-in routine not available: %s",
                call->declaration ? call->declaration : "");
  return 1;
}

std::string EffectiveFolder() {
  const auto& folder = State().folder;
  if (!folder.empty()) return folder;
  if (!QCoreApplication::instance()) return {};
  return QCoreApplication::applicationDirPath().toStdString();
}

const Library* Load(const std::string& path) {
  auto& state = State();
  if (auto it = state.loaded.find(path); it != state.loaded.end()) return &it->second;
  if (state.problems.count(path)) return nullptr;
  auto skip = [&](std::string why) -> const Library* {
    Trace("plug-in skipped: " + path + ": " + why);
    state.problems[path] = std::move(why);
    return nullptr;
  };
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    return skip(why ? why : "cannot be loaded");
  }
  // The library stays loaded for the rest of the run: its routines are bound into tables.
  auto entriesOf =
      reinterpret_cast<ft_plugin_entries_function>(dlsym(handle, FT_PLUGIN_ENTRIES_SYMBOL));
  if (!entriesOf) return skip("exports no " FT_PLUGIN_ENTRIES_SYMBOL);
  size_t count = 0;
  const ft_plugin_entry* table = entriesOf(&count);
  if (!table && count > 0) return skip("its table is missing");
  Library library{path, {}};
  for (size_t i = 0; i < count; ++i)
    if (table[i].declaration && table[i].routine) library.entries.push_back(table[i]);
  Trace("plug-in loaded: " + path);
  return &state.loaded.emplace(path, std::move(library)).first->second;
}

const std::vector<const Library*>& Libraries() {
  auto& state = State();
  const std::string folder = EffectiveFolder();
  if (state.scanned && state.scannedFolder == folder) return state.libraries;
  state.libraries.clear();
  state.scanned = true;
  state.scannedFolder = folder;
  if (folder.empty()) return state.libraries;
  const QDir dir(QString::fromStdString(folder));
  // Matched by hand: a name filter would have the toolkit compile a regular expression (and
  // load its engine) at every start.
  const QStringList names = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
  for (const QString& name : names) {
    if (!name.endsWith(QLatin1String(FT_PLUGIN_FILE_SUFFIX), Qt::CaseSensitive)) continue;
    if (const Library* library = Load(dir.absoluteFilePath(name).toStdString()))
      state.libraries.push_back(library);
  }
  return state.libraries;
}

Value ResultValue(const ft_plugin_call& call, const std::string& declaration) {
  const ft_value& r = call.result;
  switch (r.kind) {
    case FT_VALUE_NONE: return {};
    case FT_VALUE_INT32: return r.as.int32;
    case FT_VALUE_DOUBLE: return r.as.real;
    case FT_VALUE_STRING:
      if (!r.as.string.data) {
        if (r.as.string.size == 0) return std::string();
        break;
      }
      return std::string(r.as.string.data, r.as.string.size);
    case FT_VALUE_HANDLE:
      if (!r.as.handle) return Ref<Object>();
      return Ref<Object>(MakeRef<PluginHandle>(r.as.handle));
    case FT_VALUE_IMAGE:
      throw PluginException(declaration + " returned an image, which is not taken as a result");
  }
  throw PluginException(declaration + " returned a value the application cannot read");
}

}  // namespace

const ClassRecord& PluginEntrypointsTable::ClassHandle() {
  if (auto* c = FindClass("PluginEntrypointsTable")) return *c;
  return ClassBuilder("PluginEntrypointsTable", nullptr)
      .Scope("Public")
      .Allocator([] { return new PluginEntrypointsTable; })
      .Register();
}

const ClassRecord& PluginHandle::ClassHandle() {
  if (auto* c = FindClass("PluginHandle")) return *c;
  return ClassBuilder("PluginHandle", nullptr)
      .Scope("Public")
      .Allocator([] { return new PluginHandle; })
      .Register();
}

void PluginEntrypointsTable::Set(std::size_t entry, PluginEntrypoint entrypoint) {
  if (entry >= entries_.size())
    throw OutOfBoundsException("plug-in entry " + std::to_string(entry) + " of " +
                               std::to_string(entries_.size()));
  entries_[entry] = std::move(entrypoint);
}

const PluginEntrypoint& PluginEntrypointsTable::At(std::size_t entry) const {
  if (entry >= entries_.size())
    throw OutOfBoundsException("plug-in entry " + std::to_string(entry) + " of " +
                               std::to_string(entries_.size()));
  return entries_[entry];
}

Value PluginEntrypointsTable::Call(std::size_t entry, std::span<const ft_value> args) const {
  return CallPluginRoutine(At(entry), args);
}

Ref<PluginEntrypointsTable> RuntimeAllocatePluginEntrypointsTable(std::size_t count) {
  return MakeRef<PluginEntrypointsTable>(count);
}

PluginEntrypoint RuntimeLookupPluginEntrypoint(std::string_view declaration) {
  for (const Library* library : Libraries())
    for (const ft_plugin_entry& e : library->entries)
      if (declaration == e.declaration) return {std::string(declaration), e.routine, true};
  return {std::string(declaration), &Unavailable, false};
}

void SetPluginFolder(std::string folder) { State().folder = std::move(folder); }

std::string PluginFolder() { return EffectiveFolder(); }

std::vector<std::string> SkippedPluginLibraries() {
  std::vector<std::string> out;
  for (const auto& [path, why] : State().problems) out.push_back(path + ": " + why);
  return out;
}

PluginOutcome RunPluginRoutine(const PluginEntrypoint& entrypoint, std::span<const ft_value> args) {
  PluginOutcome outcome;
  if (!entrypoint.routine) {
    outcome.failed = true;
    outcome.message = "plug-in routine not bound: " + entrypoint.declaration;
    return outcome;
  }
  ft_plugin_call call{};
  call.declaration = entrypoint.declaration.c_str();
  call.args = args.data();
  call.arg_count = args.size();
  call.result.kind = FT_VALUE_NONE;
  if (entrypoint.routine(&call) != 0) {
    call.error[sizeof call.error - 1] = '\0';
    outcome.failed = true;
    outcome.message = call.error;
    if (outcome.message.empty())
      outcome.message = "plug-in routine failed: " + entrypoint.declaration;
    return outcome;
  }
  outcome.result = call.result;
  // A returned string stays valid only until the library's next call.
  if (call.result.kind == FT_VALUE_STRING && call.result.as.string.data) {
    outcome.text.assign(call.result.as.string.data, call.result.as.string.size);
    outcome.textCopied = true;
  }
  return outcome;
}

Value PluginOutcomeValue(const PluginOutcome& outcome, const std::string& declaration) {
  if (outcome.failed) throw PluginException(outcome.message);
  ft_plugin_call call{};
  call.result = outcome.result;
  if (outcome.textCopied) call.result.as.string.data = outcome.text.data();
  return ResultValue(call, declaration);
}

Value CallPluginRoutine(const PluginEntrypoint& entrypoint, std::span<const ft_value> args) {
  return PluginOutcomeValue(RunPluginRoutine(entrypoint, args), entrypoint.declaration);
}

ft_value PluginNone() {
  ft_value v{};
  v.kind = FT_VALUE_NONE;
  return v;
}

ft_value PluginInt32(std::int32_t value) {
  ft_value v{};
  v.kind = FT_VALUE_INT32;
  v.as.int32 = value;
  return v;
}

ft_value PluginDouble(double value) {
  ft_value v{};
  v.kind = FT_VALUE_DOUBLE;
  v.as.real = value;
  return v;
}

ft_value PluginString(std::string_view text) {
  ft_value v{};
  v.kind = FT_VALUE_STRING;
  v.as.string = ft_string{text.data(), text.size()};
  return v;
}

ft_value PluginHandleArg(void* handle) {
  ft_value v{};
  v.kind = FT_VALUE_HANDLE;
  v.as.handle = handle;
  return v;
}

ft_value PluginImage(std::int32_t width, std::int32_t height, std::int32_t bytesPerRow,
                     const std::uint8_t* bgraPixels) {
  ft_value v{};
  v.kind = FT_VALUE_IMAGE;
  v.as.image = ft_image{width, height, bytesPerRow, bgraPixels, FT_IMAGE_BGRA, 0, nullptr, nullptr};
  return v;
}

void* PluginHandleOf(const Value& value) {
  if (std::holds_alternative<std::monostate>(value)) return nullptr;
  if (auto* object = std::get_if<Ref<Object>>(&value)) {
    if (!*object) return nullptr;
    if (auto* handle = dynamic_cast<PluginHandle*>(object->Get())) return handle->handle;
  }
  throw TypeMismatchException("expected a plug-in object");
}

}  // namespace fw
