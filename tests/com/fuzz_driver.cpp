#include "fuzz_driver.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "com_support.h"
#include "call_results.h"
#include "heap_bytes.h"

namespace zxfuzz {
namespace {

using zxcall::ClearResult;
using zxcall::OwnedExcepInfo;

// The error numbers the library's README lists, as they travel.
bool IsPublishedError(SCODE code) {
    static const unsigned kNumbers[] = {5, 6, 9, 11, 13, 91, 326, 429, 438, 450, 457};
    if ((static_cast<unsigned>(code) & 0xFFFF0000u) != 0x800A0000u) return false;
    for (unsigned number : kNumbers)
        if ((static_cast<unsigned>(code) & 0xFFFFu) == number) return true;
    return false;
}

bool IsDocumentedDispatchFailure(HRESULT hr) {
    switch (hr) {
    case DISP_E_MEMBERNOTFOUND: case DISP_E_BADPARAMCOUNT: case DISP_E_PARAMNOTOPTIONAL:
    case DISP_E_TYPEMISMATCH: case DISP_E_PARAMNOTFOUND: case DISP_E_BADVARTYPE:
    case DISP_E_OVERFLOW: case DISP_E_NONAMEDARGS: case DISP_E_UNKNOWNINTERFACE:
    case DISP_E_EXCEPTION:
        return true;
    default:
        return false;
    }
}

BOOL CALLBACK CollectMonitors(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    if (GetClassNameW(window, name, 32) && wcscmp(name, L"ZentrixTimerMonitor") == 0)
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

void PumpPending() {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int EnvironmentNumber(const char* name, long long fallback, long long* out) {
    const char* text = std::getenv(name);
    *out = text && *text ? std::strtoll(text, nullptr, 0) : fallback;
    return 0;
}

Arguments::Hint HintOf(ITypeInfo* info, const TYPEDESC& desc) {
    const TYPEDESC* type = &desc;
    while (type->vt == VT_PTR && type->lptdesc) type = type->lptdesc;
    switch (type->vt) {
    case VT_I2: return Arguments::Hint::Short;
    case VT_BOOL: return Arguments::Hint::Bool;
    case VT_R4: case VT_R8: return Arguments::Hint::Float;
    case VT_BSTR: return Arguments::Hint::String;
    case VT_DISPATCH: case VT_UNKNOWN: return Arguments::Hint::Object;
    case VT_VARIANT: return Arguments::Hint::Variant;
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> referenced;
        TYPEATTR* attr = nullptr;
        Arguments::Hint hint = Arguments::Hint::Long;  // an enumeration
        if (SUCCEEDED(info->GetRefTypeInfo(type->hreftype, &referenced)) && SUCCEEDED(referenced->GetTypeAttr(&attr))) {
            if (attr->typekind == TKIND_RECORD) hint = Arguments::Hint::Record;
            if (attr->typekind == TKIND_INTERFACE || attr->typekind == TKIND_DISPATCH) hint = Arguments::Hint::Object;
            referenced->ReleaseTypeAttr(attr);
        }
        return hint;
    }
    default: return Arguments::Hint::Long;
    }
}

const wchar_t* const kProgIds[] = {L"Zentrix.clsVxTimeTimerMainA", L"Zentrix.clsVxTimeTimerEventsA",
                                   L"Zentrix.clsVxTimeGeneralA", L"Zentrix.clsVxTimeAdvancedA"};

constexpr DISPID kShowTimerDialog = 0x60030008;
constexpr size_t kPoolLimit = 48;

}  // namespace

Settings SettingsFromEnvironment() {
    Settings settings;
    long long value = 0;
    EnvironmentNumber("ZENTRIX_FUZZ_SEED", static_cast<long long>(settings.seed), &value);
    settings.seed = static_cast<uint64_t>(value);
    EnvironmentNumber("ZENTRIX_FUZZ_EPISODES", settings.episodes, &value);
    settings.episodes = static_cast<int>(value);
    EnvironmentNumber("ZENTRIX_FUZZ_CALLS", settings.callsPerEpisode, &value);
    settings.callsPerEpisode = static_cast<int>(value);
    EnvironmentNumber("ZENTRIX_FUZZ_EPISODE", -1, &value);
    settings.onlyEpisode = static_cast<int>(value);
    return settings;
}

void CallLog::Add(const char* format, ...) {
    char* line = lines_[total_ % kLines];
    ++total_;
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, kWidth, format, args);
    va_end(args);
}

void CallLog::Append(const char* format, ...) {
    if (total_ == 0) return;
    char* line = lines_[(total_ - 1) % kLines];
    const size_t used = std::strlen(line);
    if (used + 1 >= size_t(kWidth)) return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + used, kWidth - used, format, args);
    va_end(args);
}

std::string CallLog::Dump() const {
    std::string text;
    const long long first = total_ > kLines ? total_ - kLines : 0;
    for (long long i = first; i < total_; ++i) {
        text += "  ";
        text += lines_[i % kLines];
        text += "\n";
    }
    return text;
}

Fuzzer::Fuzzer(const Settings& settings, const std::vector<ForeignObject*>& foreign,
               const std::vector<ForeignRecordInfo*>& foreignRecords)
    : settings_(settings), foreign_(foreign), foreignRecords_(foreignRecords) {
    pool_.reserve(kPoolLimit + 8);
    connections_.reserve(64);
    windows_.reserve(4);
    ingredients_.ours.reserve(kPoolLimit + 8);
    ingredients_.windows.reserve(4);
    for (ForeignObject* object : foreign_) ingredients_.foreign.push_back(object);
    ingredients_.foreignRecords = foreignRecords_;
}

Fuzzer::~Fuzzer() = default;

void Fuzzer::Problem(const char* what) {
    char head[256];
    std::snprintf(head, sizeof head, "%s (seed %llu, episode %d, call %lld of the episode)\n", what,
                  static_cast<unsigned long long>(settings_.seed), episode_, callInEpisode_);
    outcome_.problems.push_back(std::string(head) + "last calls:\n" + log_.Dump());
}

bool Fuzzer::IsForeign(IUnknown* object) const {
    ComPtr<IUnknown> identity;
    if (!object || FAILED(object->QueryInterface(IID_PPV_ARGS(&identity)))) return false;
    for (ForeignObject* foreign : foreign_)
        if (identity.Get() == static_cast<IDispatch*>(foreign)) return true;
    return false;
}

bool Fuzzer::Setup() {
    boxes_ = std::make_unique<zxcom::MessageBoxRefusal>();
    boxesAtStart_ = zxcom::MessageBoxRefusal::refused;
    // The library's own description of its record, as it hands it out with
    // a record it returns.
    zxcom::HiddenWindow window;
    zxcom::Client client;
    if (!client.Open(window.Handle())) {
        Problem("cannot create the service object and a window group");
        return false;
    }
    zxcom::Record record(1, 2, 3, L"setup");
    LONG id = 1;
    if (FAILED(zxcom::AddTimer(client.items.Get(), id, record, 60000))) {
        Problem("cannot add a timer");
        return false;
    }
    ComPtr<IDispatch> item;
    zxcom::ItemAt(client.items.Get(), 1).As(&item);
    DISPID member = 0x68030000;  // AdditionalArgu
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    if (!item || FAILED(item->Invoke(member, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr)) ||
        result.vt != VT_RECORD || !result.pRecInfo) {
        Problem("AdditionalArgu gives no record");
        return false;
    }
    libraryRecord_ = result.pRecInfo;
    ClearResult(result);
    ingredients_.libraryRecord = libraryRecord_.Get();
    libraryRecord_->AddRef();
    recordReferences_ = libraryRecord_->Release();
    KillTimer(window.Get(), 1);
    return true;
}

const Fuzzer::Described* Fuzzer::Describe(IDispatch* object) {
    ComPtr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || !info) return nullptr;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return nullptr;
    const IID iid = attr->guid;
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    const std::wstring key = zxcom::GuidText(iid);
    auto found = described_.find(key);
    if (found != described_.end()) return &found->second;
    Described described{iid, L"", {}};
    BSTR name = nullptr;
    if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)) && name)
        described.name = name;
    SysFreeString(name);
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func))) continue;
        Member member{func->memid, func->invkind, func->cParams, L"", {}, {}};
        for (SHORT p = 0; p < func->cParams; ++p) member.hints.push_back(HintOf(info.Get(), func->lprgelemdescParam[p].tdesc));
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 16, &count);
        for (UINT n = 0; n < count; ++n) {
            if (n == 0) member.name = names[n] ? names[n] : L"";
            else member.parameters.push_back(names[n] ? names[n] : L"");
            SysFreeString(names[n]);
        }
        info->ReleaseFuncDesc(func);
        if (member.id == 0x60000000 || member.id == 0x60000001 || member.id == 0x60000002 ||
            (member.id >= 0x60010000 && member.id <= 0x60010003))
            continue;  // IUnknown's and IDispatch's own functions
        described.members.push_back(std::move(member));
    }
    return &described_.emplace(key, std::move(described)).first->second;
}

void Fuzzer::Keep(IDispatch* object) {
    // A full pool takes no more: an object that leaves it could hold a
    // reference to another (see Normalize) that nobody would clear.
    if (!object || IsForeign(object) || pool_.size() >= kPoolLimit) return;
    pool_.emplace_back(object);
    ingredients_.ours.push_back(object);
}

void Fuzzer::CallNames(Random& random, IDispatch* object, const std::vector<Member>& members) {
    static const wchar_t* const kOthers[] = {L"NoSuchMember", L"", L"Item ", L"TIMERGROUPS", L"czTimeTimerMain_OnTimerStart",
                                             L"_NewEnum", L"Value"};
    std::wstring texts[3];
    LPOLESTR names[3] = {};
    const UINT count = random.Below(3) + 1;
    const Member* member = members.empty() ? nullptr : &members[random.Below(static_cast<uint32_t>(members.size()))];
    for (UINT i = 0; i < count; ++i) {
        if (i == 0 && member && random.Percent(70)) {
            texts[i] = member->name;
            if (random.Percent(50))
                for (auto& c : texts[i]) c = static_cast<wchar_t>(random.Percent(50) ? towupper(c) : towlower(c));
        } else if (i > 0 && member && !member->parameters.empty() && random.Percent(60)) {
            texts[i] = member->parameters[random.Below(static_cast<uint32_t>(member->parameters.size()))];
        } else {
            texts[i] = random.Pick(kOthers);
        }
        names[i] = texts[i].data();
    }
    const bool foreignInterface = random.Percent(5);
    DISPID ids[3] = {7, 7, 7};
    log_.Add("e%d #%lld GetIDsOfNames(%ls, %u names)", episode_, callInEpisode_, names[0], count);
    HRESULT hr = object->GetIDsOfNames(foreignInterface ? IID_IDispatch : IID_NULL, names, count, 0, ids);
    log_.Append(" -> 0x%08lx", static_cast<unsigned long>(hr));
    ++outcome_.calls;
    if (foreignInterface) {
        if (hr != DISP_E_UNKNOWNINTERFACE) Problem("GetIDsOfNames with a foreign interface identifier");
        return;
    }
    if (hr != S_OK && hr != DISP_E_UNKNOWNNAME) Problem("GetIDsOfNames answered an undocumented result");
    if (hr == S_OK && count == 1) {
        bool known = false;
        for (const Member& m : members) known = known || m.id == ids[0];
        if (!known) Problem("GetIDsOfNames gave a DISPID the interface does not describe");
    }
}

void Fuzzer::CallTypeInfo(Random& random, IDispatch* object) {
    UINT count = 9;
    HRESULT hr = object->GetTypeInfoCount(&count);
    if (hr != S_OK || count != 1) Problem("GetTypeInfoCount");
    static const UINT kIndexes[] = {0, 0, 1, 2, 0xFFFFFFFFu};
    const UINT index = random.Pick(kIndexes);
    ComPtr<ITypeInfo> info;
    log_.Add("e%d #%lld GetTypeInfo(%u)", episode_, callInEpisode_, index);
    hr = object->GetTypeInfo(index, random.Below(0x500), &info);
    log_.Append(" -> 0x%08lx", static_cast<unsigned long>(hr));
    ++outcome_.calls;
    if (index == 0 ? (hr != S_OK || !info) : (hr != DISP_E_BADINDEX || info)) Problem("GetTypeInfo");
    if (info) {
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) info->ReleaseTypeAttr(attr);
    }
}

void Fuzzer::CheckInvokeResult(HRESULT hr, const VARIANT* result, const EXCEPINFO* exception, UINT argError,
                               UINT argCount) {
    if (hr == S_OK) return;
    ++outcome_.failures;
    if (!IsDocumentedDispatchFailure(hr)) {
        Problem("Invoke answered an undocumented result");
        return;
    }
    if (result && result->vt != VT_EMPTY) Problem("a failed Invoke handed out a result");
    if (argError != 0xFFFFFFFFu && argError >= argCount) Problem("puArgErr names no argument");
    if (hr == DISP_E_EXCEPTION && exception) {
        const SCODE code = exception->scode ? exception->scode
                                            : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, exception->wCode);
        if (!IsPublishedError(code)) Problem("DISP_E_EXCEPTION carries an error number the README does not list");
        if (!exception->bstrDescription || !*exception->bstrDescription || !exception->bstrSource)
            Problem("DISP_E_EXCEPTION without source and description");
    }
}

void Fuzzer::CallInvoke(Random& random, IDispatch* object, const Described& described) {
    static const WORD kFlags[] = {DISPATCH_METHOD,
                                  DISPATCH_PROPERTYGET,
                                  DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                  DISPATCH_PROPERTYPUT,
                                  DISPATCH_PROPERTYPUTREF,
                                  DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF,
                                  0,
                                  DISPATCH_METHOD | DISPATCH_PROPERTYPUT,
                                  DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUTREF,
                                  0x10,
                                  0xFFFF};
    static const DISPID kOddIds[] = {0, DISPID_UNKNOWN, DISPID_PROPERTYPUT, DISPID_NEWENUM, DISPID_EVALUATE,
                                     1, 2, 0x60030000, 0x6803FFFF, 0x4003000d, 0x7FFFFFFF};
    const auto& members = described.members;
    const Member* member =
        !members.empty() && random.Percent(80) ? &members[random.Below(static_cast<uint32_t>(members.size()))] : nullptr;
    DISPID id = member ? member->id : random.Pick(kOddIds);
    WORD flags = random.Pick(kFlags);
    if (member && random.Percent(65)) {
        flags = member->kind == INVOKE_FUNC ? DISPATCH_METHOD
                : member->kind == INVOKE_PROPERTYGET ? DISPATCH_PROPERTYGET
                : member->kind == INVOKE_PROPERTYPUT ? DISPATCH_PROPERTYPUT
                                                     : DISPATCH_PROPERTYPUTREF;
    }
    if (described.iid == IID__clsVxTimeTimerMainA && id == kShowTimerDialog) {
        // Each monitor window costs tens of milliseconds to open and close.
        if (monitorBudget_ <= 0) return;
        --monitorBudget_;
        ++outcome_.monitorsOpened;
    }
    UINT count = member && random.Percent(60) ? static_cast<UINT>(member->inputs) : random.Below(8);
    if (random.Percent(10)) count = member ? static_cast<UINT>(member->inputs) + 1 : 1;
    Arguments arguments(random, ingredients_);
    // Half the calls of a member as described get arguments of the kinds it
    // takes (last parameter first, as rgvarg holds them), the rest anything.
    const bool plausible = member && count == static_cast<UINT>(member->inputs) && random.Percent(50);
    for (UINT i = 0; i < count; ++i) {
        if (plausible && random.Percent(85)) arguments.AddPlausible(member->hints[count - 1 - i]);
        else arguments.AddRandom();
    }
    DISPID named[8];
    UINT namedCount = 0;
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    if (count && (put ? random.Percent(85) : random.Percent(20))) {
        namedCount = put ? 1 + random.Below(count) : random.Below(count + 1);
        static const DISPID kNamedIds[] = {0, 1, 2, 3, 4, 5, 6, -1, 99, DISPID_PROPERTYPUT};
        for (UINT i = 0; i < namedCount; ++i)
            named[i] = (i == 0 && put && random.Percent(85)) ? DISPID_PROPERTYPUT : random.Pick(kNamedIds);
    }
    DISPPARAMS params{arguments.Data(), namedCount ? named : nullptr, count, namedCount};
    const bool wantResult = random.Percent(85), wantException = random.Percent(85), wantArgError = random.Percent(85);
    const bool foreignInterface = random.Percent(2);
    VARIANT result;
    VariantInit(&result);
    OwnedExcepInfo exception;
    UINT argError = 0xFFFFFFFFu;
    char types[300];
    arguments.Describe(types, sizeof types);
    log_.Add("e%d #%lld %ls Invoke(id=0x%08lx, flags=0x%x, [%s], named %u%s)", episode_, callInEpisode_,
             described.name.c_str(), static_cast<unsigned long>(id), flags, types, namedCount,
             foreignInterface ? ", riid IDispatch" : "");
    HRESULT hr = object->Invoke(id, foreignInterface ? IID_IDispatch : IID_NULL, random.Below(0x500), flags, &params,
                                wantResult ? &result : nullptr, wantException ? &exception.value : nullptr,
                                wantArgError ? &argError : nullptr);
    log_.Append(" -> 0x%08lx", static_cast<unsigned long>(hr));
    ++outcome_.calls;
    if (foreignInterface) {
        if (hr != DISP_E_UNKNOWNINTERFACE) Problem("Invoke with a foreign interface identifier");
    } else {
        CheckInvokeResult(hr, wantResult ? &result : nullptr, wantException ? &exception.value : nullptr, argError,
                          count);
    }
    if (hr == S_OK && result.vt == VT_DISPATCH) Keep(result.pdispVal);
    ClearResult(result);
}

void Fuzzer::CallConnections(Random& random) {
    std::vector<IConnectionPointContainer*> sources;
    ComPtr<IConnectionPointContainer> container;
    const IDispatch* chosen = pool_.empty() ? nullptr : pool_[random.Below(static_cast<uint32_t>(pool_.size()))].Get();
    if (!chosen || FAILED(const_cast<IDispatch*>(chosen)->QueryInterface(IID_PPV_ARGS(&container)))) return;
    ComPtr<IProvideClassInfo2> info;
    IID events = IID_NULL;
    if (FAILED(container.As(&info)) || FAILED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events))) {
        Problem("an event source without its event interface");
        return;
    }
    ++outcome_.calls;
    switch (random.Below(4)) {
    case 0: {
        ComPtr<IConnectionPoint> point;
        log_.Add("e%d #%lld Advise", episode_, callInEpisode_);
        if (FAILED(container->FindConnectionPoint(events, &point))) {
            Problem("FindConnectionPoint");
            return;
        }
        DWORD cookie = 0;
        ForeignObject* sink = foreign_[random.Below(static_cast<uint32_t>(foreign_.size()))];
        HRESULT hr = point->Advise(static_cast<IDispatch*>(sink), &cookie);
        log_.Append(" -> 0x%08lx", static_cast<unsigned long>(hr));
        if (hr != S_OK) Problem("Advise refused a sink that offers the event interface");
        else if (connections_.size() < 60) connections_.push_back({point, cookie});
        else point->Unadvise(cookie);
        return;
    }
    case 1: {
        if (connections_.empty()) return;
        const size_t which = random.Below(static_cast<uint32_t>(connections_.size()));
        log_.Add("e%d #%lld Unadvise", episode_, callInEpisode_);
        HRESULT hr = connections_[which].point->Unadvise(connections_[which].cookie);
        log_.Append(" -> 0x%08lx", static_cast<unsigned long>(hr));
        if (hr != S_OK) Problem("Unadvise of a connection made");
        if (connections_[which].point->Unadvise(connections_[which].cookie) != CONNECT_E_NOCONNECTION)
            Problem("Unadvise twice");
        connections_.erase(connections_.begin() + static_cast<long>(which));
        return;
    }
    case 2: {
        ComPtr<IEnumConnectionPoints> points;
        log_.Add("e%d #%lld EnumConnectionPoints", episode_, callInEpisode_);
        if (FAILED(container->EnumConnectionPoints(&points)) || !points) {
            Problem("EnumConnectionPoints");
            return;
        }
        IConnectionPoint* got[2] = {};
        ULONG fetched = 0;
        if (points->Next(2, got, &fetched) != S_FALSE || fetched != 1) Problem("EnumConnectionPoints gives one point");
        for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
        return;
    }
    default: {
        ComPtr<IConnectionPoint> point;
        ComPtr<IEnumConnections> list, clone;
        log_.Add("e%d #%lld EnumConnections", episode_, callInEpisode_);
        if (FAILED(container->FindConnectionPoint(events, &point)) || FAILED(point->EnumConnections(&list)) ||
            FAILED(list->Skip(random.Below(2))) || FAILED(list->Clone(&clone))) {
            Problem("EnumConnections");
            return;
        }
        CONNECTDATA got[4] = {};
        ULONG fetched = 0;
        while (SUCCEEDED(clone->Next(4, got, &fetched)) && fetched) {
            for (ULONG i = 0; i < fetched; ++i) got[i].pUnk->Release();
            if (fetched < 4) break;
        }
        return;
    }
    }
}

void Fuzzer::OneCall(Random& random) {
    ++callInEpisode_;
    const uint32_t kind = random.Below(100);
    if (kind < 1) {
        log_.Add("e%d #%lld pump", episode_, callInEpisode_);
        PumpPending();
        return;
    }
    if (kind < 3) {
        CallConnections(random);
        return;
    }
    if (pool_.empty()) return;
    IDispatch* object = pool_[random.Below(static_cast<uint32_t>(pool_.size()))].Get();
    ComPtr<IDispatch> keep(object);  // the call may release the pool's reference
    const Described* described = Describe(object);
    if (!described) {
        Problem("GetTypeInfo(0) of a library object");
        return;
    }
    if (kind < 9) CallNames(random, object, described->members);
    else if (kind < 12) CallTypeInfo(random, object);
    else CallInvoke(random, object, *described);
}

void Fuzzer::Normalize() {
    for (Connection& connection : connections_) connection.point->Unadvise(connection.cookie);
    connections_.clear();
    // The calls may have stored objects in one another (a record's progress
    // bar, a buddy, a group's timers), cycles included, as a client can.
    // A client that is done with them empties those references first.
    for (ComPtr<IDispatch>& object : pool_) {
        const Described* described = Describe(object.Get());
        if (!described) continue;
        for (const Member& member : described->members) {
            if (member.kind != INVOKE_PROPERTYPUTREF) continue;
            VARIANT nothing;
            VariantInit(&nothing);
            nothing.vt = VT_DISPATCH;
            DISPID put = DISPID_PROPERTYPUT;
            DISPPARAMS params{&nothing, &put, 1, 1};
            object->Invoke(member.id, IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &params, nullptr, nullptr, nullptr);
        }
    }
    pool_.clear();
    ingredients_.ours.clear();
    // A new service object discards the registry and the registration; the
    // apartment's last armed record is set to an empty one, so that every
    // episode ends with the same state.
    {
        zxcom::Client client;
        if (client.Open(1)) {
            zxcom::Record empty;
            LONG id = 1;
            zxcom::AddTimer(client.items.Get(), id, empty, 1000);  // window 1 is none: nothing is armed
        }
        ComPtr<_clsVxTimeTimerMainA> fresh;
        zxcom::CreateService(&fresh);
    }
    std::vector<HWND> monitors;
    monitors.reserve(8);
    EnumThreadWindows(GetCurrentThreadId(), CollectMonitors, reinterpret_cast<LPARAM>(&monitors));
    for (HWND monitor : monitors) DestroyWindow(monitor);
    for (HWND window : windows_) DestroyWindow(window);
    windows_.clear();
    ingredients_.windows.clear();
    PumpPending();
    SetErrorInfo(0, nullptr);
}

void Fuzzer::RunEpisode(uint64_t seed, int episode) {
    episode_ = episode;
    callInEpisode_ = 0;
    monitorBudget_ = 2;
    Random random(seed);
    for (int i = 0; i < 2; ++i) {
        HWND window = CreateWindowExW(0, L"STATIC", L"zentrix fuzz", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        if (!window) continue;
        windows_.push_back(window);
        ingredients_.windows.push_back(static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)));
    }
    for (const wchar_t* progId : kProgIds) {
        CLSID clsid;
        ComPtr<IDispatch> object;
        if (FAILED(CLSIDFromProgID(progId, &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)))) {
            Problem("cannot create a creatable class");
            return;
        }
        Keep(object.Get());
    }
    // The objects a client reaches from the service: a group of each window
    // with a timer in it.
    ComPtr<_clsVxTimeTimerMainA> service;
    pool_[0].As(&service);
    ComPtr<_clsVxTimeTimerGroupsA> groups;
    if (service && SUCCEEDED(service->get_TimerGroups(&groups))) {
        Keep(groups.Get());
        for (LONG handle : ingredients_.windows) {
            ComPtr<_clsVxTimeTimerGroupA> group;
            ComPtr<_clsVxTimeTimerItemsA> items;
            LONG hWnd = handle;
            if (FAILED(groups->Add(&hWnd, &group)) || FAILED(group->get_TimerItems(&items))) continue;
            zxcom::Record record(episode, 0, 0, L"fuzz");
            LONG id = 1 + random.Below(5);
            zxcom::AddTimer(items.Get(), id, record, 10 + random.Below(40), 0, random.Percent(50));
            Keep(group.Get());
            Keep(items.Get());
            if (ComPtr<_clsVxTimeTimerItemA> item = zxcom::ItemAt(items.Get(), 1)) Keep(item.Get());
        }
    }
    for (int i = 0; i < settings_.callsPerEpisode && outcome_.problems.size() < 5; ++i) OneCall(random);
    Normalize();
}

void Fuzzer::Run() {
    if (!Setup()) return;
    for (int episode = 0; episode < settings_.episodes && outcome_.problems.empty(); ++episode) {
        if (settings_.onlyEpisode >= 0 && episode != settings_.onlyEpisode) continue;
        const uint64_t seed = settings_.seed * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(episode) * 7919u + 1u;
        // The same calls again leave the same heap: an episode is run until
        // two runs in a row end with the same heap, three times at most.
        size_t previous = 0;
        bool repeated = false;
        char runs[160] = {};
        size_t used = 0;
        for (int run = 0; run < 3 && !repeated && outcome_.problems.empty(); ++run) {
            RunEpisode(seed, episode);
            const size_t now = zxheap::BytesInUse();
            used += static_cast<size_t>(std::snprintf(runs + used, sizeof runs - used, " %zu", now));
            repeated = run > 0 && now == previous;
            previous = now;
        }
        if (!outcome_.problems.empty()) break;
        ++outcome_.episodesChecked;
        if (!repeated) {
            char what[256];
            std::snprintf(what, sizeof what, "the same calls left more on the heap each time (bytes after each run:%s)",
                          runs);
            Problem(what);
        }
    }
    Normalize();
    libraryRecord_->AddRef();
    if (libraryRecord_->Release() != recordReferences_)
        Problem("the library's record description did not get its references back");
    outcome_.boxesRefused = zxcom::MessageBoxRefusal::refused - boxesAtStart_;
    boxes_.reset();
}

}  // namespace zxfuzz
