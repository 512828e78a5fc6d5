// apps/colorbal/scene_loading.h
// The scene a balancing run looks at: a built-in scene by name, or a PPM
// or PNG file.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "toolkit/sim/sim_scene.h"

// Width and height of a rendered scene.
using kcSceneSize = std::pair<long, long>;

// The scene named by `sceneName`: a built-in name (kcSimScene::builtInNames), or
// else the path of a binary PPM (P6) or PNG file, recognised by its first
// bytes. A built-in scene is rendered at `size` (640 x 480 when absent); a
// file at `size`, or at its own size clamped into the simulator's range
// when absent. kcUsageError naming --scene for an unknown name, a file that
// cannot be read, is neither PPM nor PNG, or is truncated or corrupted.
kcSimScene kfLoadScene(const std::string& sceneName, const std::optional<kcSceneSize>& size);

// The size a built-in scene is rendered at when none is given.
constexpr long kDefaultSceneWidth = 640;
constexpr long kDefaultSceneHeight = 480;
