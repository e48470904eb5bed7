#pragma once
// The fuzz test's driver: episodes of random calls through IDispatch on every
// creatable object and every object they hand out. It runs on a thread of
// its own (a single-threaded apartment) and uses no test-framework calls
// there, so that nothing else allocates while it counts the heap; it
// collects what it finds wrong as text.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "com_support.h"
#include "fuzz_arguments.h"
#include "fuzz_clients.h"

namespace zxfuzz {

using Microsoft::WRL::ComPtr;

struct Settings {
    uint64_t seed = 13;
    int episodes = 300;
    int callsPerEpisode = 2000;
    int onlyEpisode = -1;  // run this episode only (replaying a failure)
};

// From ZENTRIX_FUZZ_SEED, ZENTRIX_FUZZ_EPISODES, ZENTRIX_FUZZ_CALLS (per
// episode) and ZENTRIX_FUZZ_EPISODE, or the defaults CI runs with.
Settings SettingsFromEnvironment();

// The last calls, in fixed buffers (the log must not allocate while the heap
// is counted).
class CallLog {
public:
    static constexpr int kLines = 24;
    static constexpr int kWidth = 480;
    // Starts a line (before a call, so that a crash shows it) and appends to
    // it (the call's result).
    void Add(const char* format, ...);
    void Append(const char* format, ...);
    std::string Dump() const;
    long long Total() const { return total_; }

private:
    char lines_[kLines][kWidth] = {};
    long long total_ = 0;
};

struct Member {
    DISPID id;
    INVOKEKIND kind;
    int inputs;   // parameters without the result
    std::wstring name;
    std::vector<std::wstring> parameters;
    std::vector<Arguments::Hint> hints;  // what each parameter takes
};

// Figures of a run.
struct Outcome {
    long long calls = 0;
    long long failures = 0;     // calls answered with a documented failure
    long long boxesRefused = 0;
    long long monitorsOpened = 0;
    long long episodesChecked = 0;
    std::vector<std::string> problems;
};

class Fuzzer {
public:
    Fuzzer(const Settings& settings, const std::vector<ForeignObject*>& foreign,
           const std::vector<ForeignRecordInfo*>& foreignRecords);
    ~Fuzzer();
    // Runs every episode (each until its heap repeats); call on the thread
    // that will end the apartment.
    void Run();
    Outcome& Result() { return outcome_; }
    const CallLog& Log() const { return log_; }
    const Settings& Configuration() const { return settings_; }
    IRecordInfo* LibraryRecordInfo() const { return libraryRecord_.Get(); }

private:
    // An interface of the library as its type information describes it.
    struct Described {
        IID iid;
        std::wstring name;
        std::vector<Member> members;
    };

    bool Setup();
    // One episode: fresh objects, `callsPerEpisode` random calls, then
    // everything released and the apartment's state normalized.
    void RunEpisode(uint64_t seed, int episode);
    void OneCall(Random& random);
    void CallNames(Random& random, IDispatch* object, const std::vector<Member>& members);
    void CallTypeInfo(Random& random, IDispatch* object);
    void CallInvoke(Random& random, IDispatch* object, const Described& described);
    void CallConnections(Random& random);
    void CheckInvokeResult(HRESULT hr, const VARIANT* result, const EXCEPINFO* exception, UINT argError,
                           UINT argCount);
    void Keep(IDispatch* object);
    const Described* Describe(IDispatch* object);
    void Normalize();
    void Problem(const char* what);
    bool IsForeign(IUnknown* object) const;

    Settings settings_;
    std::vector<ForeignObject*> foreign_;
    std::vector<ForeignRecordInfo*> foreignRecords_;
    ComPtr<IRecordInfo> libraryRecord_;
    Ingredients ingredients_;
    std::vector<ComPtr<IDispatch>> pool_;
    struct Connection {
        ComPtr<IConnectionPoint> point;
        DWORD cookie;
    };
    std::vector<Connection> connections_;
    std::map<std::wstring, Described> described_;  // by interface identifier text
    std::vector<HWND> windows_;
    std::unique_ptr<zxcom::MessageBoxRefusal> boxes_;
    long long boxesAtStart_ = 0;
    int monitorBudget_ = 0;
    ULONG recordReferences_ = 0;  // of the library's record description, after setup
    int episode_ = 0;
    long long callInEpisode_ = 0;
    CallLog log_;
    Outcome outcome_;
};

}  // namespace zxfuzz
