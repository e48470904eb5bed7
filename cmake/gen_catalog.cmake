# Writes the C++ catalog of the component's IDL: the library's name and
# version, every coclass in declaration order with its identifier and
# whether clients may create it, the order of the published type library,
# and the identifiers of the records (widl writes no constant for those).
# The class table and tools/tlbwriter read it, so the IDL is the one list of
# classes. The file is rewritten only when its text changes.
# Usage: cmake -DIDL=zentrix.idl -DOUT=zentrix_catalog.h -P gen_catalog.cmake
cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/idl_model.cmake)
zentrix_read_idl(${IDL} idl)
get_filename_component(idl_file ${IDL} NAME)

string(REPLACE "." ";" version "${idl_LIBVERSION}")
list(GET version 0 major)
list(GET version 1 minor)

set(classes "")
foreach(name IN LISTS idl_COCLASSES)
    zentrix_guid_initialiser(${idl_CLSID_${name}} clsid)
    if(idl_CREATABLE_${name})
        set(creatable true)
    else()
        set(creatable false)
    endif()
    string(APPEND classes "    {L\"${name}\", {${clsid}}, ${creatable}},\n")
endforeach()

# The published order: each class's default interface followed by the
# class, in class order; then the event interfaces, the enumerations and the
# records, each in declaration order. Every type of the library has its
# place, or the catalog is refused.
set(order "")
set(placed "")
foreach(name IN LISTS idl_COCLASSES)
    list(APPEND order ${idl_DEFAULT_${name}} ${name})
endforeach()
list(APPEND order ${idl_DISPINTERFACES} ${idl_ENUMS} ${idl_RECORDS})
foreach(name IN LISTS idl_INTERFACES idl_COCLASSES idl_DISPINTERFACES idl_ENUMS idl_RECORDS)
    list(FIND order ${name} at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${idl_file}: ${name} has no place in the published type order "
                            "(an interface must be the default interface of a class)")
    endif()
endforeach()
list(LENGTH order count)
list(REMOVE_DUPLICATES order)
list(LENGTH order unique)
if(NOT count EQUAL unique)
    message(FATAL_ERROR "${idl_file}: an interface is the default interface of two classes")
endif()
set(types "")
foreach(name IN LISTS order)
    string(APPEND types "    L\"${name}\",\n")
endforeach()

set(records "")
foreach(name IN LISTS idl_RECORDS)
    if(idl_GUID_${name} STREQUAL "")
        message(FATAL_ERROR "${idl_file}: record ${name} has no uuid")
    endif()
    zentrix_guid_initialiser(${idl_GUID_${name}} guid)
    string(APPEND records "inline constexpr GUID kRecord_${name} = {${guid}};\n")
endforeach()

set(text "// Generated from ${idl_file} by cmake/gen_catalog.cmake: edit the IDL, not this file.
#pragma once
#include <windows.h>

namespace zx::catalog {

inline constexpr wchar_t kLibraryName[] = L\"${idl_LIBRARY}\";
inline constexpr WORD kLibraryMajor = ${major};
inline constexpr WORD kLibraryMinor = ${minor};

struct Class {
    const wchar_t* name;
    CLSID clsid;
    bool creatable;  // false for classes declared noncreatable
};

// Every coclass, in declaration order.
inline constexpr Class kClasses[] = {
${classes}};

// The types of the published type library, in its order.
inline constexpr const wchar_t* kTypeOrder[] = {
${types}};

// The records' identifiers.
${records}
}  // namespace zx::catalog
")
if(EXISTS ${OUT})
    file(READ ${OUT} old)
    if(old STREQUAL text)
        return()
    endif()
endif()
file(WRITE ${OUT} "${text}")
