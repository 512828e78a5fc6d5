// toolkit/foundation/persistent.cpp
#include "toolkit/foundation/persistent.h"

#include <cxxabi.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "toolkit/foundation/archive.h"

namespace {
// Persistent classes by stored name. The map is built by the first
// registration, so it outlives every instantiator (static objects are
// destroyed in the reverse order of their construction).
std::map<std::string, kc_Instantiator::Factory>& registry() {
    static std::map<std::string, kc_Instantiator::Factory> factories;
    return factories;
}
}  // namespace

kcPersistent::~kcPersistent() = default;

void kcPersistent::dispatchSerialize(kcArchive& /*ar*/) {}

void kcPersistent::reInit() {}

void kcPersistent::loadSimple(kcArchive& ar) {
    reInit();
    dispatchSerialize(ar);
}

bool kcPersistent::haveVisited(kcArchive& ar, const void* address, std::size_t size) {
    return ar.visited_.count({address, size}) != 0;
}

void kcPersistent::setVisited(kcArchive& ar, const void* address, std::size_t size) {
    ar.visited_.insert({address, size});
}

kc_Instantiator::kc_Instantiator(const std::type_info& type, Factory make) {
    std::string name = className(type);
    // The first registration of a name keeps it; a second one (the same
    // class linked twice) leaves it alone and removes nothing later.
    if (make != nullptr && registry().emplace(name, make).second) name_ = std::move(name);
}

kc_Instantiator::~kc_Instantiator() {
    if (!name_.empty()) registry().erase(name_);
}

std::string kc_Instantiator::className(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     std::free);
    if (status == 0 && demangled) return demangled.get();
    return type.name();
}

kc_Instantiator::Factory kc_Instantiator::find(const std::string& name) {
    const auto& factories = registry();
    const auto it = factories.find(name);
    return it == factories.end() ? nullptr : it->second;
}
