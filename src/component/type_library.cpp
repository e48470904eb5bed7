#include "component/type_library.h"

#include <map>
#include <mutex>

#include "component/module.h"
#include "component/owned.h"

namespace zx {

const GUID kAdditionalArguStruGuid = {0x12748875, 0x1c6c, 0x450f, {0x8e, 0x2e, 0x39, 0xe4, 0x01, 0x72, 0xa5, 0x5a}};

namespace {

struct Cache {
    std::mutex lock;
    ComPtr<ITypeLib> library;
    using GuidMap = std::map<GUID, ComPtr<ITypeInfo>, bool (*)(const GUID&, const GUID&)>;
    static bool Less(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; }
    GuidMap infos{&Less};
    GuidMap vtables{&Less};
    ComPtr<IRecordInfo> record;
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
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    auto found = cache.infos.find(guid);
    if (found != cache.infos.end()) return found->second.Get();
    ITypeLib* library = LoadedLibrary(cache);
    ComPtr<ITypeInfo> info;
    if (!library || FAILED(library->GetTypeInfoOfGuid(guid, &info))) return nullptr;
    return cache.infos.emplace(guid, info).first->second.Get();
}

ITypeInfo* FindVtableTypeInfo(REFGUID guid) {
    ITypeInfo* info = FindTypeInfo(guid);
    if (!info) return nullptr;
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    auto found = cache.vtables.find(guid);
    if (found != cache.vtables.end()) return found->second.Get();
    ComPtr<ITypeInfo> vtable = info;
    HREFTYPE href = 0;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href))) {
        ComPtr<ITypeInfo> dual;
        if (SUCCEEDED(info->GetRefTypeInfo(href, &dual))) vtable = dual;
    }
    return cache.vtables.emplace(guid, vtable).first->second.Get();
}

IRecordInfo* FindRecordInfo() {
    ITypeInfo* info = FindTypeInfo(kAdditionalArguStruGuid);
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    if (!cache.record && info) GetRecordInfoFromTypeInfo(info, &cache.record);
    return cache.record.Get();
}

}  // namespace

ITypeLib* ComponentTypeLib() noexcept {
    return NothingOnFailure([]() -> ITypeLib* {
        Cache& cache = TheCache();
        std::lock_guard guard(cache.lock);
        return LoadedLibrary(cache);
    });
}

ITypeInfo* TypeInfoOf(REFGUID guid) noexcept {
    return NothingOnFailure([&] { return FindTypeInfo(guid); });
}

ITypeInfo* VtableTypeInfoOf(REFGUID guid) noexcept {
    return NothingOnFailure([&] { return FindVtableTypeInfo(guid); });
}

IRecordInfo* AdditionalArguRecordInfo() noexcept {
    return NothingOnFailure([] { return FindRecordInfo(); });
}

}  // namespace zx
