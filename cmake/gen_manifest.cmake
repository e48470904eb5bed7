# Writes the side-by-side assembly manifest that lets clients use zentrix.dll
# without registration: the creatable classes with their ProgIDs, threading
# model and type library, the type library itself, and the interfaces that
# the type library marshals. Everything comes from the IDL.
# Usage: cmake -DIDL=zentrix.idl -DOUT=Zentrix.sxs.manifest -DNAME=Zentrix.sxs
#              -DVERSION=1.0.0.126 -DARCH=amd64|x86 -DDLL=zentrix.dll -P gen_manifest.cmake
foreach(var IDL OUT NAME VERSION ARCH DLL)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "gen_manifest.cmake: ${var} is not set")
    endif()
endforeach()
file(READ ${IDL} idl)
# Comments may hold brackets or keywords: drop them first.
string(REGEX REPLACE "//[^\n]*" "" idl "${idl}")

# The attribute block and name of every definition of `kind` (a name followed
# by a body or a base, not a reference inside a coclass), as
# "<attributes>|<name>" items.
function(declarations kind out)
    string(REGEX MATCHALL "\\[[^]]*\\][ \t\r\n]*${kind}[ \t\r\n]+[A-Za-z_][A-Za-z0-9_]*[ \t\r\n]*[:{]" found "${idl}")
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

declarations(library libraries)
list(LENGTH libraries count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one library in ${IDL}, found ${count}")
endif()
split("${libraries}" lib_attributes lib_name)
attribute_uuid("${lib_attributes}" tlbid)
if(NOT lib_attributes MATCHES "version\\(([0-9]+\\.[0-9]+)\\)")
    message(FATAL_ERROR "no version on library ${lib_name}")
endif()
set(tlb_version ${CMAKE_MATCH_1})

set(classes "")
declarations(coclass coclasses)
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
declarations(interface interfaces)
foreach(item IN LISTS interfaces)
    split("${item}" attributes name)
    if(attributes MATCHES "(^|[ ,])(dual|oleautomation)([ ,]|$)")
        attribute_uuid("${attributes}" iid)
        string(APPEND proxies "    <comInterfaceExternalProxyStub name=\"${name}\" iid=\"${iid}\" tlbid=\"${tlbid}\" proxyStubClsid32=\"{00020424-0000-0000-C000-000000000046}\"/>\n")
    endif()
endforeach()
declarations(dispinterface dispinterfaces)
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
${proxies}</assembly>
")
file(WRITE ${OUT} "${manifest}")
