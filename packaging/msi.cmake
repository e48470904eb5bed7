# The MSI of the 64-bit DLL (zentrix.wxs.in, built with wixl from msitools):
# target zentrix_msi writes ${ZENTRIX_MSI}. Included by the 64-bit tree only.
find_program(ZENTRIX_WIXL wixl)
set(ZENTRIX_MSI_DIR ${CMAKE_BINARY_DIR}/packaging)
set(ZENTRIX_MSI ${ZENTRIX_MSI_DIR}/zentrix.msi)
if(ZENTRIX_WIXL AND ZENTRIX_SYSKIND STREQUAL "win64" AND NOT TARGET zentrix_msi)
    set(pkg ${CMAKE_SOURCE_DIR}/packaging)
    set(idl_dir ${CMAKE_SOURCE_DIR}/src/component)
    add_custom_command(OUTPUT ${ZENTRIX_MSI_DIR}/zentrix.wxs
        COMMAND ${CMAKE_COMMAND} -DIDL=${idl_dir}/zentrix.idl -DRUNTIME_IDL=${idl_dir}/zentrix_runtime.idl
                -DTEMPLATE=${pkg}/zentrix.wxs.in -DVERSION=${PROJECT_VERSION}
                -DOUT=${ZENTRIX_MSI_DIR}/zentrix.wxs -P ${pkg}/gen_wxs.cmake
        DEPENDS ${pkg}/zentrix.wxs.in ${pkg}/gen_wxs.cmake ${idl_dir}/zentrix.idl ${idl_dir}/zentrix_runtime.idl)
    # wixl takes file sources relative to its working directory.
    add_custom_command(OUTPUT ${ZENTRIX_MSI}
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zentrix> ${ZENTRIX_MSI_DIR}/zentrix.dll
        COMMAND ${ZENTRIX_WIXL} -a x64 -o ${ZENTRIX_MSI} ${ZENTRIX_MSI_DIR}/zentrix.wxs
        DEPENDS ${ZENTRIX_MSI_DIR}/zentrix.wxs zentrix
        WORKING_DIRECTORY ${ZENTRIX_MSI_DIR})
    add_custom_target(zentrix_msi ALL DEPENDS ${ZENTRIX_MSI})
endif()
