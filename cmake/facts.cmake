# Facts the C++ code and the build tools take from their one source, written
# at configure time into ZENTRIX_GENERATED (a change to a source configures
# again):
# - zentrix_catalog.h from src/component/zentrix.idl (cmake/gen_catalog.cmake):
#   the class list, the published type order, the records' identifiers;
# - zentrix_version.h from project(VERSION): the numbers and the text of the
#   version block. The text is major.minor.tweak with two and four digits
#   ("1.00.0126" for 1.0.0.126); it has no place for a patch number.
set(ZENTRIX_GENERATED ${CMAKE_BINARY_DIR}/src/generated)
file(MAKE_DIRECTORY ${ZENTRIX_GENERATED})

set(idl ${CMAKE_SOURCE_DIR}/src/component/zentrix.idl)
execute_process(
    COMMAND ${CMAKE_COMMAND} -DIDL=${idl} -DOUT=${ZENTRIX_GENERATED}/zentrix_catalog.h
            -P ${CMAKE_SOURCE_DIR}/cmake/gen_catalog.cmake
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the catalog of ${idl} could not be written")
endif()
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${idl} ${CMAKE_SOURCE_DIR}/cmake/gen_catalog.cmake ${CMAKE_SOURCE_DIR}/cmake/idl_model.cmake)

if(NOT PROJECT_VERSION_PATCH EQUAL 0)
    message(FATAL_ERROR "version ${PROJECT_VERSION}: the version text has no place for a patch number")
endif()
set(ZENTRIX_VERSION_NUMBERS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
function(zentrix_padded number width out)
    string(LENGTH "${number}" length)
    set(padded "${number}")
    while(length LESS width)
        set(padded "0${padded}")
        math(EXPR length "${length} + 1")
    endwhile()
    set(${out} ${padded} PARENT_SCOPE)
endfunction()
zentrix_padded(${PROJECT_VERSION_MINOR} 2 minor)
zentrix_padded(${PROJECT_VERSION_TWEAK} 4 tweak)
set(ZENTRIX_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${minor}.${tweak}")
configure_file(${CMAKE_SOURCE_DIR}/src/component/zentrix_version.h.in ${ZENTRIX_GENERATED}/zentrix_version.h @ONLY)
