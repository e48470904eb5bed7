#pragma once
// Random arguments for the fuzz test's dispatch calls: every VARTYPE a
// caller can send, by value and by reference, with NULL references, records
// of the library's and of foreign descriptions, foreign objects, BSTRs with
// embedded NULs and numbers out of every range. An Arguments object owns
// every value and referent it hands out and frees what is left in them after
// the call (the callee may have replaced by-reference values).
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <deque>
#include <vector>

#include "fuzz_clients.h"
#include "seeded_random.h"

namespace zxfuzz {

// What arguments may refer to. Pointers are borrowed.
struct Ingredients {
    std::vector<IDispatch*> ours;              // the library's objects in play
    std::vector<ForeignObject*> foreign;
    IRecordInfo* libraryRecord = nullptr;      // the library's description of AdditionalArguStru
    std::vector<ForeignRecordInfo*> foreignRecords;
    std::vector<LONG> windows;                 // handles of the test's windows
};

class Arguments {
public:
    Arguments(Random& random, const Ingredients& ingredients);
    ~Arguments();
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    // Appends one random argument (the caller reverses nothing: rgvarg
    // order is the order of appending).
    void AddRandom();
    // What a parameter takes, for plausible arguments.
    enum class Hint { Long, Short, Bool, Float, String, Object, Record, Variant };
    // Appends an argument of the kind a parameter takes, with values that
    // reach past the checks (known identifiers, the test's windows).
    void AddPlausible(Hint hint);
    // Appends a plain value argument.
    void AddLong(LONG value);
    VARIANT* Data() { return args_.empty() ? nullptr : args_.data(); }
    UINT Count() const { return static_cast<UINT>(args_.size()); }
    // A short text naming each argument's type, for the replay log.
    void Describe(char* out, size_t size) const;

private:
    // Storage for one by-reference referent of a simple type.
    struct Cell {
        VARTYPE vt = VT_EMPTY;
        union {
            LONG l;
            SHORT i;
            float f;
            double d;
            VARIANT_BOOL b;
            SCODE e;
            CY cy;
            DATE date;
            BYTE ui1;
            BSTR s;
            IDispatch* o;
            IUnknown* u;
            SAFEARRAY* array;
            DECIMAL dec;
        };
        Cell() : dec{} {}
    };

    void MakeValue(VARIANT& v, int depth);
    void MakeReference(VARIANT& v, int depth);
    void MakeRecord(VARIANT& v, bool byRef);
    BSTR MakeString();
    LONG MakeLong();
    double MakeDouble();
    IDispatch* MakeObject(bool foreignOnly);  // counted for the caller, or null
    // Frees what a value holds; `made` is the value as the test made it (a
    // record the test made lives in the test's storage).
    static void Release(VARIANT& v, const VARIANT& made);

    Random& random_;
    const Ingredients& ingredients_;
    std::vector<VARIANT> args_;
    std::deque<VARIANT> variants_;             // referents of VT_VARIANT|VT_BYREF
    std::deque<VARIANT> originals_;            // what each referent held as made
    std::deque<Cell> cells_;
    std::deque<AdditionalArguStru> records_;   // the library's layout (also the impostor's)
    struct ForeignFields {
        LONG values[4];
    };
    std::deque<ForeignFields> foreignRecords_;
};

}  // namespace zxfuzz
