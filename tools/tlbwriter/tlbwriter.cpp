// tlbwriter: writes the published type library of zentrix.dll from the one
// widl produced for zentrix.idl.
//
//   tlbwriter <raw.tlb> <runtime.tlb> <out.tlb> win32|win64
//
// widl places each record and enumeration before the first interface that
// uses it and cannot mark a dispinterface non-extensible. This tool copies
// every published type description into a fresh library (CreateTypeLib2) in
// the published order, adds the non-extensible flag to the dispinterfaces
// and gives each enumeration constant and record field its own name as its
// description. Everything else (identifiers, flags, members, DISPIDs, vtable
// offsets, parameter flags and defaults, constants, record layout) comes from
// widl's library unchanged, so zentrix.idl stays the single source of the
// contract. The written library is read back and compared with widl's; any
// difference fails the build.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zentrix_catalog.h"

using Microsoft::WRL::ComPtr;

namespace {

// The published order of the type descriptions, from the IDL's catalog.
using zx::catalog::kTypeOrder;
constexpr UINT kTypeCount = sizeof(kTypeOrder) / sizeof(kTypeOrder[0]);

struct Failure {
    std::wstring what;
    HRESULT hr;
};

void check(HRESULT hr, const std::wstring& what) {
    if (FAILED(hr)) throw Failure{what, hr};
}

void require(bool ok, const std::wstring& what) {
    if (!ok) throw Failure{what, E_FAIL};
}

class Bstr {
public:
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR* out() { SysFreeString(b_); b_ = nullptr; return &b_; }
    BSTR get() const { return b_; }
    std::wstring str() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }
private:
    BSTR b_ = nullptr;
};

// TYPEATTR, FUNCDESC and VARDESC held for the scope of a block.
template <class T, HRESULT (STDMETHODCALLTYPE ITypeInfo::*Get)(UINT, T**),
          void (STDMETHODCALLTYPE ITypeInfo::*Release)(T*)>
class Desc {
public:
    Desc(ITypeInfo* ti, UINT index) : ti_(ti) { check((ti->*Get)(index, &d_), L"reading a member"); }
    Desc(const Desc&) = delete;
    Desc& operator=(const Desc&) = delete;
    ~Desc() { (ti_->*Release)(d_); }
    const T* operator->() const { return d_; }
    const T& operator*() const { return *d_; }
private:
    ITypeInfo* ti_;
    T* d_ = nullptr;
};
using FuncDesc = Desc<FUNCDESC, &ITypeInfo::GetFuncDesc, &ITypeInfo::ReleaseFuncDesc>;
using VarDesc = Desc<VARDESC, &ITypeInfo::GetVarDesc, &ITypeInfo::ReleaseVarDesc>;

class TypeAttr {
public:
    explicit TypeAttr(ITypeInfo* ti) : ti_(ti) { check(ti->GetTypeAttr(&a_), L"GetTypeAttr"); }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    ~TypeAttr() { ti_->ReleaseTypeAttr(a_); }
    const TYPEATTR* operator->() const { return a_; }
private:
    ITypeInfo* ti_;
    TYPEATTR* a_ = nullptr;
};

std::wstring typeName(ITypeInfo* ti) {
    Bstr name;
    check(ti->GetDocumentation(MEMBERID_NIL, name.out(), nullptr, nullptr, nullptr), L"type name");
    return name.str();
}

// Types are found by exact name; whatever else widl writes (aliases, for
// instance) stays out of the published library.
UINT findType(ITypeLib* lib, const std::wstring& name) {
    for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
        Bstr candidate;
        check(lib->GetDocumentation(static_cast<INT>(i), candidate.out(), nullptr, nullptr, nullptr), L"type name");
        if (candidate.str() == name) return i;
    }
    throw Failure{L"finding " + name + L" in widl's library", TYPE_E_ELEMENTNOTFOUND};
}

// The half of a type whose members are copied: the vtable (TKIND_INTERFACE)
// half of a dual interface, otherwise the type itself.
ComPtr<ITypeInfo> memberView(ITypeLib* lib, UINT index) {
    ComPtr<ITypeInfo> ti;
    check(lib->GetTypeInfo(index, &ti), L"GetTypeInfo");
    TypeAttr attr(ti.Get());
    if (attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL)) {
        HREFTYPE href = 0;
        ComPtr<ITypeInfo> vtable;
        check(ti->GetRefTypeOfImplType(static_cast<UINT>(-1), &href), L"vtable half of a dual interface");
        check(ti->GetRefTypeInfo(href, &vtable), L"vtable half of a dual interface");
        return vtable;
    }
    return ti;
}

// A type description in words, with referenced types named by library and
// name; used to compare the written library with widl's.
std::wstring describe(ITypeInfo* owner, const TYPEDESC& t) {
    switch (t.vt) {
    case VT_PTR:
    case VT_SAFEARRAY:
        return std::to_wstring(t.vt) + L"(" + describe(owner, *t.lptdesc) + L")";
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> ref;
        ComPtr<ITypeLib> lib;
        UINT index = 0;
        check(owner->GetRefTypeInfo(t.hreftype, &ref), L"resolving a reference of " + typeName(owner));
        check(ref->GetContainingTypeLib(&lib, &index), L"GetContainingTypeLib");
        Bstr libName;
        check(lib->GetDocumentation(MEMBERID_NIL, libName.out(), nullptr, nullptr, nullptr), L"library name");
        return libName.str() + L"." + typeName(ref.Get());
    }
    default:
        return std::to_wstring(t.vt);
    }
}

std::vector<char> readFile(const std::wstring& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(_wfopen(path.c_str(), L"rb"), fclose);
    require(f != nullptr, L"opening " + path);
    std::vector<char> bytes;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f.get())) > 0;) bytes.insert(bytes.end(), buf, buf + n);
    return bytes;
}

void writeFile(const std::wstring& path, const std::vector<char>& bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(_wfopen(path.c_str(), L"wb"), fclose);
    require(f != nullptr && fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size(), L"writing " + path);
}

// A type library file in the MSFT format, as widl and CreateTypeLib2 write
// it: a 0x54-byte header (flags at 0x14, bit 0x100 adding a help-DLL field;
// number of types at 0x20), one offset per type, then the segment directory
// of 16-byte entries whose first entry locates the type table and whose
// second the import table.
// - A type is a 0x64-byte record: kind and alignment at 0x00 (alignment in
//   bits 6-10 and 11-15), file offset of its members at 0x04, numbers of
//   functions and variables at 0x18 (16 bits each), of implemented
//   interfaces at 0x4c and vtable size at 0x4e (16 bits each; for a dispatch
//   interface its dispatch members times the pointer size), instance size
//   at 0x50.
// - Its members: a 32-bit length, then one record per function (then per
//   variable), each starting with its own length in the low 16 bits. A
//   function's vtable offset is at 0x0c (16 bits).
// - An import is 12 bytes: flags (bit 0x10000: by GUID), import file, GUID
//   offset or type index.
class MsftFile {
public:
    explicit MsftFile(std::vector<char>& bytes) : b_(bytes) {
        require(b_.size() >= kHeader && std::memcmp(b_.data(), "MSFT", 4) == 0, L"MSFT header");
        count_ = read<uint32_t>(0x20);
        const size_t segdir = kHeader + ((read<uint32_t>(0x14) & 0x100) ? 4 : 0) + 4 * size_t{count_};
        types_ = read<uint32_t>(segdir);
        imports_ = read<uint32_t>(segdir + 16);
        require(types_ + kTypeRecord * size_t{count_} <= b_.size(), L"MSFT type table");
    }
    UINT count() const { return count_; }

    // Copies from `from`'s type `f` into type `i` what depends on the
    // target's pointer size: the type's alignment, vtable and instance sizes
    // and its functions' vtable offsets; also its count of implemented
    // interfaces.
    void copyLayout(UINT i, const MsftFile& from, UINT f) {
        const size_t to = type(i), src = from.type(f);
        require(read<uint32_t>(to + 0x18) == from.read<uint32_t>(src + 0x18), L"numbers of members");
        write<uint16_t>(to, static_cast<uint16_t>((read<uint16_t>(to) & ~kAlignBits) |
                                                  (from.read<uint16_t>(src) & kAlignBits)));
        for (size_t field : {0x4c, 0x4e}) write<int16_t>(to + field, from.read<int16_t>(src + field));
        write<int32_t>(to + 0x50, from.read<int32_t>(src + 0x50));

        const UINT funcs = read<uint32_t>(to + 0x18) & 0xFFFF;
        size_t mine = read<uint32_t>(to + 0x04) + 4, theirs = from.read<uint32_t>(src + 0x04) + 4;
        for (UINT n = 0; n < funcs; ++n) {
            write<int16_t>(mine + 0x0c, from.read<int16_t>(theirs + 0x0c));
            mine += read<uint16_t>(mine);
            theirs += from.read<uint16_t>(theirs);
        }
    }

    // Turns the import behind `href` into an import by type index.
    void importByIndex(HREFTYPE href, UINT index) {
        const size_t entry = imports_ + (href & ~3u);
        write<uint32_t>(entry, read<uint32_t>(entry) & ~kImportByGuid);
        write<uint32_t>(entry + 8, index);
    }

private:
    static constexpr size_t kHeader = 0x54;
    static constexpr size_t kTypeRecord = 0x64;
    static constexpr uint16_t kAlignBits = 0xFFC0;
    static constexpr uint32_t kImportByGuid = 0x10000;
    size_t type(UINT i) const { return types_ + kTypeRecord * i; }
    template <class T> T read(size_t pos) const {
        require(pos + sizeof(T) <= b_.size(), L"reading the MSFT file");
        T v;
        std::memcpy(&v, b_.data() + pos, sizeof v);
        return v;
    }
    template <class T> void write(size_t pos, T v) {
        require(pos + sizeof(T) <= b_.size(), L"patching the MSFT file");
        std::memcpy(b_.data() + pos, &v, sizeof v);
    }
    std::vector<char>& b_;
    UINT count_ = 0;
    size_t types_ = 0;
    size_t imports_ = 0;
};

class Writer {
public:
    Writer(ITypeLib* raw, ICreateTypeLib2* out) : raw_(raw), out_(out) {}

    void run() {
        copyLibraryAttributes();
        // Pass 1 creates every type, so that references among the library's
        // own types point at the new descriptions whatever their order;
        // pass 2 adds members, implemented interfaces, constants and fields.
        for (const wchar_t* name : kTypeOrder) create(name);
        for (const wchar_t* name : kTypeOrder) fill(name);
        check(out_->SaveAllChanges(), L"SaveAllChanges");
    }

    // Corrections of the saved file, for what Wine's CreateTypeLib2 writes
    // otherwise than widl:
    // - Layout. It leaves a record's size at 0, sizes an enumeration like a
    //   pointer, writes alignment 4 for every interface, counts a
    //   dispinterface's vtable from IDispatch's and takes a dual interface's
    //   vtable size from the running process's IDispatch. And a 64-bit
    //   process reads the vtable offsets of a 32-bit library scaled to
    //   8-byte slots, so the offsets passed on through the API are 64-bit
    //   ones. widl laid everything out for the target, so sizes, alignment
    //   and vtable offsets are copied from its file, together with the
    //   dispinterfaces' count of implemented interfaces (see fill()).
    // - Imports. It imports every type by GUID; an imported type without one
    //   (stdole2's IPictureDisp alias) would then resolve to the first
    //   GUID-less type of its library. Such imports go by type index, as in
    //   widl's file.
    void patch(const std::wstring& rawPath, const std::wstring& outPath) const {
        std::vector<char> rawBytes = readFile(rawPath), outBytes = readFile(outPath);
        MsftFile raw(rawBytes), out(outBytes);
        require(out.count() == kTypeCount, L"number of written types");
        for (UINT i = 0; i < kTypeCount; ++i) {
            const UINT r = types_.at(kTypeOrder[i]).rawIndex;
            require(r < raw.count(), L"type index in widl's file");
            out.copyLayout(i, raw, r);
        }
        for (const auto& [href, index] : importsByIndex_) out.importByIndex(href, index);
        writeFile(outPath, outBytes);
    }

private:
    struct Type {
        UINT rawIndex = 0;
        UINT flags = 0;
        ComPtr<ITypeInfo> raw;          // widl's description (member view)
        ComPtr<ICreateTypeInfo2> created;
        ComPtr<ITypeInfo> createdInfo;  // the same object, for references
    };

    void copyLibraryAttributes() {
        TLIBATTR* attr = nullptr;
        check(raw_->GetLibAttr(&attr), L"GetLibAttr");
        const TLIBATTR lib = *attr;
        raw_->ReleaseTLibAttr(attr);
        Bstr name, doc;
        check(raw_->GetDocumentation(MEMBERID_NIL, name.out(), doc.out(), nullptr, nullptr), L"library name");
        check(out_->SetName(name.get()), L"SetName");
        check(out_->SetGuid(lib.guid), L"SetGuid");
        check(out_->SetVersion(lib.wMajorVerNum, lib.wMinorVerNum), L"SetVersion");
        check(out_->SetLcid(LOCALE_NEUTRAL), L"SetLcid");
        check(out_->SetLibFlags(0), L"SetLibFlags");
        if (doc.get()) check(out_->SetDocString(doc.get()), L"SetDocString");
    }

    void create(const wchar_t* name) {
        Type t;
        t.rawIndex = findType(raw_, name);
        t.raw = memberView(raw_, t.rawIndex);
        TypeAttr attr(t.raw.Get());
        std::wstring buf = name;
        ComPtr<ICreateTypeInfo> cti;
        check(out_->CreateTypeInfo(buf.data(), attr->typekind, &cti), L"CreateTypeInfo " + buf);
        check(cti.As(&t.created), L"ICreateTypeInfo2");
        check(cti.As(&t.createdInfo), L"ITypeInfo of a new type");
        check(t.created->SetGuid(attr->guid), L"SetGuid " + buf);
        check(t.created->SetVersion(attr->wMajorVerNum, attr->wMinorVerNum), L"SetVersion " + buf);
        t.flags = attr->wTypeFlags;
        // widl rejects the attribute on a dispinterface.
        if (attr->typekind == TKIND_DISPATCH) t.flags |= TYPEFLAG_FNONEXTENSIBLE;
        check(t.created->SetTypeFlags(t.flags), L"SetTypeFlags " + buf);
        types_.emplace(name, std::move(t));
    }

    // The reference in the new library for a type widl's refers to: the new
    // description of one of the library's own types, or the imported type
    // itself (stdole2, the host runtime library).
    HREFTYPE mapRef(ITypeInfo* rawOwner, ICreateTypeInfo2* target, HREFTYPE rawRef) {
        ComPtr<ITypeInfo> ref;
        ComPtr<ITypeLib> lib;
        UINT index = 0;
        check(rawOwner->GetRefTypeInfo(rawRef, &ref), L"resolving a reference of " + typeName(rawOwner));
        check(ref->GetContainingTypeLib(&lib, &index), L"GetContainingTypeLib");
        const std::wstring name = typeName(ref.Get());
        const bool own = lib.Get() == raw_;
        ComPtr<ITypeInfo> use = ref;
        if (own) {
            auto it = types_.find(name);
            require(it != types_.end(), L"reference to a type that is not published: " + name);
            use = it->second.createdInfo;
        }
        HREFTYPE href = 0;
        check(target->AddRefTypeInfo(use.Get(), &href), L"AddRefTypeInfo " + name);
        if (!own && TypeAttr(ref.Get())->guid == GUID_NULL) {
            // Wine merges GUID-less imports of one kind into one reference.
            auto [it, added] = importsByIndex_.emplace(href, index);
            require(added || it->second == index, L"two imported types without an identifier: " + name);
        }
        return href;
    }

    // Deep copy of a type description with its references re-pointed; the
    // copies live in `arena` until the member has been added.
    TYPEDESC copyType(const TYPEDESC& in, ITypeInfo* rawOwner, ICreateTypeInfo2* target,
                      std::deque<TYPEDESC>& arena) {
        TYPEDESC t = in;
        switch (in.vt) {
        case VT_PTR:
        case VT_SAFEARRAY:
            arena.push_back(copyType(*in.lptdesc, rawOwner, target, arena));
            t.lptdesc = &arena.back();
            break;
        case VT_USERDEFINED:
            t.hreftype = mapRef(rawOwner, target, in.hreftype);
            break;
        case VT_CARRAY:
            throw Failure{L"copying a fixed-size array", E_NOTIMPL};
        default:
            break;
        }
        return t;
    }

    ELEMDESC copyElem(const ELEMDESC& in, ITypeInfo* rawOwner, ICreateTypeInfo2* target,
                      std::deque<TYPEDESC>& arena) {
        ELEMDESC e = in;  // keeps the parameter flags and the default value
        e.tdesc = copyType(in.tdesc, rawOwner, target, arena);
        return e;
    }

    void fill(const wchar_t* name) {
        Type& t = types_.at(name);
        ITypeInfo* raw = t.raw.Get();
        ICreateTypeInfo2* target = t.created.Get();
        TypeAttr attr(raw);

        // A dispinterface's IDispatch base is implied, as widl writes it:
        // counted, with no reference stored (patch() restores the count).
        // With a reference, Wine's loader lists IDispatch's seven methods
        // among the events.
        const UINT implTypes = attr->typekind == TKIND_DISPATCH ? 0 : attr->cImplTypes;
        for (UINT i = 0; i < implTypes; ++i) {
            HREFTYPE rawRef = 0;
            INT implFlags = 0;
            check(raw->GetRefTypeOfImplType(i, &rawRef), L"GetRefTypeOfImplType");
            check(raw->GetImplTypeFlags(i, &implFlags), L"GetImplTypeFlags");
            check(target->AddImplType(i, mapRef(raw, target, rawRef)), L"AddImplType");
            if (attr->typekind == TKIND_COCLASS) check(target->SetImplTypeFlags(i, implFlags), L"SetImplTypeFlags");
        }

        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FuncDesc f(raw, i);
            std::deque<TYPEDESC> arena;
            std::vector<ELEMDESC> params;
            for (SHORT p = 0; p < f->cParams; ++p)
                params.push_back(copyElem(f->lprgelemdescParam[p], raw, target, arena));
            FUNCDESC copy = *f;  // memid, kinds, oVft, flags as widl wrote them
            copy.lprgscode = nullptr;
            copy.cScodes = 0;
            copy.lprgelemdescParam = params.empty() ? nullptr : params.data();
            copy.elemdescFunc = copyElem(f->elemdescFunc, raw, target, arena);
            check(target->AddFuncDesc(i, &copy), L"AddFuncDesc " + std::wstring(name));

            // Names are looked up by member id, which the accessors of a
            // property share along with their leading parameters. The value
            // of a property write has no name of its own.
            BSTR names[64] = {};
            UINT count = 0;
            check(raw->GetNames(f->memid, names, 64, &count), L"GetNames");
            UINT want = 1 + static_cast<UINT>(f->cParams);
            if (f->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) --want;
            HRESULT hr = count >= want ? target->SetFuncAndParamNames(i, names, want) : TYPE_E_ELEMENTNOTFOUND;
            for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
            check(hr, L"naming function " + std::to_wstring(i) + L" of " + name);
        }

        for (UINT i = 0; i < attr->cVars; ++i) {
            VarDesc v(raw, i);
            std::deque<TYPEDESC> arena;
            VARDESC copy = *v;  // memid, kind, value or offset as widl wrote them
            copy.elemdescVar = copyElem(v->elemdescVar, raw, target, arena);
            check(target->AddVarDesc(i, &copy), L"AddVarDesc " + std::wstring(name));
            Bstr varName;
            check(raw->GetDocumentation(v->memid, varName.out(), nullptr, nullptr, nullptr), L"variable name");
            check(target->SetVarName(i, varName.get()), L"SetVarName");
            check(target->SetVarDocString(i, varName.get()), L"SetVarDocString");
        }

        // Wine's AddImplType mistakes a reference to the library's first
        // type for the IDispatch import (both are reference 0) and marks the
        // class dispatchable; setting the flags again undoes that.
        check(target->SetTypeFlags(t.flags), L"SetTypeFlags " + std::wstring(name));
        check(target->LayOut(), L"LayOut " + std::wstring(name));
    }

    ITypeLib* raw_;
    ICreateTypeLib2* out_;
    std::map<std::wstring, Type> types_;
    std::map<HREFTYPE, UINT> importsByIndex_;
};

// Reads the written library back and compares it with widl's: kinds, flags,
// sizes and alignment, vtable offsets, members with their ids, kinds, types
// and parameter flags, implemented interfaces, constants and field offsets.
// (Both libraries are read the same way; a 32-bit one with its vtable
// offsets scaled to 8-byte slots and the sizes of interfaces and classes as
// 64-bit pointers.)
void verify(ITypeLib* raw, const std::wstring& path, SYSKIND syskind) {
    ComPtr<ITypeLib> out;
    check(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &out), L"reading back the written library");
    TLIBATTR* la = nullptr;
    check(out->GetLibAttr(&la), L"GetLibAttr");
    const SYSKIND written = la->syskind;
    out->ReleaseTLibAttr(la);
    require(written == syskind, L"syskind of the written library");
    require(out->GetTypeInfoCount() == kTypeCount, L"number of types");
    for (UINT i = 0; i < kTypeCount; ++i) {
        ComPtr<ITypeInfo> a = memberView(raw, findType(raw, kTypeOrder[i])), b = memberView(out.Get(), i);
        const std::wstring name = typeName(b.Get());
        require(name == kTypeOrder[i], L"type order at " + name);
        TypeAttr ra(a.Get()), wa(b.Get());
        const WORD added = ra->typekind == TKIND_DISPATCH ? TYPEFLAG_FNONEXTENSIBLE : 0;
        require(ra->guid == wa->guid && ra->typekind == wa->typekind && (ra->wTypeFlags | added) == wa->wTypeFlags &&
                ra->cFuncs == wa->cFuncs && ra->cVars == wa->cVars && ra->cImplTypes == wa->cImplTypes &&
                ra->cbSizeVft == wa->cbSizeVft && ra->cbSizeInstance == wa->cbSizeInstance &&
                ra->cbAlignment == wa->cbAlignment,
                L"type attributes of " + name);
        for (UINT n = 0; n < ra->cImplTypes; ++n) {
            HREFTYPE rh = 0, wh = 0;
            INT rf = 0, wf = 0;
            check(a->GetRefTypeOfImplType(n, &rh), L"GetRefTypeOfImplType");
            check(b->GetRefTypeOfImplType(n, &wh), L"GetRefTypeOfImplType");
            check(a->GetImplTypeFlags(n, &rf), L"GetImplTypeFlags");
            check(b->GetImplTypeFlags(n, &wf), L"GetImplTypeFlags");
            TYPEDESC rt{}, wt{};
            rt.vt = wt.vt = VT_USERDEFINED;
            rt.hreftype = rh;
            wt.hreftype = wh;
            require(rf == wf && describe(a.Get(), rt) == describe(b.Get(), wt), L"implemented interfaces of " + name);
        }
        for (UINT f = 0; f < ra->cFuncs; ++f) {
            FuncDesc rf(a.Get(), f), wf(b.Get(), f);
            require(rf->memid == wf->memid && rf->oVft == wf->oVft && rf->invkind == wf->invkind &&
                    rf->funckind == wf->funckind && rf->callconv == wf->callconv && rf->cParams == wf->cParams &&
                    rf->cParamsOpt == wf->cParamsOpt && rf->wFuncFlags == wf->wFuncFlags &&
                    describe(a.Get(), rf->elemdescFunc.tdesc) == describe(b.Get(), wf->elemdescFunc.tdesc),
                    L"function " + std::to_wstring(f) + L" of " + name);
            for (SHORT p = 0; p < rf->cParams; ++p) {
                const ELEMDESC &re = rf->lprgelemdescParam[p], &we = wf->lprgelemdescParam[p];
                const bool defaults = re.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT;
                require(re.paramdesc.wParamFlags == we.paramdesc.wParamFlags &&
                        describe(a.Get(), re.tdesc) == describe(b.Get(), we.tdesc) &&
                        (!defaults || VarCmp(&re.paramdesc.pparamdescex->varDefaultValue,
                                             &we.paramdesc.pparamdescex->varDefaultValue, LOCALE_NEUTRAL, 0) == VARCMP_EQ),
                        L"parameter " + std::to_wstring(p) + L" of function " + std::to_wstring(f) + L" of " + name);
            }
        }
        for (UINT v = 0; v < ra->cVars; ++v) {
            VarDesc rv(a.Get(), v), wv(b.Get(), v);
            require(rv->memid == wv->memid && rv->varkind == wv->varkind &&
                    describe(a.Get(), rv->elemdescVar.tdesc) == describe(b.Get(), wv->elemdescVar.tdesc) &&
                    (rv->varkind == VAR_CONST
                         ? VarCmp(rv->lpvarValue, wv->lpvarValue, LOCALE_NEUTRAL, 0) == VARCMP_EQ
                         : rv->oInst == wv->oInst),
                    L"variable " + std::to_wstring(v) + L" of " + name);
        }
    }
}

std::wstring fullPath(const wchar_t* path) {
    wchar_t full[MAX_PATH];
    const DWORD n = GetFullPathNameW(path, MAX_PATH, full, nullptr);
    require(n > 0 && n < MAX_PATH, L"full path of " + std::wstring(path));
    return full;
}

void writeLibrary(const std::wstring& rawPath, const std::wstring& runtimePath, const std::wstring& outPath,
                  SYSKIND syskind) {
    // widl's library imports the host runtime library, which nothing has
    // registered during the build. Wine resolves an import from the
    // libraries already loaded in the process before it looks in the
    // registry, so the runtime library is loaded first and held for the
    // whole run; this works in a fresh prefix and registers nothing there.
    // (Wine's last resort, loading the import by its recorded file name,
    // would register that file in the prefix.) verify() fails if the import
    // resolved to anything else.
    ComPtr<ITypeLib> runtime, raw;
    check(LoadTypeLibEx(runtimePath.c_str(), REGKIND_NONE, &runtime), L"loading the runtime library");
    check(LoadTypeLibEx(rawPath.c_str(), REGKIND_NONE, &raw), L"loading widl's library");

    ComPtr<ICreateTypeLib2> out;
    check(CreateTypeLib2(syskind, outPath.c_str(), &out), L"CreateTypeLib2");
    Writer writer(raw.Get(), out.Get());
    writer.run();
    out.Reset();
    writer.patch(rawPath, outPath);
    verify(raw.Get(), outPath, syskind);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5 || (std::wstring_view(argv[4]) != L"win32" && std::wstring_view(argv[4]) != L"win64")) {
        fwprintf(stderr, L"usage: tlbwriter <raw.tlb> <runtime.tlb> <out.tlb> win32|win64\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int rc = 0;
    std::wstring outPath;
    try {
        outPath = fullPath(argv[3]);
        DeleteFileW(outPath.c_str());
        writeLibrary(fullPath(argv[1]), fullPath(argv[2]), outPath,
                     std::wstring_view(argv[4]) == L"win64" ? SYS_WIN64 : SYS_WIN32);
    } catch (const Failure& f) {
        fwprintf(stderr, L"tlbwriter: %ls failed (0x%08lx)\n", f.what.c_str(), static_cast<unsigned long>(f.hr));
        if (!outPath.empty()) DeleteFileW(outPath.c_str());
        rc = 1;
    }
    CoUninitialize();
    return rc;
}
