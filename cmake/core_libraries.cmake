# The libraries that hold no Qt: one per core folder (pressory_<folder>) and
# the platform's. Each folder's CMakeLists.txt declares its library with one
# of the functions below; the top CMakeLists.txt then calls
# pressory_core_target() and, at its end, pressory_qt_free_check().

# pressory_core_library(<name> <source>...): the static library of a core
# folder: standard C++ only.
function(pressory_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set_property(GLOBAL APPEND PROPERTY PRESSORY_CORE_LIBRARIES ${name})
  pressory_qt_free(${name})
endfunction()

# pressory_qt_free(<target> [RECURSE]): the target's folder (with its
# subfolders when RECURSE) must include no Qt header.
function(pressory_qt_free target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "RECURSE" "" "")
  set(patterns)
  foreach(ext IN ITEMS h hpp cpp cc c inc)
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.${ext})
  endforeach()
  if(arg_RECURSE)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${patterns})
  else()
    file(GLOB files CONFIGURE_DEPENDS ${patterns})
  endif()
  set_property(GLOBAL APPEND PROPERTY PRESSORY_QT_FREE_LIBRARIES ${target})
  set_property(GLOBAL APPEND PROPERTY PRESSORY_QT_FREE_FILES ${files})
endfunction()

# pressory_core_target(): pressory_core, an interface library that links every
# core library, for the tests, the benchmarks and the fuzz targets.
function(pressory_core_target)
  get_property(libraries GLOBAL PROPERTY PRESSORY_CORE_LIBRARIES)
  add_library(pressory_core INTERFACE)
  target_link_libraries(pressory_core INTERFACE ${libraries})
endfunction()

# pressory_qt_free_check(): the build fails when a file of a Qt-free library
# includes a Qt header (checked before any of them is compiled, in every
# build), and configuring fails when such a library links Qt.
function(pressory_qt_free_check)
  get_property(libraries GLOBAL PROPERTY PRESSORY_QT_FREE_LIBRARIES)
  get_property(files GLOBAL PROPERTY PRESSORY_QT_FREE_FILES)
  foreach(library IN LISTS libraries)
    get_target_property(linked ${library} LINK_LIBRARIES)
    get_target_property(passed ${library} INTERFACE_LINK_LIBRARIES)
    foreach(item IN LISTS linked passed)
      if(item MATCHES "Qt[0-9]*::")
        message(FATAL_ERROR "${library} must not use Qt, but links ${item}")
      endif()
    endforeach()
  endforeach()

  list(JOIN files "\n" lines)
  set(list_file ${CMAKE_BINARY_DIR}/pressory_qt_free_files.txt)
  file(CONFIGURE OUTPUT ${list_file} CONTENT "${lines}\n" @ONLY)
  set(stamp ${CMAKE_BINARY_DIR}/pressory_qt_free.stamp)
  set(script ${PROJECT_SOURCE_DIR}/cmake/check_qt_free.cmake)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLIST=${list_file} -DSTAMP=${stamp} -P ${script}
    DEPENDS ${files} ${list_file} ${script}
    COMMENT "No Qt in the core and platform libraries"
    VERBATIM)
  add_custom_target(pressory_qt_free ALL DEPENDS ${stamp})
  foreach(library IN LISTS libraries)
    add_dependencies(${library} pressory_qt_free)
  endforeach()
endfunction()
