# Shared compile options and small helpers so every subsystem folder can pick
# up its sources by glob: files added to a folder need no CMake edit.

add_library(talvore_options INTERFACE)
# -Wshadow=local is GCC spelling; clang (fuzz preset) has no such option.
target_compile_options(talvore_options INTERFACE -Wall -Wextra -Wpedantic
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
if(TALVORE_WERROR)
  target_compile_options(talvore_options INTERFACE -Werror)
endif()
if(TALVORE_SANITIZE)
  target_compile_options(talvore_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(talvore_options INTERFACE -fsanitize=address,undefined)
endif()

# talvore_library(name DIR folder [LIBS ...]): a static library of every .cpp
# in the folder; an INTERFACE library while the folder holds no sources yet.
function(talvore_library name)
  cmake_parse_arguments(ARG "" "DIR" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${ARG_DIR}/*.h)
  if(sources)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE talvore_options)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()
