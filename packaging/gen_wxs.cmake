# Writes an installer source from zentrix.wxs.in. Each component holds one
# DLL and the registry entries its DllRegisterServer writes (classes,
# ProgIDs, type libraries, interfaces), filled in from the IDLs, so the
# package needs no self-registration custom action and uninstalling removes
# them. PLATFORM x64 installs the 64-bit DLL and the 32-bit DLL side by side
# (each in its own registry view), PLATFORM x86 the 32-bit DLL only.
# Usage: cmake -DIDL=<zentrix.idl> -DRUNTIME_IDL=<zentrix_runtime.idl>
#              -DTEMPLATE=<zentrix.wxs.in> -DVERSION=<a.b.c.d> -DPLATFORM=x64|x86
#              -DOUT=<zentrix.wxs> -P gen_wxs.cmake
# The DLLs are taken from x64/zentrix.dll and x86/zentrix.dll relative to
# wixl's working directory.
cmake_policy(VERSION 3.25)
foreach(var IDL RUNTIME_IDL TEMPLATE VERSION PLATFORM OUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "gen_wxs.cmake: ${var} is not set")
    endif()
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/idl_model.cmake)
zentrix_read_idl(${IDL} idl)
zentrix_read_idl(${RUNTIME_IDL} runtime)
foreach(library idl runtime)
    if(NOT ${library}_LIBVERSION STREQUAL "1.0")
        message(FATAL_ERROR "library version ${${library}_LIBVERSION}: the package registers 1.0")
    endif()
endforeach()
set(psDispatch "{00020420-0000-0000-C000-000000000046}")
set(psOleAutomation "{00020424-0000-0000-C000-000000000046}")
set(libid ${idl_LIBID})
set(libname ${idl_LIBRARY})
set(creatable "")
foreach(name IN LISTS idl_COCLASSES)
    if(idl_CREATABLE_${name})
        list(APPEND creatable ${name})
    endif()
endforeach()
if(creatable STREQUAL "")
    message(FATAL_ERROR "no creatable class in ${IDL}")
endif()

# Appends a value to the caller's `entries`: key, value name (empty for the
# default value), value.
function(entry key name value)
    if(name STREQUAL "")
        set(named "")
    else()
        set(named " Name=\"${name}\"")
    endif()
    set(entries "${entries}                <RegistryValue Root=\"HKCR\" Key=\"${key}\"${named} Type=\"string\" Value=\"${value}\"/>\n"
        PARENT_SCOPE)
endfunction()

# Appends the registry entries of interface `name`, marshalled by `ps`.
macro(interface_entries name ps)
    set(iid ${idl_IID_${name}})
    entry("Interface\\${iid}" "" "${name}")
    entry("Interface\\${iid}\\ProxyStubClsid" "" "${ps}")
    entry("Interface\\${iid}\\ProxyStubClsid32" "" "${ps}")
    entry("Interface\\${iid}\\TypeLib" "" "${libid}")
    entry("Interface\\${iid}\\TypeLib" "Version" "1.0")
endmacro()

# The registry entries of one DLL: `file` is its File Id, `dir` its
# directory's Id, `syskind` win32 or win64.
function(registry_entries file dir syskind out)
    set(entries "")
    # Type libraries: the component's in resource 1, the runtime's in resource 2.
    foreach(lib "${libid};${idl_LIBHELP};[#${file}]" "${runtime_LIBID};${runtime_LIBHELP};[#${file}]\\2")
        list(GET lib 0 guid)
        list(GET lib 1 help)
        list(GET lib 2 path)
        entry("TypeLib\\${guid}\\1.0" "" "${help}")
        entry("TypeLib\\${guid}\\1.0\\0\\${syskind}" "" "${path}")
        entry("TypeLib\\${guid}\\1.0\\FLAGS" "" "0")
        entry("TypeLib\\${guid}\\1.0\\HELPDIR" "" "[${dir}]")
    endforeach()

    # Classes: every coclass that is not noncreatable.
    foreach(name IN LISTS creatable)
        set(clsid ${idl_CLSID_${name}})
        set(progid "${libname}.${name}")
        entry("CLSID\\${clsid}" "" "${progid}")
        entry("CLSID\\${clsid}\\InprocServer32" "" "[#${file}]")
        entry("CLSID\\${clsid}\\InprocServer32" "ThreadingModel" "Apartment")
        entry("CLSID\\${clsid}\\ProgID" "" "${progid}")
        entry("CLSID\\${clsid}\\TypeLib" "" "${libid}")
        entry("CLSID\\${clsid}\\VERSION" "" "1.0")
        entry("${progid}" "" "${progid}")
        entry("${progid}\\CLSID" "" "${clsid}")
    endforeach()

    # Interfaces, marshalled by the automation marshaller as RegisterTypeLib
    # registers them: dual interfaces through PSOAInterface, dispinterfaces
    # through PSDispatch.
    foreach(name IN LISTS idl_INTERFACES)
        if(idl_AUTOMATION_${name})
            interface_entries(${name} ${psOleAutomation})
        endif()
    endforeach()
    foreach(name IN LISTS idl_DISPINTERFACES)
        interface_entries(${name} ${psDispatch})
    endforeach()
    set(${out} "${entries}" PARENT_SCOPE)
endfunction()

# One directory under a Program Files folder holding one DLL's component.
# The 32-bit component's identifier is the same in both packages, so that
# Windows Installer counts its uses if both are installed.
function(component folder dir id guid win64 source file syskind out)
    registry_entries(${file} ${dir} ${syskind} entries)
    set(${out} "      <Directory Id=\"${folder}\">
        <Directory Id=\"${dir}\" Name=\"Zentrix\">
          <Component Id=\"${id}\" Guid=\"${guid}\" Win64=\"${win64}\">
            <File Id=\"${file}\" Name=\"zentrix.dll\" Source=\"${source}\" KeyPath=\"yes\"/>
${entries}          </Component>
        </Directory>
      </Directory>
" PARENT_SCOPE)
endfunction()

component(ProgramFilesFolder INSTALLDIR32 ZentrixDll32 3E1B7E55-0C2A-4C4B-9D55-5A61C8F0B7A2 no
          x86/zentrix.dll zentrix32.dll win32 directories32)
if(PLATFORM STREQUAL "x64")
    component(ProgramFiles64Folder INSTALLDIR64 ZentrixDll64 9F6900AD-F55B-4E34-84B7-7C3F883FADDE yes
              x64/zentrix.dll zentrix64.dll win64 directories64)
    set(ZENTRIX_DIRECTORIES "${directories64}${directories32}")
    set(ZENTRIX_COMPONENT_REFS "      <ComponentRef Id=\"ZentrixDll64\"/>\n      <ComponentRef Id=\"ZentrixDll32\"/>\n")
    set(ZENTRIX_PACKAGE_DESCRIPTION "Zentrix timer service component (64-bit and 32-bit)")
    set(ZENTRIX_UPGRADE_CODE 0C7FFF1B-C25A-4D7A-8BE2-6D91DE23F939)
elseif(PLATFORM STREQUAL "x86")
    set(ZENTRIX_DIRECTORIES "${directories32}")
    set(ZENTRIX_COMPONENT_REFS "      <ComponentRef Id=\"ZentrixDll32\"/>\n")
    set(ZENTRIX_PACKAGE_DESCRIPTION "Zentrix timer service component (32-bit)")
    set(ZENTRIX_UPGRADE_CODE 6A0C2F4E-8B7D-4E19-A3C6-2D5F1E9B4C70)
else()
    message(FATAL_ERROR "PLATFORM must be x64 or x86, not ${PLATFORM}")
endif()
set(ZENTRIX_VERSION ${VERSION})
configure_file(${TEMPLATE} ${OUT} @ONLY)
