# Compiler settings shared by every target of the project.

# Single precision with exact expected values: never contract a*b+c into an FMA.
add_compile_options(-Wall -Wextra -ffp-contract=off)
if(VESKADOR_WERROR)
  add_compile_options(-Werror)
endif()

# Lean debug info keeps the sanitizer build and its links fast.
set(CMAKE_CXX_FLAGS_DEBUG "-g1 -O1" CACHE STRING "" FORCE)
set(CMAKE_C_FLAGS_DEBUG "-g1 -O1" CACHE STRING "" FORCE)

if(VESKADOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VESKADOR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VESKADOR_FUZZ needs clang (CXX=clang++)")
  endif()
  # Undefined behaviour stops a fuzz run by itself, as an out-of-bounds read does.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Every library sees the source root, so includes read "streamio/FileStream.h".
include_directories(${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)

# vesk_library(<name> SOURCES <files...> DEPS <targets...>)
# A static library of one folder; while a folder has no sources yet it is an interface
# library, so its link line already holds.
function(vesk_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()
