# Writes the side-by-side assembly manifest that lets clients use zentrix.dll
# without registration: the creatable classes with their ProgIDs, threading
# model and type library, the type library itself, and the interfaces that
# the type library marshals. Everything comes from the IDL.
# The runtime library that the component library imports lives in the DLL as
# its second type library, which a manifest cannot name (a file's typelib
# entry always means its first one); it is shipped as a file of its own next
# to the DLL and listed with it.
# Usage: cmake -DIDL=zentrix.idl -DRUNTIME_IDL=zentrix_runtime.idl
#              -DOUT=Zentrix.sxs.manifest -DNAME=Zentrix.sxs -DVERSION=1.0.0.126
#              -DARCH=amd64|x86 -DDLL=zentrix.dll -DRUNTIME_TLB=zentrix_runtime.tlb
#              -P gen_manifest.cmake
foreach(var IDL RUNTIME_IDL OUT NAME VERSION ARCH DLL RUNTIME_TLB)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "gen_manifest.cmake: ${var} is not set")
    endif()
endforeach()
# Comments may hold brackets or keywords: they are dropped first.
function(read_idl path out)
    file(READ ${path} text)
    string(REGEX REPLACE "//[^\n]*" "" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()
read_idl(${IDL} idl)
read_idl(${RUNTIME_IDL} runtime_idl)

# The attribute block and name of every definition of `kind` in `text` (a
# name followed by a body or a base, not a reference inside a coclass), as
# "<attributes>|<name>" items.
function(declarations text kind out)
    string(REGEX MATCHALL "\\[[^]]*\\][ \t\r\n]*${kind}[ \t\r\n]+[A-Za-z_][A-Za-z0-9_]*[ \t\r\n]*[:{]" found "${text}")
    set(items "")
    foreach(decl IN LISTS found)
        string(REGEX MATCH "^\\[([^]]*)\\][ \t\r\n]*${kind}[ \t\r\n]+([A-Za-z_][A-Za-z0-9_]*)[ \t\r\n]*[:{]$" m "${decl}")
        string(REPLACE ";" "," attributes "${CMAKE_MATCH_1}")
        list(APPEND items "${attributes}|${CMAKE_MATCH_2}")
    endforeach()
    set(${out} "${items}" PARENT_SCOPE)
endfunction()
function(attribute_uuid attributes out)
    if(NOT attributes MATCHES "uuid\\(([0-9A-Fa-f-]+)\\)")
        message(FATAL_ERROR "no uuid in [${attributes}]")
    endif()
    string(TOUPPER "{${CMAKE_MATCH_1}}" guid)
    set(${out} ${guid} PARENT_SCOPE)
endfunction()
function(split item attributes name)
    string(FIND "${item}" "|" bar REVERSE)
    string(SUBSTRING "${item}" 0 ${bar} a)
    math(EXPR start "${bar} + 1")
    string(SUBSTRING "${item}" ${start} -1 n)
    set(${attributes} "${a}" PARENT_SCOPE)
    set(${name} "${n}" PARENT_SCOPE)
endfunction()

# The one library of `text`: its name, identifier and version.
function(library_of text out_name out_tlbid out_version)
    declarations("${text}" library libraries)
    list(LENGTH libraries count)
    if(NOT count EQUAL 1)
        message(FATAL_ERROR "expected one library, found ${count}")
    endif()
    split("${libraries}" attributes name)
    attribute_uuid("${attributes}" tlbid)
    if(NOT attributes MATCHES "version\\(([0-9]+\\.[0-9]+)\\)")
        message(FATAL_ERROR "no version on library ${name}")
    endif()
    set(${out_name} ${name} PARENT_SCOPE)
    set(${out_tlbid} ${tlbid} PARENT_SCOPE)
    set(${out_version} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()
library_of("${idl}" lib_name tlbid tlb_version)
library_of("${runtime_idl}" runtime_name runtime_tlbid runtime_version)

set(classes "")
declarations("${idl}" coclass coclasses)
foreach(item IN LISTS coclasses)
    split("${item}" attributes name)
    if(attributes MATCHES "(^|[ ,])noncreatable([ ,]|$)")
        continue()
    endif()
    attribute_uuid("${attributes}" clsid)
    string(APPEND classes "        <comClass clsid=\"${clsid}\" progid=\"${lib_name}.${name}\" threadingModel=\"Apartment\" tlbid=\"${tlbid}\"/>\n")
endforeach()
if(classes STREQUAL "")
    message(FATAL_ERROR "no creatable class in ${IDL}")
endif()

# Dual interfaces go through the automation marshaller, dispinterfaces through
# the dispatch marshaller, as the type library's registration sets them up.
set(proxies "")
declarations("${idl}" interface interfaces)
foreach(item IN LISTS interfaces)
    split("${item}" attributes name)
    if(attributes MATCHES "(^|[ ,])(dual|oleautomation)([ ,]|$)")
        attribute_uuid("${attributes}" iid)
        string(APPEND proxies "    <comInterfaceExternalProxyStub name=\"${name}\" iid=\"${iid}\" tlbid=\"${tlbid}\" proxyStubClsid32=\"{00020424-0000-0000-C000-000000000046}\"/>\n")
    endif()
endforeach()
declarations("${idl}" dispinterface dispinterfaces)
foreach(item IN LISTS dispinterfaces)
    split("${item}" attributes name)
    attribute_uuid("${attributes}" iid)
    string(APPEND proxies "    <comInterfaceExternalProxyStub name=\"${name}\" iid=\"${iid}\" tlbid=\"${tlbid}\" proxyStubClsid32=\"{00020420-0000-0000-C000-000000000046}\"/>\n")
endforeach()

set(manifest "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>
<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">
    <assemblyIdentity type=\"win32\" name=\"${NAME}\" version=\"${VERSION}\" processorArchitecture=\"${ARCH}\"/>
    <file name=\"${DLL}\">
${classes}        <typelib tlbid=\"${tlbid}\" version=\"${tlb_version}\" helpdir=\"\"/>
    </file>
    <file name=\"${RUNTIME_TLB}\">
        <typelib tlbid=\"${runtime_tlbid}\" version=\"${runtime_version}\" helpdir=\"\"/>
    </file>
${proxies}</assembly>
")
file(WRITE ${OUT} "${manifest}")
