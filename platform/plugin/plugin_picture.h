#pragma once

// A picture handed to a plug-in routine: its pixels as the plug-in interface lays them out.

#include <QImage>
#include <memory>

#include "platform/files/picture.h"
#include "platform/plugin/plugin_abi.h"

namespace fw {

class PluginPicture {
 public:
  // Shares the picture's pixels when they are laid out as plug-ins read them already, and
  // converts them otherwise; transparent parts come out over black.
  explicit PluginPicture(const Picture& picture);
  // The same for the pixels alone; touches no framework object, so any thread may make it.
  explicit PluginPicture(QImage pixels);
  // A JPEG's samples, handed over as they are.
  explicit PluginPicture(std::shared_ptr<const JpegSamples> samples);
  // The argument for the call; valid while this object lives.
  ft_value Argument() const;

 private:
  QImage pixels_;
  std::shared_ptr<const JpegSamples> samples_;
};

}  // namespace fw
