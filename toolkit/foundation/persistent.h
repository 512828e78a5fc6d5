// toolkit/foundation/persistent.h
// kcPersistent: base of objects that an archive can store and recreate by
// their run-time type; kc_Instantiator registers a class's factory.
#pragma once

#include <cstddef>
#include <string>
#include <typeinfo>

#include "toolkit/foundation/export.h"

class kcArchive;

class KC_EXPORT kcPersistent {
public:
    virtual ~kcPersistent();

protected:
    kcPersistent() = default;
    kcPersistent(const kcPersistent&) = default;
    kcPersistent& operator=(const kcPersistent&) = default;

    // Stores or loads this object's state, most derived part first, each
    // part calling its base's. The base has no state of its own.
    virtual void dispatchSerialize(kcArchive& ar);
    // Puts a freshly made object into its default state before loading.
    virtual void reInit();
    // Loads the object from an archive (reInit, then dispatchSerialize).
    virtual void loadSimple(kcArchive& ar);

    // Whether the part (address, size) was already handled in the current
    // archive pass, and marking it handled; guards shared parts.
    static bool haveVisited(kcArchive& ar, const void* address, std::size_t size);
    static void setVisited(kcArchive& ar, const void* address, std::size_t size);

private:
    friend class kcArchive;
};

// Registers a persistent class with the archive's factory registry for as
// long as the instantiator lives (a static object: from library load to
// unload). The class is stored under its demangled name.
class KC_EXPORT kc_Instantiator {
public:
    using Factory = kcPersistent* (*)();

    kc_Instantiator(const std::type_info& type, Factory make);
    ~kc_Instantiator();
    kc_Instantiator(const kc_Instantiator&) = delete;
    kc_Instantiator& operator=(const kc_Instantiator&) = delete;

    // The name under which objects of `type` are stored.
    static std::string className(const std::type_info& type);

private:
    friend class kcArchive;

    // The factory registered under `name`, or null.
    static Factory find(const std::string& name);

    // Empty when another instantiator already held the name.
    std::string name_;
};
