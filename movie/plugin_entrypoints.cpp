#include "movie/plugin_entrypoints.h"

namespace frametide {

fw::Ref<fw::PluginEntrypointsTable> plugin_entrypoints;

const std::array<std::string_view, kPluginEntrypointCount>& PluginDeclarations() {
  return kPluginDeclarationTexts;
}

void InitPluginEntrypoints() {
  plugin_entrypoints = fw::RuntimeAllocatePluginEntrypointsTable(kPluginEntrypointCount);
  for (std::size_t k = 0; k < kPluginEntrypointCount; ++k)
    plugin_entrypoints->Set(k, fw::RuntimeLookupPluginEntrypoint(kPluginDeclarationTexts[k]));
}

fw::Value CallPlugin(std::size_t entry, const std::vector<ft_value>& args) {
  return plugin_entrypoints->Call(entry, args);
}

}  // namespace frametide
