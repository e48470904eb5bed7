# zentrix_final_typelib(RAW <widl output> RUNTIME <runtime tlb> OUTPUT <final tlb>
#                       [SYSKIND win32|win64])
# Writes the published type library from widl's output with tools/tlbwriter
# (published type order, non-extensible event interfaces, descriptions of
# constants and fields) for SYSKIND, by default this tree's target
# (ZENTRIX_SYSKIND); widl's output must have been made for the same target.
#
# The tool is an x86_64 program run under Wine's 64-bit loader. The x86_64
# tree builds it; a tree that does not (i686, whose 32-bit programs cannot
# run here) is given the x86_64 tree's tool in ZENTRIX_TLBWRITER, e.g.
#   -DZENTRIX_TLBWRITER=<x86_64 build>/tools/tlbwriter/tlbwriter.exe
# The tool registers nothing in the Wine prefix it runs in (the build's own).
set(ZENTRIX_TLBWRITER "" CACHE FILEPATH
    "tlbwriter.exe of an x86_64 build, for trees that do not build it")
set(ZENTRIX_WINE64 /usr/lib/wine/wine64 CACHE FILEPATH "Wine's 64-bit loader, which runs tlbwriter")

function(zentrix_final_typelib)
    cmake_parse_arguments(ARG "" "RAW;RUNTIME;OUTPUT;SYSKIND" "" ${ARGN})
    if(NOT ARG_SYSKIND)
        set(ARG_SYSKIND ${ZENTRIX_SYSKIND})
    endif()
    if(TARGET tlbwriter)
        set(tool $<TARGET_FILE:tlbwriter>)
        set(tool_dependency tlbwriter)
    elseif(ZENTRIX_TLBWRITER)
        set(tool ${ZENTRIX_TLBWRITER})
        set(tool_dependency ${ZENTRIX_TLBWRITER})
    else()
        message(FATAL_ERROR "This tree does not build tlbwriter: configure it with "
                            "-DZENTRIX_TLBWRITER=<x86_64 build>/tools/tlbwriter/tlbwriter.exe")
    endif()
    add_custom_command(OUTPUT ${ARG_OUTPUT}
        COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${ZENTRIX_WINEPREFIX} ${ZENTRIX_WINE64}
                ${tool} ${ARG_RAW} ${ARG_RUNTIME} ${ARG_OUTPUT} ${ARG_SYSKIND}
        DEPENDS ${tool_dependency} ${ARG_RAW} ${ARG_RUNTIME}
        COMMENT "Writing the published type library (${ARG_SYSKIND})"
        VERBATIM)
endfunction()
