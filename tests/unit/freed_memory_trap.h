// A stand-in for an address sanitizer, which mingw and Wine lack. While a
// trap is set, every block operator new gives out lies on pages of its own,
// and a freed block's pages become inaccessible for good; an access to them
// is counted and then let through, so that a test can assert there was none.
// Linked into one test program only: it replaces operator new and delete.
#pragma once

class FreedMemoryTrap {
public:
    FreedMemoryTrap();
    ~FreedMemoryTrap();  // blocks given out meanwhile stay trapped when freed
    FreedMemoryTrap(const FreedMemoryTrap&) = delete;
    FreedMemoryTrap& operator=(const FreedMemoryTrap&) = delete;

    // Accesses to freed blocks since the trap was set.
    int Accesses() const;
};
