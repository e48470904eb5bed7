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
cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/idl_model.cmake)
zentrix_read_idl(${IDL} idl)
zentrix_read_idl(${RUNTIME_IDL} runtime)
set(tlbid ${idl_LIBID})
set(tlb_version ${idl_LIBVERSION})

set(classes "")
foreach(name IN LISTS idl_COCLASSES)
    if(NOT idl_CREATABLE_${name})
        continue()
    endif()
    string(APPEND classes "        <comClass clsid=\"${idl_CLSID_${name}}\" progid=\"${idl_LIBRARY}.${name}\" threadingModel=\"Apartment\" tlbid=\"${tlbid}\"/>\n")
endforeach()
if(classes STREQUAL "")
    message(FATAL_ERROR "no creatable class in ${IDL}")
endif()

# Dual interfaces go through the automation marshaller, dispinterfaces through
# the dispatch marshaller, as the type library's registration sets them up.
set(proxies "")
foreach(name IN LISTS idl_INTERFACES)
    if(idl_AUTOMATION_${name})
        string(APPEND proxies "    <comInterfaceExternalProxyStub name=\"${name}\" iid=\"${idl_IID_${name}}\" tlbid=\"${tlbid}\" proxyStubClsid32=\"{00020424-0000-0000-C000-000000000046}\"/>\n")
    endif()
endforeach()
foreach(name IN LISTS idl_DISPINTERFACES)
    string(APPEND proxies "    <comInterfaceExternalProxyStub name=\"${name}\" iid=\"${idl_IID_${name}}\" tlbid=\"${tlbid}\" proxyStubClsid32=\"{00020420-0000-0000-C000-000000000046}\"/>\n")
endforeach()

set(manifest "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>
<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">
    <assemblyIdentity type=\"win32\" name=\"${NAME}\" version=\"${VERSION}\" processorArchitecture=\"${ARCH}\"/>
    <file name=\"${DLL}\">
${classes}        <typelib tlbid=\"${tlbid}\" version=\"${tlb_version}\" helpdir=\"\"/>
    </file>
    <file name=\"${RUNTIME_TLB}\">
        <typelib tlbid=\"${runtime_LIBID}\" version=\"${runtime_LIBVERSION}\" helpdir=\"\"/>
    </file>
${proxies}</assembly>
")
file(WRITE ${OUT} "${manifest}")
