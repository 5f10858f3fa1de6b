// The movie-editing plug-in as the application finds it at start-up: the table of the routines
// it supplies, and nothing of FFmpeg. The engine that writes movies pulls in FFmpeg and well
// over a hundred libraries with it; it is loaded from beside this library on the first call,
// so an application that makes no movie never pays for it.

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/plugin/plugin_abi.h"
#include "plugin/movie_declarations.h"
#include "plugin/movie_engine.h"

namespace {

int Fail(ft_plugin_call* call, const std::string& message) {
  std::snprintf(call->error, sizeof call->error, "%s", message.c_str());
  return 1;
}

// The engine's table; loaded once and kept, like the plug-in itself.
const ft_plugin_entry* Engine(size_t* count, std::string* problem) {
  static const ft_plugin_entry* entries = nullptr;
  static size_t entryCount = 0;
  if (entries) {
    *count = entryCount;
    return entries;
  }
  Dl_info self{};
  if (!dladdr(reinterpret_cast<void*>(&Engine), &self) || !self.dli_fname) {
    *problem = "the movie plug-in cannot find its own folder";
    return nullptr;
  }
  std::string path = self.dli_fname;
  path = path.substr(0, path.rfind('/') + 1) + FT_MOVIE_ENGINE_FILE;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    *problem = why ? why : path + " cannot be loaded";
    return nullptr;
  }
  auto table =
      reinterpret_cast<ft_plugin_entries_function>(dlsym(library, FT_MOVIE_ENGINE_ENTRIES_SYMBOL));
  if (!table) {
    *problem = path + " is not the movie engine";
    return nullptr;
  }
  entries = table(&entryCount);
  *count = entryCount;
  return entries;
}

int Forward(ft_plugin_call* call) {
  size_t count = 0;
  std::string problem;
  const ft_plugin_entry* entries = Engine(&count, &problem);
  if (!entries) return Fail(call, "Movies cannot be written: " + problem + ".");
  for (size_t i = 0; i < count; ++i)
    if (call->declaration && std::strcmp(entries[i].declaration, call->declaration) == 0)
      return entries[i].routine(call);
  return Fail(call, std::string("The movie engine has no routine for ") +
                        (call->declaration ? call->declaration : "this call") + ".");
}

const ft_plugin_entry kEntries[] = {
    {movie_declaration::kCreateMovie, Forward},        {movie_declaration::kNewVideoTrack, Forward},
    {movie_declaration::kCompressionTypeSet, Forward}, {movie_declaration::kAppendPicture, Forward},
    {movie_declaration::kTrackExit, Forward},          {movie_declaration::kMovieExit, Forward},
};

}  // namespace

const ft_plugin_entry* ft_plugin_entries(size_t* count) {
  *count = sizeof kEntries / sizeof kEntries[0];
  return kEntries;
}
