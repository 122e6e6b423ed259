#pragma once

namespace kelmora {

// The module's lock count: live automation objects and LockServer calls. The
// library may be unloaded only while it is zero (DllCanUnloadNow).
void LockModule();
void UnlockModule();
long ModuleLockCount();
// A host's own lock (LockServer). An unlock without a lock of its own is
// refused (false): it must not take an object's lock away.
void LockServerModule();
bool UnlockServerModule();

// Holds one module lock for the life of its owner.
class CModuleLock {
public:
    CModuleLock() { LockModule(); }
    ~CModuleLock() { UnlockModule(); }
    CModuleLock(const CModuleLock&) = delete;
    CModuleLock& operator=(const CModuleLock&) = delete;
};

}  // namespace kelmora
