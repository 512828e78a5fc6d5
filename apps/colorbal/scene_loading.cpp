// apps/colorbal/scene_loading.cpp
#include "apps/colorbal/scene_loading.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/png_io.h"
#include "toolkit/foundation/exceptions.h"

namespace {

// The first bytes of a PNG file, and of a binary PPM.
constexpr std::array<unsigned char, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<unsigned char, 2> kPpmMagic{'P', '6'};

std::string builtInList() {
    std::string list;
    for (const std::string& name : kcSimScene::builtInNames()) list += (list.empty() ? "" : ", ") + name;
    return list;
}

long clampSide(long side, long low, long high) { return std::clamp(side, low, high); }

kcSimScene fromPng(const std::string& path, const std::optional<kcSceneSize>& size) {
    kcRgb8Image image;
    try {
        image = kfReadPngRgb8(path);
    } catch (const kcUsageError& e) {
        throw kcUsageError(std::string("--scene: ") + e.what());
    }
    if (image.width > kcSimScene::kMaxFileSide || image.height > kcSimScene::kMaxFileSide)
        throw kcUsageError("--scene: PNG file '" + path + "' is " + std::to_string(image.width) + " x " +
                           std::to_string(image.height) + " pels; each side must be at most " +
                           std::to_string(kcSimScene::kMaxFileSide));
    const long width = size ? size->first : clampSide(image.width, kcSimScene::kMinWidth, kcSimScene::kMaxWidth);
    const long height = size ? size->second : clampSide(image.height, kcSimScene::kMinHeight, kcSimScene::kMaxHeight);
    return kcSimScene::fromRgb8(image.rgb, image.width, image.height, width, height);
}

}  // namespace

kcSimScene kfLoadScene(const std::string& sceneName, const std::optional<kcSceneSize>& size) {
    const std::vector<std::string> names = kcSimScene::builtInNames();
    if (std::find(names.begin(), names.end(), sceneName) != names.end()) {
        const kcSceneSize s = size.value_or(kcSceneSize(kDefaultSceneWidth, kDefaultSceneHeight));
        return kcSimScene::builtIn(sceneName, s.first, s.second);
    }

    std::error_code ec;
    if (std::filesystem::is_directory(sceneName, ec))
        throw kcUsageError("--scene: '" + sceneName + "' is a directory; expected a built-in scene (" + builtInList() +
                           ") or a binary PPM (P6) or PNG file");
    std::ifstream file(sceneName, std::ios::binary);
    if (!file)
        throw kcUsageError("--scene: '" + sceneName + "' is neither a built-in scene (" + builtInList() +
                           ") nor a readable file: " + std::strerror(errno));
    std::array<unsigned char, kPngSignature.size()> head{};
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    const std::size_t got = static_cast<std::size_t>(file.gcount());
    file.close();

    try {
        if (got >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), head.begin()))
            return fromPng(sceneName, size);
        if (got >= kPpmMagic.size() && std::equal(kPpmMagic.begin(), kPpmMagic.end(), head.begin()))
            return kcSimScene::fromPpm(sceneName, size ? size->first : 0, size ? size->second : 0);
    } catch (const kcException& e) {
        throw kcUsageError(std::string("--scene: '") + sceneName + "': " + e.what());
    }
    throw kcUsageError("--scene: '" + sceneName + "' is neither a built-in scene (" + builtInList() +
                       ") nor a binary PPM (P6) or PNG file");
}
