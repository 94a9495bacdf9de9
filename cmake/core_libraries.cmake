# The core libraries: one per core folder (pressory_<folder>), standard C++
# only. Each folder's CMakeLists.txt declares its library with
# pressory_core_library(); the top CMakeLists.txt then calls
# pressory_core_target().

# pressory_core_library(<name> <source>...): the static library of a core
# folder.
function(pressory_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set_property(GLOBAL APPEND PROPERTY PRESSORY_CORE_LIBRARIES ${name})
endfunction()

# pressory_core_target(): pressory_core, an interface library that links every
# core library, for the tests, the benchmarks and the fuzz targets.
function(pressory_core_target)
  get_property(libraries GLOBAL PROPERTY PRESSORY_CORE_LIBRARIES)
  add_library(pressory_core INTERFACE)
  target_link_libraries(pressory_core INTERFACE ${libraries})
endfunction()
