#include "com/type_library.h"

#include <map>
#include <mutex>

#include "com/owned.h"
#include "platform/this_module.h"

namespace zx {

namespace {

struct Cache {
    static bool Less(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; }
    template <class T>
    using ByGuid = std::map<GUID, ComPtr<T>, bool (*)(const GUID&, const GUID&)>;

    std::mutex lock;
    ComPtr<ITypeLib> library;
    ByGuid<ITypeInfo> infos{&Less};
    ByGuid<ITypeInfo> vtables{&Less};
    ByGuid<IRecordInfo> records{&Less};
};

Cache& TheCache() {
    // Never destroyed: type descriptions may be used until the process ends.
    static Cache* cache = new Cache;
    return *cache;
}

ITypeLib* LoadedLibrary(Cache& cache) {
    if (!cache.library) {
        std::wstring path = ThisModulePath();
        LoadTypeLibEx(path.c_str(), REGKIND_NONE, &cache.library);
    }
    return cache.library.Get();
}

// The entry for `guid` in one of the cache's maps, made by `make` (under the
// cache's lock) the first time it is asked for; a failure is not kept.
template <class T, class Make>
T* Cached(Cache::ByGuid<T> Cache::*map, REFGUID guid, Make make) {
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    auto found = (cache.*map).find(guid);
    if (found != (cache.*map).end()) return found->second.Get();
    ComPtr<T> made = make(cache);
    if (!made) return nullptr;
    return (cache.*map).emplace(guid, made).first->second.Get();
}

// Runs a look-up that may run out of memory: the callers are COM methods
// and event raisers, which must not throw.
template <class Lookup>
auto NothingOnFailure(Lookup&& lookup) noexcept -> decltype(lookup()) {
    try {
        return lookup();
    } catch (...) {
        return nullptr;
    }
}

ITypeInfo* FindTypeInfo(REFGUID guid) {
    return Cached(&Cache::infos, guid, [&](Cache& cache) {
        ITypeLib* library = LoadedLibrary(cache);
        ComPtr<ITypeInfo> info;
        if (library) library->GetTypeInfoOfGuid(guid, &info);
        return info;
    });
}

ITypeInfo* FindVtableTypeInfo(REFGUID guid) {
    ITypeInfo* info = FindTypeInfo(guid);
    if (!info) return nullptr;
    return Cached(&Cache::vtables, guid, [&](Cache&) {
        ComPtr<ITypeInfo> vtable = info;
        HREFTYPE href = 0;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href))) {
            ComPtr<ITypeInfo> dual;
            if (SUCCEEDED(info->GetRefTypeInfo(href, &dual))) vtable = dual;
        }
        return vtable;
    });
}

IRecordInfo* FindRecordInfo(REFGUID guid) {
    ITypeInfo* info = FindTypeInfo(guid);
    if (!info) return nullptr;
    return Cached(&Cache::records, guid, [&](Cache&) {
        ComPtr<IRecordInfo> record;
        GetRecordInfoFromTypeInfo(info, &record);
        return record;
    });
}

}  // namespace

ITypeInfo* TypeInfoOf(REFGUID guid) noexcept {
    return NothingOnFailure([&] { return FindTypeInfo(guid); });
}

ITypeInfo* VtableTypeInfoOf(REFGUID guid) noexcept {
    return NothingOnFailure([&] { return FindVtableTypeInfo(guid); });
}

IRecordInfo* RecordInfoOf(REFGUID guid) noexcept {
    return NothingOnFailure([&] { return FindRecordInfo(guid); });
}

}  // namespace zx
