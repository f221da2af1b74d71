// Process-wide registries: lists of objects that others own, looked up from
// several threads while their owners come and go, and the holder that keeps
// such a registry (or any object a unit makes at library start) alive until
// the library is unloaded.
#pragma once

#include "base/Handle.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// Pointers to objects the registry does not own, each operation under one
// lock held for that operation only. With a Key, each entry is known by a
// key the registry hands out; without one, by its pointer, in the order the
// entries came. The callbacks of ForEach and FindIf run under the lock: they
// must not come back to the same registry.
template <class T, class Key = void>
class TLockedRegistry {
public:
    // Keys start at FirstKey and are never handed out twice, so that a
    // key that outlives its entry never finds a newer one.
    explicit TLockedRegistry(Key FirstKey) : FNextKey(FirstKey) {}
    TLockedRegistry(const TLockedRegistry&) = delete;
    TLockedRegistry& operator=(const TLockedRegistry&) = delete;

    Key Add(T* Item)
    {
        TCriticalSectionLock Guard(FLock);
        const Key Result = FNextKey++;
        FItems[Result] = Item;
        return Result;
    }
    void Remove(Key Id) noexcept
    {
        TCriticalSectionLock Guard(FLock);
        FItems.erase(Id);
    }
    // The entry of Id, or null.
    T* Find(Key Id)
    {
        TCriticalSectionLock Guard(FLock);
        const auto Found = FItems.find(Id);
        return Found == FItems.end() ? nullptr : Found->second;
    }

private:
    TCriticalSection FLock;
    std::map<Key, T*> FItems;
    Key FNextKey;
};

template <class T>
class TLockedRegistry<T, void> {
public:
    TLockedRegistry() = default;
    TLockedRegistry(const TLockedRegistry&) = delete;
    TLockedRegistry& operator=(const TLockedRegistry&) = delete;

    void Add(T* Item)
    {
        TCriticalSectionLock Guard(FLock);
        FItems.push_back(Item);
    }
    void Remove(T* Item) noexcept
    {
        TCriticalSectionLock Guard(FLock);
        FItems.erase(std::remove(FItems.begin(), FItems.end(), Item), FItems.end());
    }
    size_t Count()
    {
        TCriticalSectionLock Guard(FLock);
        return FItems.size();
    }
    template <class F>
    void ForEach(F&& Fn)
    {
        TCriticalSectionLock Guard(FLock);
        for (T* Item : FItems)
            Fn(*Item);
    }
    // The first entry Matches accepts, or null.
    template <class P>
    T* FindIf(P&& Matches)
    {
        TCriticalSectionLock Guard(FLock);
        for (T* Item : FItems)
            if (Matches(*Item))
                return Item;
        return nullptr;
    }

private:
    TCriticalSection FLock;
    std::vector<T*> FItems;
};

// An object a unit makes when the library starts (Create) and frees when it
// is unloaded (Destroy), and that nothing else frees: when the process ends
// the library is not finalized (its other threads are gone and may have held
// locks), and unlike a global std::unique_ptr this holder has nothing for
// the static destructors to run. It is constant-initialized, so it is there
// before any code of the library runs.
template <class T>
class TUnitObject {
public:
    constexpr TUnitObject() noexcept = default;
    TUnitObject(const TUnitObject&) = delete;
    TUnitObject& operator=(const TUnitObject&) = delete;

    // Makes the object unless there is one.
    template <class... A>
    void Create(A&&... Args)
    {
        if (!FObject)
            FObject = std::make_unique<T>(std::forward<A>(Args)...).release();
    }
    // Takes Object over; false, leaving it to the caller, when there is one.
    bool Adopt(std::unique_ptr<T>& Object) noexcept
    {
        if (FObject)
            return false;
        FObject = Object.release();
        return true;
    }
    // The object is freed before it is forgotten: what its destructor calls
    // may still reach it through Get, as it could all its life.
    void Destroy() noexcept
    {
        delete FObject;
        FObject = nullptr;
    }

    T* Get() const noexcept { return FObject; }
    T* operator->() const noexcept { return FObject; }
    explicit operator bool() const noexcept { return FObject != nullptr; }

private:
    T* FObject = nullptr;
};
