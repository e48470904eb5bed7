#include "com/type_library.h"

#include <map>
#include <mutex>

#include "com/module.h"
#include "com/owned.h"

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

}  // namespace

ITypeLib* ComponentTypeLib() {
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    return LoadedLibrary(cache);
}

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

IRecordInfo* AdditionalArguRecordInfo() {
    ITypeInfo* info = TypeInfoOf(kAdditionalArguStruGuid);
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    if (!cache.record && info) GetRecordInfoFromTypeInfo(info, &cache.record);
    return cache.record.Get();
}

}  // namespace zx
