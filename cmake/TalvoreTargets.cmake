# Shared compile options and the one way a subsystem folder becomes a
# library: every .cpp in the folder (main.cpp aside), so files added to a
# folder need no CMake edit.

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
if(TALVORE_BUILD_FUZZ)
  # Every library is instrumented, so the fuzzers see coverage of the whole
  # engine; each fuzz target links the fuzzer's main itself.
  target_compile_options(talvore_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
  target_link_options(talvore_options INTERFACE -fsanitize=address,undefined)
endif()

# talvore_library(name DIR folder [PUBLIC libs...] [PRIVATE libs...])
#
# A static library of the folder's sources. Its include root holds only the
# folder itself, under its own name (consumers write "image/RasterImage.h"),
# so a library cannot include a header of one it does not link: nothing
# includes upward, and a PRIVATE dependency stays out of its consumers.
function(talvore_library name)
  cmake_parse_arguments(ARG "" "DIR" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${ARG_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  get_filename_component(folder ${ARG_DIR} NAME)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${ARG_DIR} ${root}/${folder} SYMBOLIC)
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE} talvore_options)
endfunction()
