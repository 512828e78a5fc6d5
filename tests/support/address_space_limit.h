// tests/support/address_space_limit.h
// Caps the process's address space while an object lives, so that a test
// can tell whether an operation allocates far more than it needs. The
// address sanitizer reserves more than any such cap allows: under it the
// cap is not set.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

class ScopedAddressSpaceLimit {
public:
    // Allows `headroom` bytes beyond the address space in use now.
    explicit ScopedAddressSpaceLimit(unsigned long long headroom) {
#if !defined(__SANITIZE_ADDRESS__)
        unsigned long long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit tight{};
        if (getrlimit(RLIMIT_AS, &saved_) != 0) return;
        tight = saved_;
        tight.rlim_cur = pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE)) + headroom;
        active_ = setrlimit(RLIMIT_AS, &tight) == 0;
#endif
        static_cast<void>(headroom);
    }
    ~ScopedAddressSpaceLimit() {
        if (active_) setrlimit(RLIMIT_AS, &saved_);
    }
    ScopedAddressSpaceLimit(const ScopedAddressSpaceLimit&) = delete;
    ScopedAddressSpaceLimit& operator=(const ScopedAddressSpaceLimit&) = delete;

    bool active() const { return active_; }

private:
    rlimit saved_{};
    bool active_ = false;
};
