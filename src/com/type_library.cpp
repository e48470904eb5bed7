#include "com/type_library.h"

#include <map>
#include <mutex>

#include "platform/this_module.h"
#include "com/owned.h"

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

}  // namespace

ITypeInfo* TypeInfoOf(REFGUID guid) {
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    auto found = cache.infos.find(guid);
    if (found != cache.infos.end()) return found->second.Get();
    ITypeLib* library = LoadedLibrary(cache);
    ComPtr<ITypeInfo> info;
    if (!library || FAILED(library->GetTypeInfoOfGuid(guid, &info))) return nullptr;
    return cache.infos.emplace(guid, info).first->second.Get();
}

ITypeInfo* VtableTypeInfoOf(REFGUID guid) {
    ITypeInfo* info = TypeInfoOf(guid);
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

IRecordInfo* RecordInfoOf(REFGUID guid) {
    ITypeInfo* info = TypeInfoOf(guid);
    if (!info) return nullptr;
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    auto found = cache.records.find(guid);
    if (found != cache.records.end()) return found->second.Get();
    ComPtr<IRecordInfo> record;
    if (FAILED(GetRecordInfoFromTypeInfo(info, &record))) return nullptr;
    return cache.records.emplace(guid, record).first->second.Get();
}

}  // namespace zx
